// The table `make bench` ends with: one row per measured operation, each
// rate set against the raw limits of its group, measured in the same run.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "e2e/measure.hpp"

namespace korvane::bench {

struct Row {
  std::string group;  // rows of one group share their limits
  std::string name;
  std::optional<Sample> sample;          // empty: not measured, `note` says why
  std::optional<double> one_call_limit;  // msg/s of the group's one-PDU-per-call raw row
  std::optional<double> batch_limit;     // msg/s of the group's batched raw row
  bool is_wait = false;                  // a timed-out wait: processor share instead of a rate
  std::string note;
};

// The median by rate; incomplete when any run was.
Sample Median(std::vector<Sample> runs);

void PrintTable(const std::vector<Row>& rows, int repeats);

// One line per target: the ratio measured and whether it is reached.
void PrintTargets(const std::vector<Row>& rows);

}  // namespace korvane::bench
