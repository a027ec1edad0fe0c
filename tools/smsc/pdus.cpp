#include "smsc/pdus.hpp"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <utility>

#include "korvane/errors.hpp"
#include "vocabulary/pdu_reader.hpp"
#include "vocabulary/pdu_writer.hpp"
#include "vocabulary/protocol.hpp"

namespace korvane::smsc {
namespace {

namespace v = vocabulary;

constexpr uint8_t kDestSme = 1;
constexpr uint8_t kDestList = 2;
// Deliberately one under sm_length's limit: the simulator sends a body of
// kMaxShortMessageLength octets or more as message_payload, as it always
// has; the client reads either form.
constexpr std::size_t kMaxShortMessage = v::kMaxShortMessageLength - 1;

v::PduReader BodyReader(const Octets& pdu) {
  v::PduReader reader(pdu);
  reader.Seek(v::kHeaderLength);
  return reader;
}

Address ReadAddress(v::PduReader& reader) {
  Address address;
  address.ton = reader.ReadOctet();
  address.npi = reader.ReadOctet();
  address.address = reader.ReadCString();
  return address;
}

void PutAddress(v::PduWriter& writer, const Address& address) {
  writer.PutOctet(address.ton);
  writer.PutOctet(address.npi);
  writer.PutCString(address.address);
}

// From esm_class to the end of the PDU: the part submit_sm, deliver_sm and
// submit_multi share after their addresses.
void ReadMessageFields(v::PduReader& reader, Submission& message) {
  message.esm_class = reader.ReadOctet();
  message.protocol_id = reader.ReadOctet();
  message.priority = reader.ReadOctet();
  message.schedule_delivery_time = reader.ReadCString();
  message.validity_period = reader.ReadCString();
  message.registered_delivery = reader.ReadOctet();
  message.replace_if_present = reader.ReadOctet();
  message.data_coding = reader.ReadOctet();
  message.default_msg_id = reader.ReadOctet();
  message.short_message = reader.ReadText(reader.ReadOctet());
  while (!reader.AtEnd()) {
    Tlv tlv;
    tlv.tag = reader.ReadShort();
    tlv.value = reader.ReadText(reader.ReadShort());
    message.tlvs.push_back(std::move(tlv));
  }
}

Octets Finish(v::PduWriter writer, uint32_t status = kStatusOk) {
  Octets pdu = std::move(writer).Finish();
  for (int shift = 24, at = 8; shift >= 0; shift -= 8, ++at) {
    pdu[static_cast<std::size_t>(at)] = static_cast<uint8_t>(status >> shift);
  }
  return pdu;
}

v::PduWriter Writer(uint32_t command_id, uint32_t sequence) {
  return v::PduWriter::Appended(command_id, static_cast<int32_t>(sequence));
}

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";  // appended: `"literal" + temporary` trips g++ 12's -Wrestrict
  quoted += Printable(text);
  quoted += '"';
  return quoted;
}

std::string Hex2(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}

std::string DescribeBody(const Octets& pdu, uint32_t command_id) {
  std::string line;
  const auto add = [&line](std::string_view name, const std::string& value) {
    line += ' ' + std::string(name) + '=' + value;
  };
  switch (command_id) {
    case v::kBindReceiver:
    case v::kBindTransmitter:
    case v::kBindTransceiver: {
      const BindRequest bind = ParseBind(pdu);
      add("system_id", Quoted(bind.system_id));
      if (!bind.system_type.empty()) add("system_type", Quoted(bind.system_type));
      add("version", Hex2(bind.interface_version));
      break;
    }
    case v::kSubmitSm:
    case v::kDeliverSm:
    case v::kSubmitMulti: {
      const Submission message =
          command_id == v::kSubmitMulti ? ParseSubmitMulti(pdu) : ParseSubmitSm(pdu);
      add("from", Quoted(message.source.address));
      std::string to;
      for (const Address& dest : message.dests) to += (to.empty() ? "" : ",") + dest.address;
      for (const std::string& list : message.lists) to += (to.empty() ? "list:" : ",list:") + list;
      add("to", Quoted(to));
      if (message.esm_class != 0) add("esm_class", Hex2(message.esm_class));
      if (message.registered_delivery != 0) add("reg", std::to_string(message.registered_delivery));
      if (const Tlv* id = message.Find(v::kTagReceiptedMessageId)) {
        add("receipted_id", Quoted(std::string_view(id->value).substr(0, id->value.find('\0'))));
      }
      if (const Tlv* state = message.Find(v::kTagMessageState); state && !state->value.empty()) {
        add("state", std::to_string(static_cast<uint8_t>(state->value[0])));
      }
      add("text", Quoted(message.Body()));
      break;
    }
    case v::kQuerySm:
      add("id", Quoted(ParseQuery(pdu).message_id));
      break;
    case v::kCancelSm:
      add("id", Quoted(ParseCancel(pdu).message_id));
      break;
    case v::kBindReceiverResp:
    case v::kBindTransmitterResp:
    case v::kBindTransceiverResp:
      if (pdu.size() > v::kHeaderLength) add("system_id", Quoted(BodyReader(pdu).ReadCString()));
      break;
    case v::kSubmitSmResp:
    case v::kSubmitMultiResp:
    case v::kDeliverSmResp:
    case v::kQuerySmResp:
      if (pdu.size() > v::kHeaderLength) {
        v::PduReader reader = BodyReader(pdu);
        add("id", Quoted(reader.ReadCString()));
        if (command_id != v::kQuerySmResp) break;
        add("final_date", Quoted(reader.ReadCString()));
        add("state", std::to_string(reader.ReadOctet()));
        add("error", std::to_string(reader.ReadOctet()));
      }
      break;
    default:
      break;
  }
  return line;
}

}  // namespace

std::string Submission::Body() const {
  if (!short_message.empty()) return short_message;
  const Tlv* payload = Find(v::kTagMessagePayload);
  return payload ? payload->value : std::string();
}

const Tlv* Submission::Find(uint16_t tag) const {
  const auto found = std::ranges::find(tlvs, tag, &Tlv::tag);
  return found == tlvs.end() ? nullptr : &*found;
}

BindRequest ParseBind(const Octets& pdu) {
  v::PduReader reader = BodyReader(pdu);
  BindRequest bind;
  bind.system_id = reader.ReadCString();
  bind.password = reader.ReadCString();
  bind.system_type = reader.ReadCString();
  bind.interface_version = reader.ReadOctet();
  bind.range = ReadAddress(reader);
  return bind;
}

Submission ParseSubmitSm(const Octets& pdu) {
  v::PduReader reader = BodyReader(pdu);
  Submission message;
  message.service_type = reader.ReadCString();
  message.source = ReadAddress(reader);
  message.dests.push_back(ReadAddress(reader));
  ReadMessageFields(reader, message);
  return message;
}

Submission ParseSubmitMulti(const Octets& pdu) {
  v::PduReader reader = BodyReader(pdu);
  Submission message;
  message.service_type = reader.ReadCString();
  message.source = ReadAddress(reader);
  for (int count = reader.ReadOctet(); count > 0; --count) {
    const uint8_t flag = reader.ReadOctet();
    if (flag == kDestSme) {
      message.dests.push_back(ReadAddress(reader));
    } else if (flag == kDestList) {
      message.lists.push_back(reader.ReadCString());
    } else {
      throw ComponentError(5, "dest_flag " + std::to_string(flag) + " is neither 1 nor 2");
    }
  }
  ReadMessageFields(reader, message);
  return message;
}

QueryRequest ParseQuery(const Octets& pdu) {
  v::PduReader reader = BodyReader(pdu);
  QueryRequest query;
  query.message_id = reader.ReadCString();
  query.source = ReadAddress(reader);
  return query;
}

CancelRequest ParseCancel(const Octets& pdu) {
  v::PduReader reader = BodyReader(pdu);
  CancelRequest cancel;
  cancel.service_type = reader.ReadCString();
  cancel.message_id = reader.ReadCString();
  cancel.source = ReadAddress(reader);
  cancel.dest = ReadAddress(reader);
  return cancel;
}

Octets HeaderOnly(uint32_t command_id, uint32_t status, uint32_t sequence) {
  return Finish(Writer(command_id, sequence), status);
}

Octets BindResp(uint32_t command_id, uint32_t status, uint32_t sequence,
                std::string_view system_id) {
  if (status != kStatusOk) return HeaderOnly(command_id, status, sequence);
  v::PduWriter writer = Writer(command_id, sequence);
  writer.PutCString(system_id);
  return Finish(std::move(writer));
}

Octets MessageIdResp(uint32_t command_id, uint32_t sequence, std::string_view message_id) {
  v::PduWriter writer = Writer(command_id, sequence);
  writer.PutCString(message_id);
  return Finish(std::move(writer));
}

Octets SubmitMultiResp(uint32_t sequence, std::string_view message_id) {
  v::PduWriter writer = Writer(v::kSubmitMultiResp, sequence);
  writer.PutCString(message_id);
  writer.PutOctet(0);  // no_unsuccess: every destination accepted
  return Finish(std::move(writer));
}

Octets QueryResp(uint32_t sequence, std::string_view message_id, std::string_view final_date,
                 uint8_t message_state, uint8_t error_code) {
  v::PduWriter writer = Writer(v::kQuerySmResp, sequence);
  writer.PutCString(message_id);
  writer.PutCString(final_date);
  writer.PutOctet(message_state);
  writer.PutOctet(error_code);
  return Finish(std::move(writer));
}

Octets DeliverSm(uint32_t sequence, const Submission& message) {
  v::PduWriter writer = Writer(v::kDeliverSm, sequence);
  writer.PutCString(message.service_type);
  PutAddress(writer, message.source);
  PutAddress(writer, message.dests.at(0));
  writer.PutOctet(message.esm_class);
  writer.PutOctet(message.protocol_id);
  writer.PutOctet(message.priority);
  writer.PutCString(message.schedule_delivery_time);
  writer.PutCString(message.validity_period);
  writer.PutOctet(message.registered_delivery);
  writer.PutOctet(message.replace_if_present);
  writer.PutOctet(message.data_coding);
  writer.PutOctet(message.default_msg_id);
  // A body too long for short_message travels as message_payload.
  const bool fits = message.short_message.size() <= kMaxShortMessage;
  writer.PutOctet(fits ? static_cast<int64_t>(message.short_message.size()) : 0);
  if (fits) writer.PutText(message.short_message);
  if (!fits) writer.PutTlv(v::kTagMessagePayload, message.short_message);
  for (const Tlv& tlv : message.tlvs) writer.PutTlv(tlv.tag, tlv.value);
  return Finish(std::move(writer));
}

std::string CommandName(uint32_t command_id) { return v::CommandName(command_id); }

std::string Describe(const Octets& pdu) {
  const v::PduHeader header = v::ReadHeader(pdu);
  std::string line =
      CommandName(header.command_id) + " seq=" + std::to_string(header.sequence_number);
  if (header.command_status != kStatusOk) {
    char status[24];
    std::snprintf(status, sizeof status, " status=0x%08X", header.command_status);
    line += status;
  }
  try {
    line += DescribeBody(pdu, header.command_id);
  } catch (const std::exception&) {
    line += " (malformed)";
  }
  return line;
}

std::string Printable(std::string_view text) {
  std::string result;
  for (const char c : text) {
    const auto octet = static_cast<unsigned char>(c);
    if (octet >= 0x20 && octet < 0x7F && c != '\\' && c != '"') {
      result += c;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", octet);
      result += escaped;
    }
  }
  return result;
}

std::string HexDump(const Octets& pdu) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(pdu.size() * 3);
  for (const uint8_t octet : pdu) {
    if (!text.empty()) text += ' ';
    text += kDigits[octet >> 4];
    text += kDigits[octet & 0x0F];
  }
  return text;
}

}  // namespace korvane::smsc
