// korvane-smsc as a child process: started with the options given on a port
// of its own choice, stopped with SIGTERM, and its exit summary read back
// ("korvane-smsc summary: accepted=N duplicates=N ..."). Its memory is its
// own: the message store grows with the traffic, the client's does not.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace korvane::soak {

class SmscProcess {
 public:
  // Starts `binary` with `options` (plus --port 0, --port-file and --quiet)
  // and waits up to 10 s for its port. Throws std::runtime_error when it
  // does not come up.
  SmscProcess(const std::string& binary, const std::vector<std::string>& options);
  // Kills the child when Stop was not called.
  ~SmscProcess();
  SmscProcess(const SmscProcess&) = delete;
  SmscProcess& operator=(const SmscProcess&) = delete;

  uint16_t Port() const { return port_; }
  // SIGTERM, waits for the exit, and returns the summary's counts by name
  // (empty when no summary line was printed).
  std::map<std::string, uint64_t> Stop();

 private:
  // Kills the child if it runs and removes the temporary files.
  void Discard();

  std::string directory_;  // holds the port file and the captured output
  pid_t pid_ = -1;
  uint16_t port_ = 0;
};

// The counts of a "korvane-smsc summary: name=N ..." line in `output`.
std::map<std::string, uint64_t> SummaryCounts(const std::string& output);

}  // namespace korvane::soak
