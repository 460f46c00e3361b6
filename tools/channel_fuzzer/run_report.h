// What a run found and counted: per channel the messages sent, how many reached the plug-in's
// work and the time spent; the findings (each printed at once as well, so that a later crash does
// not lose it), the channel faults that are not findings, and the messages sent last. Printed at
// the end of the run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "tools/channel_fuzzer/answer_reader.h"

namespace channel_fuzzer {

struct Finding {
  std::string kind;
  std::string channel;
  std::string method;
  Bytes bytes;
};

struct ChannelCounts {
  size_t sent = 0;
  // Answered by the plug-in's work: a success, or an error that is not a refusal of the
  // arguments or of the object they name.
  size_t reached = 0;
  double seconds = 0;
};

// How the calls not waited for fared: how close the model of the page's budgets came to a false
// alarm.
struct PendingTimes {
  size_t answered_in_time = 0;
  double slowest = 0;
  double closest_to_due = 1e9;
};

// What the end of the run prints besides the counts.
struct RunSummary {
  uint64_t seed = 0;
  double seconds = 0;
  const std::map<std::string, size_t>* heard = nullptr;  // the host's calls to the Dart side
  size_t answered_late = 0;                              // of those, on purpose
  PendingTimes pending;
};

class RunReport {
 public:
  static constexpr size_t kMaxFindings = 50;

  ChannelCounts& counts(const std::string& channel) { return counts_[channel]; }
  // Counts a message about to be sent and keeps it among the last ones.
  void sending(const std::string& channel, const std::string& method, const Bytes& bytes);
  // Counts an answer: whether it reached the plug-in's work.
  void answered(const std::string& channel, const ReadAnswer& answer);

  // With `showRecent`, the messages sent last are printed with it: what took the main thread
  // may have been sent before.
  void addFinding(Finding finding, bool showRecent = false);
  bool full() const { return findings_.size() >= kMaxFindings; }
  // Takes the channel faults logged since: a message answered twice is a finding of `channel`.
  void collectFaults(const std::string& channel, const std::string& method, const Bytes& bytes);

  // Prints the report; answers the process's exit status.
  int print(const RunSummary& summary) const;

 private:
  static constexpr size_t kRecent = 24;

  std::map<std::string, ChannelCounts> counts_;
  size_t total_ = 0;
  std::deque<std::string> recent_;
  std::vector<Finding> findings_;
  std::vector<std::string> other_faults_;
};

}  // namespace channel_fuzzer
