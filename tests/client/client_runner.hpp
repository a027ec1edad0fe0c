// Runs korvane-smpp in-process, as a shell would run the binary, and keeps
// what it printed.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "client/run_client.hpp"

namespace korvane::testing {

struct ClientRun {
  int exit_status = -1;
  std::string out;
  std::string err;
};

inline ClientRun RunKorvaneSmpp(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "korvane-smpp");
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  std::ostringstream out, err;
  ClientRun run;
  run.exit_status = client::RunClient(static_cast<int>(argv.size()), argv.data(), out, err);
  run.out = out.str();
  run.err = err.str();
  return run;
}

}  // namespace korvane::testing
