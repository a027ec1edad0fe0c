#include "soak/smsc_process.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace korvane::soak {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

std::map<std::string, uint64_t> SummaryCounts(const std::string& output) {
  std::map<std::string, uint64_t> counts;
  const std::string mark = "korvane-smsc summary:";
  const std::size_t at = output.rfind(mark);
  if (at == std::string::npos) return counts;
  std::istringstream line(output.substr(at + mark.size(), output.find('\n', at) - at));
  std::string pair;
  while (line >> pair) {
    const std::size_t equals = pair.find('=');
    if (equals == std::string::npos) continue;
    counts[pair.substr(0, equals)] = std::strtoull(pair.c_str() + equals + 1, nullptr, 10);
  }
  return counts;
}

SmscProcess::SmscProcess(const std::string& binary, const std::vector<std::string>& options) {
  char pattern[] = "/tmp/korvane-reliability-XXXXXX";
  if (!::mkdtemp(pattern)) throw std::runtime_error("cannot make a temporary directory");
  directory_ = pattern;
  const std::string port_file = directory_ + "/port";
  const std::string output = directory_ + "/output";
  std::vector<std::string> arguments{binary, "--port", "0", "--port-file", port_file, "--quiet"};
  arguments.insert(arguments.end(), options.begin(), options.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int failed = posix_spawn(&pid_, binary.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) {
    pid_ = -1;
    Discard();
    throw std::runtime_error("cannot start " + binary);
  }
  // The port file is written once the socket listens.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string text = ReadFile(port_file);
    if (!text.empty() && text.back() == '\n') {
      port_ = static_cast<uint16_t>(std::atoi(text.c_str()));
      if (port_ != 0) return;
    }
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      Discard();
      throw std::runtime_error(binary + " exited before listening");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  Discard();
  throw std::runtime_error(binary + " did not listen within 10 s");
}

SmscProcess::~SmscProcess() { Discard(); }

void SmscProcess::Discard() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  std::remove((directory_ + "/port").c_str());
  std::remove((directory_ + "/output").c_str());
  ::rmdir(directory_.c_str());
}

std::map<std::string, uint64_t> SmscProcess::Stop() {
  if (pid_ <= 0) return {};
  ::kill(pid_, SIGTERM);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
  return SummaryCounts(ReadFile(directory_ + "/output"));
}

}  // namespace korvane::soak
