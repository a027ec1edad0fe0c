#include "interop/child_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <sstream>
#include <thread>

extern char** environ;

namespace korvane::testing {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<char*> PointersTo(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

void CloseIfOpen(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

}  // namespace

std::string FindOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream directories(path ? path : "");
  for (std::string directory; std::getline(directories, directory, ':');) {
    const std::string candidate = (directory.empty() ? "." : directory) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& environment, Stderr stderr_mode) {
  // A child that dies must not take the test with it through SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  int input_pipe[2];
  int output_pipe[2];
  if (pipe2(input_pipe, O_CLOEXEC) != 0) return;
  if (pipe2(output_pipe, O_CLOEXEC) != 0) {
    close(input_pipe[0]);
    close(input_pipe[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input_pipe[0], 0);
  posix_spawn_file_actions_adddup2(&actions, output_pipe[1], 1);
  if (stderr_mode == Stderr::kIntoOutput) posix_spawn_file_actions_adddup2(&actions, 1, 2);
  // The child must not hold the test's sockets open.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);

  std::vector<std::string> arguments = argv;
  std::vector<std::string> variables;
  for (char** variable = environ; *variable != nullptr; ++variable)
    variables.emplace_back(*variable);
  variables.insert(variables.end(), environment.begin(), environment.end());
  const std::vector<char*> argument_pointers = PointersTo(arguments);
  const std::vector<char*> variable_pointers = PointersTo(variables);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, arguments.at(0).c_str(), &actions, nullptr,
                                  argument_pointers.data(), variable_pointers.data());
  posix_spawn_file_actions_destroy(&actions);
  close(input_pipe[0]);
  close(output_pipe[1]);
  input_ = input_pipe[1];
  output_ = output_pipe[0];
  if (spawned == 0) pid_ = pid;
}

ChildProcess::~ChildProcess() {
  CloseIfOpen(input_);
  if (pid_ > 0 && !Stop(SIGTERM, std::chrono::seconds(2))) Stop(SIGKILL, std::chrono::seconds(2));
  CloseIfOpen(output_);
}

bool ChildProcess::WriteLine(const std::string& line) {
  const std::string text = line + "\n";
  std::size_t written = 0;
  while (input_ >= 0 && written < text.size()) {
    const ssize_t count = write(input_, text.data() + written, text.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    written += static_cast<std::size_t>(count);
  }
  return input_ >= 0;
}

std::optional<std::string> ChildProcess::TakeLine() {
  const std::size_t end = buffered_.find('\n');
  if (end == std::string::npos) return std::nullopt;
  std::string line = buffered_.substr(0, end);
  buffered_.erase(0, end + 1);
  return line;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds wait) {
  const auto deadline = Clock::now() + wait;
  for (;;) {
    if (auto line = TakeLine()) return line;
    if (output_ended_ || output_ < 0) return std::nullopt;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd readable{output_, POLLIN, 0};
    const int ready = poll(&readable, 1, static_cast<int>(std::max<int64_t>(left.count(), 0)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    char chunk[4096];
    const ssize_t count = read(output_, chunk, sizeof chunk);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      output_ended_ = true;
      if (!buffered_.empty() && buffered_.back() != '\n') buffered_ += '\n';
      continue;
    }
    buffered_.append(chunk, static_cast<std::size_t>(count));
  }
}

std::optional<int> ChildProcess::Stop(int signal, std::chrono::milliseconds wait) {
  if (exit_status_ || pid_ <= 0) return exit_status_;
  kill(pid_, signal);
  // A bounded wait for the exit: waitpid has no timeout, so it is asked in
  // short steps.
  const auto deadline = Clock::now() + wait;
  for (;;) {
    int status = 0;
    const pid_t reaped = waitpid(pid_, &status, WNOHANG);
    if (reaped == pid_ || (reaped < 0 && errno != EINTR)) {
      exit_status_ = status;
      return exit_status_;
    }
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace korvane::testing
