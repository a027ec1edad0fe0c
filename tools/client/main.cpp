// korvane-smpp: an SMPP client on the command line. See --help.
#include <iostream>

#include "run_client.hpp"

int main(int argc, char** argv) {
  return korvane::client::RunClient(argc, argv, std::cout, std::cerr);
}
