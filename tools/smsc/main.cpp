// korvane-smsc: the SMSC simulator as a command-line program. Parses the
// options, starts the engine on this thread's loop, prints the listening
// line, and runs until Ctrl-C, SIGTERM, a `quit` command or the requested
// number of unbinds; with fault options it then prints a summary line. With
// --commands it reads lines from standard input:
//   mo FROM TO TEXT   send a mobile-originated message to every receiver
//                     (to the next one that binds when none is bound)
//   quit              stop
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <asio/io_context.hpp>
#include <asio/posix/stream_descriptor.hpp>
#include <asio/read_until.hpp>
#include <asio/signal_set.hpp>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "korvane/version.hpp"
#include "smsc/engine.hpp"

namespace {

using korvane::smsc::MoMessage;
using korvane::smsc::SmscEngine;

void Print(std::ostream& out, const std::string& line) {
  out << line << '\n';
  out.flush();
}

// Standard input, line by line, as commands to the engine.
class CommandReader {
 public:
  // Takes ownership of `input`, a duplicate of standard input.
  CommandReader(asio::io_context& loop, int input, SmscEngine& engine)
      : input_(loop, input), engine_(engine) {}

  void Start() { Read(); }
  void Close() {
    std::error_code ignored;
    input_.close(ignored);
  }

 private:
  void Read() {
    asio::async_read_until(input_, asio::dynamic_buffer(buffer_), '\n',
                           [this](const std::error_code& error, std::size_t size) {
                             if (error) {  // end of input: what is left is the last line
                               if (error != asio::error::operation_aborted && !buffer_.empty()) {
                                 Run(buffer_);
                               }
                               return;
                             }
                             const std::string line = buffer_.substr(0, size - 1);
                             buffer_.erase(0, size);
                             Run(line);
                             Read();
                           });
  }

  void Run(const std::string& line) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    MoMessage mo;
    if (command == "mo" && words >> mo.from >> mo.to) {
      std::getline(words >> std::ws, mo.text);
      engine_.SendMo(std::move(mo));
    } else if (command == "quit") {
      engine_.Stop();
    } else if (!command.empty()) {
      Print(std::cerr, "korvane-smsc: unknown command \"" + line + "\" (mo FROM TO TEXT, or quit)");
    }
  }

  asio::posix::stream_descriptor input_;
  SmscEngine& engine_;
  std::string buffer_;
};

// Written whole under a temporary name, then renamed, so that a script
// polling for the file never reads half of it.
bool WritePortFile(const std::string& path, uint16_t port) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream file(temporary);
    if (!(file << port << '\n')) return false;
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"korvane-smsc: an SMSC simulator for testing SMPP clients on this machine"};
  app.set_version_flag("--version", KORVANE_SMPP_VERSION_STRING);
  korvane::smsc::SmscOptions options;
  std::string port_file;
  int receipt_delay_ms = 50;
  double enquire_seconds = 0;
  std::vector<std::string> mo_texts;
  std::string mo_from = "447700900001";
  std::string mo_to = "12345";
  bool quiet = false;
  bool commands = false;
  std::string latency_text;
  korvane::smsc::FaultOptions& faults = options.faults;
  double disconnect_seconds = 0;
  int rebind_guard_ms = 0;
  app.add_option("--host", options.host, "IP address to listen on")->capture_default_str();
  app.add_option("--port", options.port, "TCP port to listen on; 0 picks a free one")
      ->capture_default_str();
  app.add_option("--port-file", port_file, "Write the port listened on to this file");
  app.add_option("--system-id", options.system_id, "system_id a bind must give (default: any)");
  app.add_option("--password", options.password, "Password a bind must give (default: any)");
  app.add_option("--receipt-delay", receipt_delay_ms, "Milliseconds from submission to delivery")
      ->check(CLI::NonNegativeNumber)
      ->capture_default_str();
  app.add_option("--enquire-every", enquire_seconds,
                 "Send enquire_link every this many seconds while bound (0: never)")
      ->check(CLI::Range(0.0, 86400.0));
  app.add_option("--mo", mo_texts, "Text sent to each receiver or transceiver once bound");
  app.add_option("--mo-from", mo_from, "source_addr of the --mo messages")->capture_default_str();
  app.add_option("--mo-to", mo_to, "destination_addr of the --mo messages")->capture_default_str();
  app.add_flag("--commands", commands, "Read 'mo FROM TO TEXT' and 'quit' lines from stdin");
  app.add_option("--exit-after-unbinds", options.exit_after_unbinds,
                 "Exit once this many clients have unbound (0: never)")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--latency-ms", latency_text,
                 "Answer each request after MEAN ms, +- a uniform JITTER (default 0: at once)")
      ->type_name("MEAN[,JITTER]")
      ->check([](const std::string& text) {
        if (!korvane::smsc::ParseLatency(text))
          return std::string("expected MEAN or MEAN,JITTER in whole ms (0 to 3600000), got '") +
                 text + "'";
        return std::string();
      });
  app.add_option("--throttle-tps", faults.throttle_tps,
                 "Answer 0x58 to submissions beyond N in any second of a connection (0: no limit)")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--queue-full-rate", faults.queue_full_rate,
                 "Answer 0x14 to this share of submissions (0 to 1)")
      ->check(CLI::Range(0.0, 1.0));
  app.add_option("--drop-rate", faults.drop_rate,
                 "Serve this share of requests without answering them (0 to 1)")
      ->check(CLI::Range(0.0, 1.0));
  app.add_option("--disconnect-every-pdus", faults.disconnect_every_pdus,
                 "Close each connection, without unbind, at its Nth PDU (served, not answered)")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--disconnect-every-seconds", disconnect_seconds,
                 "Close each connection, without unbind, S seconds after its bind (0: never)")
      ->check(CLI::Range(0.0, 86400.0));
  app.add_option("--rebind-guard-ms", rebind_guard_ms,
                 "Answer 0x05 to a bind within M ms after a binding of that system_id dropped")
      ->check(CLI::Range(0, 3600000));
  app.add_option("--seed", faults.seed, "Seed of the random fault choices")->capture_default_str();
  app.add_flag("--quiet", quiet, "Print no line per PDU");
  app.add_flag("--trace", options.trace, "Add a hex dump of each PDU");
  CLI11_PARSE(app, argc, argv);

  options.receipt_delay = std::chrono::milliseconds(receipt_delay_ms);
  if (!latency_text.empty()) options.latency = *korvane::smsc::ParseLatency(latency_text);
  // Whole milliseconds; a positive time never rounds down to "never".
  if (disconnect_seconds > 0) {
    faults.disconnect_after_bind =
        std::chrono::milliseconds(std::max<int64_t>(1, std::llround(disconnect_seconds * 1000)));
  }
  faults.rebind_guard = std::chrono::milliseconds(rebind_guard_ms);
  options.enquire_interval =
      std::chrono::milliseconds(static_cast<int64_t>(enquire_seconds * 1000));
  for (const std::string& text : mo_texts) options.mo_on_bind.push_back({mo_from, mo_to, text});
  if (!quiet) options.log = [](const std::string& line) { Print(std::cout, line); };
  options.report = [](const std::string& line) { Print(std::cerr, "korvane-smsc: " + line); };

  // Duplicated before any socket is opened: with standard input closed, a
  // socket would take its number.
  const int input = commands ? ::dup(STDIN_FILENO) : -1;
  asio::io_context loop;
  asio::signal_set signals(loop, SIGINT, SIGTERM);
  std::unique_ptr<CommandReader> reader;
  options.on_stopped = [&] {
    signals.cancel();
    if (reader) reader->Close();
  };
  std::unique_ptr<SmscEngine> engine;
  try {
    engine = std::make_unique<SmscEngine>(loop, options);
  } catch (const std::exception& error) {
    Print(std::cerr, "korvane-smsc: cannot listen on " + options.host + ":" +
                         std::to_string(options.port) + ": " + error.what());
    return 1;
  }
  Print(std::cout,
        "korvane-smsc listening on " + options.host + ":" + std::to_string(engine->Port()));
  if (!port_file.empty() && !WritePortFile(port_file, engine->Port())) {
    Print(std::cerr, "korvane-smsc: cannot write " + port_file);
    return 1;
  }
  signals.async_wait([&](const std::error_code& error, int) {
    if (!error) engine->Stop();
  });
  if (commands) {
    try {
      reader = std::make_unique<CommandReader>(loop, input, *engine);
      reader->Start();
    } catch (const std::exception& error) {
      Print(std::cerr, std::string("korvane-smsc: cannot read commands: ") + error.what());
    }
  }
  loop.run();
  // With faults, what they did and whether any message was accepted twice.
  if (options.faults.Any()) Print(std::cout, engine->Counters().SummaryLine());
  return 0;
}
