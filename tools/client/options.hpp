// The command line of korvane-smpp: one subcommand with its options, checked
// and converted into plain values before any connection is made.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <variant>
#include <vector>

#include "korvane/date_time.hpp"

namespace korvane::client {

// Options every subcommand takes.
struct CommonOptions {
  std::string host = "127.0.0.1";
  int port = 2775;
  std::string system_id;
  std::string password;
  std::string system_type;
  int bind_type = 0;  // 1 rx, 2 tx, 3 trx
  int timeout_seconds = 5;
  int smpp_version = 0x34;  // the interface_version octet
  bool trace = false;
  bool debug = false;
  bool json = false;
};

struct OptionalParameter {
  uint16_t tag = 0;
  std::vector<uint8_t> value;
};

struct SendOptions {
  std::vector<std::string> to;
  std::vector<std::string> lists;
  std::string from;
  int from_ton = 0, from_npi = 0, to_ton = 0, to_npi = 0;
  std::vector<uint8_t> body;  // --text encoded (see text_body.hpp), or --hex
  bool body_is_text = true;
  int data_coding = 0;
  std::string split = "udh";  // udh, udh16, sar or payload: how a long text goes
  int protocol_id = 0;        // the message's protocol_id (TP-PID)
  int registered_delivery = 0;
  int validity_seconds = 0;
  int validity_hours = 0;
  bool absolute_validity = false;
  DateTime schedule;  // local time; the zero date when not scheduled
  std::vector<OptionalParameter> tlvs;
  bool payload = false;
  bool wait = false;
  bool wait_receipt = false;  // implies wait; needs a transceiver binding
  // Load mode: `count` messages (0: one send as usual) through a window of
  // `window` submissions in flight. "{n}" in the text is the message's
  // number, 1 to count, so the text is kept to be encoded per message.
  int count = 0;
  int window = 10;
  // Load mode: submit PDUs per second at most (0: no cap, the SMSC's
  // throttle answers set the pace).
  int tps = 0;
  // Load mode: bind again after a lost connection and go on until every
  // message has completed; `link_timeout` seconds of silence after an
  // enquire_link count as a lost connection (0: not given).
  bool reconnect = false;
  int link_timeout = 0;
  std::string text;
  std::string encoding = "auto";
  int coding = -1;
};

struct ListenOptions {
  int count = 0;        // 0: no limit
  int for_seconds = 0;  // 0: until interrupted
};

// The message that query and cancel name.
struct MessageReference {
  std::string id;
  std::string from;
  std::string to;
};

struct ClientOptions {
  std::string command;  // send, listen, query, cancel, enquire
  CommonOptions common;
  SendOptions send;
  ListenOptions listen;
  MessageReference reference;
};

// The parsed options, or the exit status when the run ends here (help was
// printed: 0; a bad argument was reported on `err`: 2).
std::variant<ClientOptions, int> ParseOptions(int argc, char** argv, std::ostream& out,
                                              std::ostream& err);

}  // namespace korvane::client
