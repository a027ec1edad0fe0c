#include "e2e/report.hpp"

#include <algorithm>
#include <cstdio>

namespace korvane::bench {
namespace {

constexpr double kMiB = 1024.0 * 1024.0;

std::string Ratio(const Sample& sample, const std::optional<double>& limit) {
  if (!limit || *limit <= 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", sample.Rate() / *limit);
  return text;
}

// 1234567 -> "1,234,567"
std::string Grouped(double value) {
  const std::string digits = std::to_string(static_cast<long long>(value + 0.5));
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped.push_back(',');
    grouped.push_back(digits[i]);
  }
  return grouped;
}

const Row* Find(const std::vector<Row>& rows, const std::string& name) {
  const auto found =
      std::find_if(rows.begin(), rows.end(), [&](const Row& row) { return row.name == name; });
  return found == rows.end() ? nullptr : &*found;
}

}  // namespace

Sample Median(std::vector<Sample> runs) {
  if (runs.empty()) return {};
  const bool complete =
      std::all_of(runs.begin(), runs.end(), [](const Sample& s) { return s.complete; });
  std::sort(runs.begin(), runs.end(),
            [](const Sample& a, const Sample& b) { return a.Rate() < b.Rate(); });
  Sample median = runs[runs.size() / 2];
  median.complete = complete;
  return median;
}

void PrintTable(const std::vector<Row>& rows, int repeats) {
  std::printf(
      "\nEnd-to-end on loopback against one sink SMSC (median of %d runs; ratios are\n"
      "rates divided by the raw limits of the same group, all measured in this run)\n\n",
      repeats);
  std::printf("%-44s %8s %11s %8s %8s %10s %9s %9s\n", "operation", "messages", "msg/s", "/raw 1pc",
              "/raw 64K", "client cpu", "sink cpu", "peak MiB");
  std::string group;
  for (const Row& row : rows) {
    if (row.group != group) {
      group = row.group;
      std::printf("-- %s %s\n", group.c_str(), std::string(106 - group.size(), '-').c_str());
    }
    if (!row.sample) {
      std::printf("%-44s %s\n", row.name.c_str(), row.note.c_str());
      continue;
    }
    const Sample& s = *row.sample;
    const std::string rate = row.is_wait ? "-" : Grouped(s.Rate());
    std::printf("%-44s %8zu %11s %8s %8s %10.3f %9.3f %9.1f%s\n", row.name.c_str(), s.messages,
                rate.c_str(), Ratio(s, row.one_call_limit).c_str(),
                Ratio(s, row.batch_limit).c_str(), s.client_cpu, s.sink_cpu,
                static_cast<double>(s.peak_rss) / kMiB, s.complete ? "" : "  INCOMPLETE");
    if (row.is_wait)
      std::printf("%-44s processor %.2f %% of the %.2f s wait\n", "",
                  100.0 * s.client_cpu / s.seconds, s.seconds);
    if (!row.note.empty()) std::printf("%-44s %s\n", "", row.note.c_str());
  }
  std::printf(
      "\n/raw 1pc    rate over the group's first raw client: one send() per PDU it sends\n"
      "            (submit_sm, or deliver_sm_resp), or for waited submission the ping-pong\n"
      "/raw 64K    rate over the group's batched raw client: 64 KiB per send(), or the\n"
      "            responses to one read in one send()\n"
      "client cpu  processor seconds of the client's threads (npm: the whole node process)\n"
      "sink cpu    processor seconds of the sink SMSC's thread\n"
      "peak MiB    peak resident memory of this process during the row%s (npm: node's)\n",
      PeakRssIsPerRow() ? "" : " (whole-run peak: no reset here)");
}

void PrintTargets(const std::vector<Row>& rows) {
  struct Target {
    const char* row;
    const char* what;
    double at_least;
    bool to_batch;
  };
  static const Target kTargets[] = {
      {"KorvaneSMPP SendMessage(m), no wait", "fire-and-forget vs one PDU per call", 0.8, false},
      {"KorvaneSMPP SendMessage(m, true)", "waited submission vs raw round trip", 0.7, false},
      {"KorvaneSMPP MessageReceived", "reception vs one PDU per call", 0.8, false},
  };
  std::printf("\nTargets\n");
  for (const Target& target : kTargets) {
    const Row* row = Find(rows, target.row);
    if (!row || !row->sample || !row->one_call_limit) {
      std::printf("  %-40s not measured\n", target.what);
      continue;
    }
    const double ratio = row->sample->Rate() / *row->one_call_limit;
    std::printf("  %-40s %.2f (target %.2f) %s\n", target.what, ratio, target.at_least,
                ratio >= target.at_least ? "reached" : "NOT reached");
  }
  for (const Row& row : rows) {
    if (!row.is_wait || !row.sample) continue;
    const double share = 100.0 * row.sample->client_cpu / row.sample->seconds;
    std::printf("  %-40s %.2f %% (target under 2 %%) %s\n", "processor while waiting", share,
                share < 2.0 ? "reached" : "NOT reached");
  }
}

}  // namespace korvane::bench
