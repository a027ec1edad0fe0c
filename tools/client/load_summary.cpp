#include "load_summary.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace korvane::client {

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  const auto rank =
      static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(values.size())));
  const std::size_t index = std::min(values.size() - 1, rank == 0 ? 0 : rank - 1);
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(index),
                   values.end());
  return values[index];
}

void LoadTally::Add(const SubmitResult& result) {
  summary_.retried += result.Retries;
  switch (result.Outcome) {
    case SubmitOutcome::Accepted:
      ++summary_.accepted;
      break;
    case SubmitOutcome::Refused:
      ++summary_.refused;
      break;
    case SubmitOutcome::TimedOut:
      ++summary_.timed_out;
      return;
    case SubmitOutcome::ConnectionLost:
      ++summary_.lost;
      return;
    case SubmitOutcome::NotSent:
      ++summary_.not_sent;
      return;
  }
  latencies_ms_.push_back(std::chrono::duration<double, std::milli>(result.Elapsed).count());
}

int64_t LoadTally::Completed() const {
  return summary_.accepted + summary_.refused + summary_.timed_out + summary_.lost +
         summary_.not_sent;
}

LoadSummary LoadTally::Summarize(int64_t messages, std::chrono::duration<double> elapsed) const {
  LoadSummary summary = summary_;
  summary.messages = messages;
  summary.seconds = elapsed.count();
  summary.rate =
      summary.seconds > 0 ? static_cast<double>(summary.accepted) / summary.seconds : 0.0;
  summary.p50_ms = Percentile(latencies_ms_, 50);
  summary.p99_ms = Percentile(latencies_ms_, 99);
  return summary;
}

JsonFields SummaryFields(const LoadSummary& summary) {
  return {{"messages", summary.messages}, {"accepted", summary.accepted},
          {"refused", summary.refused},   {"timed_out", summary.timed_out},
          {"lost", summary.lost},         {"not_sent", summary.not_sent},
          {"retried", summary.retried},   {"seconds", summary.seconds},
          {"rate", summary.rate},         {"p50_ms", summary.p50_ms},
          {"p99_ms", summary.p99_ms}};
}

std::string SummaryLine(const LoadSummary& summary) {
  char line[512];
  std::snprintf(line, sizeof line,
                "%lld messages in %.3f s: %.1f accepted/s, latency p50 %.3f ms, p99 %.3f ms; "
                "accepted %lld, refused %lld, timed out %lld, lost %lld, not sent %lld, "
                "retried %lld",
                static_cast<long long>(summary.messages), summary.seconds, summary.rate,
                summary.p50_ms, summary.p99_ms, static_cast<long long>(summary.accepted),
                static_cast<long long>(summary.refused), static_cast<long long>(summary.timed_out),
                static_cast<long long>(summary.lost), static_cast<long long>(summary.not_sent),
                static_cast<long long>(summary.retried));
  return line;
}

}  // namespace korvane::client
