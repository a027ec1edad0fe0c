// A child process for the interoperability tests (the npm peer, tshark): its
// standard input and output are pipes to the test, its standard error goes
// to the test's own or into the output pipe. Every read is bounded in time,
// so a child that hangs fails a test instead of hanging it; the destructor
// ends the child (SIGTERM, then SIGKILL) and reaps it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace korvane::testing {

// The path of an executable found on PATH, or the empty text.
std::string FindOnPath(const std::string& name);

class ChildProcess {
 public:
  enum class Stderr { kInherit, kIntoOutput };

  // Starts `argv[0]` (a path) with `argv`, adding `environment` ("NAME=value")
  // to the test's own environment. Started() tells whether it ran.
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
               Stderr stderr_mode = Stderr::kInherit);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }

  // Writes one line (a newline is added); false when the child's input is
  // closed.
  bool WriteLine(const std::string& line);
  // The next whole output line, waiting at most `wait` for it (zero: only
  // what has already arrived); nothing when none came or the output ended.
  std::optional<std::string> ReadLine(std::chrono::milliseconds wait);
  // True once the child closed its output and every line was read.
  bool OutputEnded() const { return output_ended_ && buffered_.empty(); }

  // Sends `signal` and waits at most `wait` for the child to exit; its exit
  // status as waitpid gives it, or nothing when it is still running.
  std::optional<int> Stop(int signal, std::chrono::milliseconds wait);

 private:
  std::optional<std::string> TakeLine();

  pid_t pid_ = -1;
  int input_ = -1;   // the child's stdin, our write end
  int output_ = -1;  // the child's stdout, our read end
  std::string buffered_;
  bool output_ended_ = false;
  std::optional<int> exit_status_;
};

}  // namespace korvane::testing
