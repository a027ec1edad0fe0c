#include "support/reading_sink.hpp"

#include "support/message_inspection.hpp"

namespace korvane::fuzzing {

void ReadingSink::LinkOk() {
  ++events;
  if (on_link_event) on_link_event();
}

void ReadingSink::Error(int32_t number, const std::string& source, const std::string& description) {
  ++errors;
  digest += static_cast<uint32_t>(number);
  Note(source);
  Note(description);
  if (description.empty()) Broken("an Error event without a description");
}

void ReadingSink::GenericNACK(int32_t status, int32_t sequence_number) {
  digest += static_cast<uint32_t>(status) + static_cast<uint32_t>(sequence_number);
  ++events;
  if (on_link_event) on_link_event();
}

void ReadingSink::Warning(int32_t number, const std::string& source,
                          const std::string& description) {
  digest += static_cast<uint32_t>(number);
  Note(source);
  Note(description);
}

void ReadingSink::Read(MessageObject& message) {
  ++events;
  digest += InspectMessage(message);
  CheckBuiltByLibrary(message);
  if (on_message) on_message(message);
}

void ReadingSink::Note(const std::string& text) {
  ++events;
  for (const char c : text) digest = digest * 31 + static_cast<unsigned char>(c);
}

}  // namespace korvane::fuzzing
