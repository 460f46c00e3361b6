// The calls the fuzzer does not wait for: those that run a page's script, answered when the
// script ends. Each is due when the page's budgets say it must be done, and the answer bound
// after that. A page answers its requests one at a time, in order, each within its limit (the
// web view's own, not copied here); ahead of an evaluation wait at most the evaluations sent
// before it on the same web view and one request of the navigation under way (only the first
// navigation runs scripts, one request after the other); a process that must start first has its
// start, then one turn for the page it starts with. One past its time is reported and watched a
// while longer, to tell a late answer from none.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/channel_fuzzer/answer_reader.h"
#include "tools/channel_fuzzer/run_report.h"

namespace channel_fuzzer {

class PendingAnswers {
 public:
  using Clock = std::chrono::steady_clock;

  PendingAnswers(std::chrono::milliseconds answerBound, RunReport& report)
      : answer_bound_(answerBound), report_(report) {}

  // A message-channel call sent and not waited for: `answered` counts its replies, `answer`
  // holds the reply's bytes.
  void add(const std::string& channel, const std::string& method, const Bytes& bytes,
           std::shared_ptr<std::atomic<int>> answered, std::shared_ptr<Bytes> answer);

  bool allAnswered() const;
  // When the last of them is due; now when none is due later.
  Clock::time_point lastDue() const;
  // Counts those answered since, and reports those past their time (every one still unanswered
  // when `final`).
  void check(bool final);

  const PendingTimes& times() const { return times_; }

 private:
  // How long an answer past its time is still watched for, to tell late from never.
  static constexpr std::chrono::seconds kLateWatch{120};

  struct Pending {
    std::string channel;
    std::string method;
    Bytes bytes;
    std::shared_ptr<std::atomic<int>> answered;
    std::shared_ptr<Bytes> answer;
    std::optional<int64_t> object;  // the web view whose page runs it
    Clock::time_point sent;
    Clock::time_point run_by;  // when the page is done with it at the latest
    Clock::time_point deadline;
    bool late = false;  // reported, and watched for a late answer
  };

  std::chrono::milliseconds answer_bound_;
  RunReport& report_;
  std::vector<Pending> pending_;
  PendingTimes times_;
};

}  // namespace channel_fuzzer
