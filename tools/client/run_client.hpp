// The whole of korvane-smpp as a function, so that tests run it in-process.
#pragma once

#include <iosfwd>

namespace korvane::client {

// Parses the command line, runs the subcommand against the SMSC and returns
// the exit status (see exit_codes.hpp).
int RunClient(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace korvane::client
