#include "decoders/response_decoders.hpp"

#include "vocabulary/protocol.hpp"

namespace korvane::decoders {
namespace {

vocabulary::PduReader BodyReader(std::span<const uint8_t> pdu) {
  vocabulary::PduReader reader(pdu);
  reader.Seek(vocabulary::kHeaderLength);
  return reader;
}

UnsuccessfulSme ReadUnsuccessfulSme(vocabulary::PduReader& reader) {
  UnsuccessfulSme sme;
  sme.ton = reader.ReadOctet();
  sme.npi = reader.ReadOctet();
  sme.address = reader.ReadCString();
  sme.error_status_code = reader.ReadLong();
  return sme;
}

}  // namespace

std::string DecodeMessageId(std::span<const uint8_t> pdu) { return BodyReader(pdu).ReadCString(); }

DecodedSubmitMultiResp DecodeSubmitMultiResp(std::span<const uint8_t> pdu) {
  DecodedSubmitMultiResp decoded;
  vocabulary::PduReader reader = BodyReader(pdu);
  decoded.message_id = reader.ReadCString();
  if (reader.AtEnd()) return decoded;
  decoded.no_unsuccess = reader.ReadOctet();
  for (int entry = 0; entry < decoded.no_unsuccess; ++entry) {
    try {
      decoded.unsuccessful.push_back(ReadUnsuccessfulSme(reader));
    } catch (const ComponentError&) {
      break;
    }
  }
  return decoded;
}

DecodedQuerySmResp DecodeQuerySmResp(std::span<const uint8_t> pdu) {
  DecodedQuerySmResp decoded;
  vocabulary::PduReader reader = BodyReader(pdu);
  decoded.message_id = reader.ReadCString();
  try {
    decoded.final_date = reader.ReadCString();
  } catch (const ComponentError& fault) {
    decoded.fault = fault;
    return decoded;
  }
  reader.Seek(pdu.size() - 2);
  decoded.message_state = reader.ReadOctet();
  decoded.error_code = reader.ReadOctet();
  return decoded;
}

DecodedHeaderResponse DecodeHeaderResponse(const vocabulary::PduHeader& header) {
  DecodedHeaderResponse decoded;
  decoded.command_status = header.command_status;
  try {
    decoded.sequence_number = vocabulary::SequenceNumberOf(header);
  } catch (const ComponentError& fault) {
    decoded.fault = fault;
  }
  return decoded;
}

}  // namespace korvane::decoders
