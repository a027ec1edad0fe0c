#include "options.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>

#include "exit_codes.hpp"
#include "korvane/version.hpp"
#include "text_body.hpp"

namespace korvane::client {
namespace {

// "0102ff", "01 02 ff" or "01:02:ff" to octets; nullopt for anything else.
std::optional<std::vector<uint8_t>> OctetsOfHex(const std::string& text) {
  std::string digits;
  for (const char c : text) {
    if (c == ' ' || c == ':') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    digits += c;
  }
  if (digits.size() % 2 != 0) return std::nullopt;
  std::vector<uint8_t> octets;
  for (std::size_t i = 0; i < digits.size(); i += 2)
    octets.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  return octets;
}

// "tag=hex" with the tag in decimal or 0x hexadecimal.
OptionalParameter ParameterOf(const std::string& text) {
  const std::size_t equals = text.find('=');
  const std::string hint = " (expected TAG=HEX, e.g. 0x001E=4D534731 or 30=4D534731)";
  if (equals == std::string::npos) throw CLI::ValidationError("--tlv", text + hint);
  const std::string tag_text = text.substr(0, equals);
  std::size_t used = 0;
  unsigned long tag = 0;
  try {
    tag = std::stoul(tag_text, &used, 0);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != tag_text.size() || tag > 0xFFFF)
    throw CLI::ValidationError("--tlv", "tag '" + tag_text + "' is not a number from 0 to 0xFFFF");
  const auto value = OctetsOfHex(text.substr(equals + 1));
  if (!value) throw CLI::ValidationError("--tlv", "value of " + text + " is not hex octets" + hint);
  return {static_cast<uint16_t>(tag), *value};
}

// "YYYY-MM-DD hh:mm[:ss]" as a local date and time.
DateTime ScheduleOf(const std::string& text) {
  DateTime when;
  when.second = 0;
  char tail = 0;
  const int read = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &when.year, &when.month,
                               &when.day, &when.hour, &when.minute, &when.second, &tail);
  if ((read != 5 && read != 6) || when.month < 1 || when.month > 12 || when.day < 1 ||
      when.day > 31 || when.hour > 23 || when.minute > 59 || when.second > 59 || when.year < 2000 ||
      when.year > 2099 || when.hour < 0 || when.minute < 0 || when.second < 0)
    throw CLI::ValidationError("--schedule", "'" + text +
                                                 "' is not a local time "
                                                 "'YYYY-MM-DD hh:mm[:ss]'");
  return when;
}

const std::map<std::string, int> kBindTypes{{"rx", 1}, {"tx", 2}, {"trx", 3}};
const std::map<std::string, int> kVersions{{"3.3", 0x33}, {"3.4", 0x34}};

// Options given as names, converted once the command is known.
struct NamedArguments {
  std::string bind, smpp_version = "3.4";
  std::string text, hex, schedule;
  std::string encoding = "auto";
  int coding = -1;  // -1: not given
  std::string password_file;
  bool password_given = false;
  std::vector<std::string> tlvs;
};

// The password: --password, else the first line of --password-file, else
// $KORVANE_SMPP_PASSWORD (so that it need not show in the process list).
void ResolvePassword(CommonOptions& common, const NamedArguments& named) {
  if (named.password_given) return;
  if (!named.password_file.empty()) {
    std::ifstream file(named.password_file);
    if (!file) throw CLI::ValidationError("--password-file", "cannot read " + named.password_file);
    std::getline(file, common.password);
    if (!common.password.empty() && common.password.back() == '\r') common.password.pop_back();
    return;
  }
  if (const char* value = std::getenv("KORVANE_SMPP_PASSWORD")) common.password = value;
}

void AddCommonOptions(CLI::App& command, CommonOptions& common, NamedArguments& named) {
  command.add_option("--host", common.host, "SMSC host name or address")->capture_default_str();
  command.add_option("--port", common.port, "SMSC TCP port")
      ->check(CLI::Range(1, 65535))
      ->capture_default_str();
  command.add_option("--system-id", common.system_id, "system_id to bind with");
  auto* password = command.add_option("--password", common.password,
                                      "password to bind with (seen in the process list: prefer "
                                      "--password-file or $KORVANE_SMPP_PASSWORD)");
  command
      .add_option("--password-file", named.password_file, "file whose first line is the password")
      ->excludes(password);
  command.add_option("--system-type", common.system_type, "system_type to bind with");
  command
      .add_option("--bind", named.bind, "bind as tx, rx or trx (default: rx to listen, else tx)")
      ->check(CLI::IsMember({"tx", "rx", "trx"}));
  command
      .add_option("--timeout", common.timeout_seconds, "SECONDS to wait for connect and answers")
      ->check(CLI::Range(1, 3600))
      ->capture_default_str();
  command.add_option("--smpp-version", named.smpp_version, "interface version: 3.3 or 3.4")
      ->check(CLI::IsMember({"3.3", "3.4"}))
      ->capture_default_str();
  command.add_flag("--trace", common.trace, "print every PDU as hex");
  command.add_flag("--debug", common.debug, "print the library's debug texts");
  command.add_flag("--json", common.json, "one JSON object per event on stdout");
}

void AddSendOptions(CLI::App& send, SendOptions& options, NamedArguments& raw) {
  send.add_option("--to", options.to, "destination address (repeat for several)")
      ->type_name("ADDRESS");
  send.add_option("--list", options.lists, "distribution list (repeatable)")->type_name("NAME");
  send.add_option("--from", options.from, "source address")->type_name("ADDRESS");
  const CLI::Range octet(0, 255);
  send.add_option("--from-ton", options.from_ton, "source TON")->check(octet);
  send.add_option("--from-npi", options.from_npi, "source NPI")->check(octet);
  send.add_option("--to-ton", options.to_ton, "destination TON")->check(octet);
  send.add_option("--to-npi", options.to_npi, "destination NPI")->check(octet);
  auto* text = send.add_option("--text", raw.text, "message text in UTF-8, encoded per --encoding");
  send.add_option("--hex", raw.hex, "binary body as hex octets")->type_name("HEX")->excludes(text);
  send.add_option("--coding", raw.coding,
                  "data_coding (0 GSM, 1 ASCII, 3 Latin-1, 8 UCS-2, 4 binary); with --text the "
                  "text is encoded for it")
      ->check(octet);
  send.add_option("--encoding", raw.encoding,
                  "alphabet of --text: auto (GSM 7-bit, else UCS-2), "
                  "gsm7, latin1 or ucs2")
      ->check(CLI::IsMember({"auto", "gsm7", "latin1", "ucs2"}))
      ->capture_default_str();
  send.add_option("--split", options.split,
                  "a text longer than one message goes as parts with a udh (8-bit reference), "
                  "udh16, sar parameters, or whole in one payload")
      ->check(CLI::IsMember({"udh", "udh16", "sar", "payload"}))
      ->capture_default_str();
  send.add_option("--protocol-id", options.protocol_id, "protocol_id of the message (TP-PID)")
      ->check(octet)
      ->capture_default_str();
  send.add_option("--registered-delivery", options.registered_delivery,
                  "registered_delivery (1 receipt on success or failure, 2 on failure)")
      ->check(octet);
  auto* seconds = send.add_option("--validity-seconds", options.validity_seconds,
                                  "validity period in seconds (relative)")
                      ->check(CLI::Range(1, 32767));
  send.add_option("--validity-hours", options.validity_hours, "validity period in hours (relative)")
      ->check(CLI::Range(1, 2376))
      ->excludes(seconds);
  send.add_flag("--absolute-validity", options.absolute_validity,
                "send the validity as an absolute time from now");
  send.add_option("--schedule", raw.schedule, "scheduled delivery, local 'YYYY-MM-DD hh:mm[:ss]'");
  send.add_option("--tlv", raw.tlvs, "optional parameter, tag decimal or 0x hex (repeatable)")
      ->type_name("TAG=HEX");
  send.add_flag("--payload", options.payload, "send the body in message_payload");
  auto* wait = send.add_flag("--wait", options.wait, "wait for the message id and print it");
  auto* wait_receipt = send.add_flag(
      "--wait-receipt", options.wait_receipt,
      "also wait for the delivery receipt and print it (binds as trx, asks for a receipt)");
  auto* count = send.add_option("--count", options.count,
                                "load mode: send N messages through the window, then print the "
                                "rate, latency percentiles and outcomes; {n} in --text is the "
                                "message number")
                    ->check(CLI::Range(1, 100000000))
                    ->excludes(wait)
                    ->excludes(wait_receipt);
  send.add_option("--window", options.window, "load mode: submissions in flight at most")
      ->check(CLI::Range(1, 100000))
      ->needs(count)
      ->capture_default_str();
  send.add_option("--tps", options.tps,
                  "load mode: submit PDUs per second at most, retries included, spread evenly "
                  "(default: no cap; throttle answers still slow the pace)")
      ->check(CLI::Range(1, 1000000))
      ->needs(count);
  send.add_flag("--reconnect", options.reconnect,
                "load mode: bind again after a lost connection (back-off from 1 s, doubling to "
                "60 s) and go on until every message has completed")
      ->needs(count);
  send.add_option("--link-timeout", options.link_timeout,
                  "load mode: SECONDS without anything received after an enquire_link count as a "
                  "lost connection (with --reconnect: 30)")
      ->check(CLI::Range(1, 3600))
      ->needs(count);
}

// Checks across options, and conversions of texts, for the chosen command.
void Complete(ClientOptions& options, const NamedArguments& raw) {
  const bool wants_receipt = options.command == "send" && options.send.wait_receipt;
  if (wants_receipt && !raw.bind.empty() && raw.bind != "trx")
    throw CLI::ValidationError("--wait-receipt needs the receipt on this session: use --bind trx");
  const char* default_bind = options.command == "listen" ? "rx" : wants_receipt ? "trx" : "tx";
  options.common.bind_type = kBindTypes.at(raw.bind.empty() ? default_bind : raw.bind);
  options.common.smpp_version = kVersions.at(raw.smpp_version);
  ResolvePassword(options.common, raw);
  if (options.command != "send") return;
  SendOptions& send = options.send;
  if (send.to.empty() && send.lists.empty())
    throw CLI::ValidationError("send needs a destination: give --to ADDRESS or --list NAME");
  if (!raw.hex.empty()) {
    const auto octets = OctetsOfHex(raw.hex);
    if (!octets) throw CLI::ValidationError("--hex", "'" + raw.hex + "' is not hex octets");
    send.body = *octets;
    send.body_is_text = false;
    send.data_coding = std::max(raw.coding, 0);
  } else {
    send.text = raw.text;
    send.encoding = raw.encoding;
    send.coding = raw.coding;
    try {
      TextBody body = EncodeTextBody(raw.text, raw.encoding, raw.coding);
      send.body = std::move(body.octets);
      send.data_coding = body.data_coding;
    } catch (const std::invalid_argument& error) {
      throw CLI::ValidationError(error.what());
    }
  }
  // A text too long for one message is split; octets given as hex are not.
  if (!send.body_is_text && !send.payload && send.body.size() > 255)
    throw CLI::ValidationError("the body is " + std::to_string(send.body.size()) +
                               " octets, short_message holds 255: add --payload");
  if (send.wait_receipt) {
    send.wait = true;
    if (send.registered_delivery == 0) send.registered_delivery = 1;
  }
  if (!raw.schedule.empty()) send.schedule = ScheduleOf(raw.schedule);
  for (const std::string& tlv : raw.tlvs) send.tlvs.push_back(ParameterOf(tlv));
}

}  // namespace

std::variant<ClientOptions, int> ParseOptions(int argc, char** argv, std::ostream& out,
                                              std::ostream& err) {
  ClientOptions options;
  NamedArguments raw;
  CLI::App app{"korvane-smpp: an SMPP client (ESME) on the command line", "korvane-smpp"};
  app.footer(kExitStatusHelp);
  app.set_version_flag("--version", KORVANE_SMPP_VERSION_STRING);
  app.require_subcommand(1);

  CLI::App* send = app.add_subcommand("send", "submit a message (submit_sm, or submit_multi)");
  AddSendOptions(*send, options.send, raw);
  CLI::App* listen = app.add_subcommand("listen", "bind and print the messages that arrive");
  listen->add_option("--count", options.listen.count, "exit after N messages")
      ->check(CLI::Range(1, 1000000));
  listen->add_option("--for", options.listen.for_seconds, "listen for SECONDS, then exit")
      ->check(CLI::Range(1, 86400 * 365));
  CLI::App* query = app.add_subcommand("query", "ask the state of a submitted message");
  CLI::App* cancel = app.add_subcommand("cancel", "cancel a submitted message");
  for (CLI::App* command : {query, cancel}) {
    command->add_option("--id", options.reference.id, "message id from the SMSC")->required();
    command->add_option("--from", options.reference.from, "source address of the message");
  }
  cancel->add_option("--to", options.reference.to, "destination address of the message");
  CLI::App* enquire =
      app.add_subcommand("enquire", "send one enquire_link, print whether it came back");
  for (CLI::App* command : {send, listen, query, cancel, enquire}) {
    AddCommonOptions(*command, options.common, raw);
    command->footer(kExitStatusHelp);
  }

  try {
    app.parse(argc, argv);
    options.command = app.get_subcommands().front()->get_name();
    raw.password_given = app.get_subcommands().front()->count("--password") > 0;
    Complete(options, raw);
  } catch (const CLI::ParseError& error) {
    return app.exit(error, out, err) == 0 ? kExitOk : kExitUsage;
  }
  return options;
}

}  // namespace korvane::client
