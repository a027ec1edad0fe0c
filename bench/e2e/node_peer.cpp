#include "e2e/node_peer.hpp"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <vector>

extern char** environ;

namespace korvane::bench {
namespace {

double Seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
}

// Runs node with `arguments`, NODE_PATH set; its standard output, or nothing
// when it could not be started or failed.
std::optional<std::string> RunNode(const std::vector<std::string>& arguments,
                                   const std::string& node_path, rusage& usage) {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  std::vector<std::string> environment = {"NODE_PATH=" + node_path};
  for (char** entry = environ; *entry; ++entry) {
    if (std::string_view(*entry).rfind("NODE_PATH=", 0) != 0) environment.emplace_back(*entry);
  }
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, "node", &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  std::string output;
  if (spawned == 0) {
    char chunk[4096];
    for (ssize_t got; (got = ::read(pipe_fds[0], chunk, sizeof chunk)) > 0;)
      output.append(chunk, static_cast<std::size_t>(got));
  }
  ::close(pipe_fds[0]);
  if (spawned != 0) return std::nullopt;
  int status = 0;
  if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return std::nullopt;
  return output;
}

}  // namespace

std::optional<Sample> RunNodeSubmit(const NodePeer& peer, uint16_t port, std::size_t count,
                                    std::string& skipped) {
  if (!std::filesystem::exists(std::filesystem::path(peer.node_modules) / "smpp")) {
    skipped = "npm package smpp not installed in " + peer.node_modules;
    return std::nullopt;
  }
  rusage usage{};
  const std::optional<std::string> output = RunNode(
      {"node", peer.script, std::to_string(port), std::to_string(count)}, peer.node_modules, usage);
  if (!output) {
    skipped = "node not found or the npm smpp run failed";
    return std::nullopt;
  }
  Sample sample;
  int complete = 0;
  if (std::sscanf(output->c_str(), "messages=%zu seconds=%lf complete=%d", &sample.messages,
                  &sample.seconds, &complete) != 3) {
    skipped = "unexpected output from the npm smpp run: " + *output;
    return std::nullopt;
  }
  sample.complete = complete == 1;
  sample.client_cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  sample.peak_rss = static_cast<std::size_t>(usage.ru_maxrss) * 1024;
  return sample;
}

}  // namespace korvane::bench
