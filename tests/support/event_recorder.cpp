#include "support/event_recorder.hpp"

namespace korvane::testing {

std::vector<RecordedEvent> EventRecorder::Named(const std::string& name) const {
  std::vector<RecordedEvent> matching;
  for (const RecordedEvent& event : events) {
    if (event.name == name) matching.push_back(event);
  }
  return matching;
}

std::vector<std::string> EventRecorder::Names() const {
  std::vector<std::string> names;
  for (const RecordedEvent& event : events) names.push_back(event.name);
  return names;
}

std::string EventRecorder::Summary(bool texts) const {
  std::string line;
  for (const RecordedEvent& event : events) {
    if (!line.empty()) line += ", ";
    std::string text = event.text;
    if (event.name == "TraceLog") {
      const std::size_t from = text.starts_with("Received ") ? 9 : 5;
      line += (from == 9 ? "<" : ">") + text.substr(from, text.find(":\t") - from);
      continue;
    }
    line += event.name;
    if (event.number != 0) line.append("#").append(std::to_string(event.number));
    if (!event.source.empty() && event.source != "KorvaneSMPP") line += "[" + event.source + "]";
    if (const auto lines = ReportLines(text); lines.size() > 4)
      text = std::string("@").append(lines[4], 15);
    else if (!texts &&
             (event.name == "Error" || event.name == "Warning" || event.name == "DebugLog"))
      text.clear();
    if (!text.empty()) line += "{" + text + "}";
  }
  return line;
}

void EventRecorder::Add(std::string name, int32_t number, std::string source, std::string text) {
  events.push_back({std::move(name), number, std::move(source), std::move(text), MessageObject()});
  if (on_event) on_event(RecordedEvent(events.back()));
}

void EventRecorder::Add(std::string name, const MessageObject& message) {
  events.push_back({std::move(name), 0, "", "", message});
  if (on_event) on_event(RecordedEvent(events.back()));
}

std::vector<std::string> ReportLines(const std::string& report) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = report.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(report.substr(start, end - start));
  }
  lines.push_back(report.substr(start));
  return lines;
}

}  // namespace korvane::testing
