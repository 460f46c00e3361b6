#include "tools/channel_fuzzer/pending_answers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/webkit/testing/page_limits.h"
#include "tools/channel_fuzzer/hex.h"

namespace channel_fuzzer {
namespace {

// The object a message-channel call is about: its first argument, a reference (type 128 and an
// integer).
std::optional<int64_t> objectOf(const Bytes& message) {
  if (message.size() < 8 || message[0] != 12 || message[1] == 0 || message[2] != 128) {
    return std::nullopt;
  }
  if (message[3] == 3) {
    int32_t identifier;
    std::memcpy(&identifier, &message[4], sizeof identifier);
    return identifier;
  }
  if (message[3] == 4 && message.size() >= 12) {
    int64_t identifier;
    std::memcpy(&identifier, &message[4], sizeof identifier);
    return identifier;
  }
  return std::nullopt;
}

}  // namespace

void PendingAnswers::add(const std::string& channel, const std::string& method, const Bytes& bytes,
                         std::shared_ptr<std::atomic<int>> answered,
                         std::shared_ptr<Bytes> answer) {
  constexpr auto kTurn = webkit::testing::kPageRequestLimit;
  const auto now = Clock::now();
  const auto object = objectOf(bytes);
  // A process to start, its first page, the navigation's request, then this one.
  auto run_by = now + webkit::testing::kContentProcessStartLimit + 3 * kTurn;
  for (const auto& earlier : pending_) {
    if (object && earlier.object == object && !earlier.late) {
      // Once the earlier one is done: the navigation's request, then this one.
      run_by = std::max(run_by, earlier.run_by + 2 * kTurn);
    }
  }
  pending_.push_back({channel, method, bytes, std::move(answered), std::move(answer), object, now,
                      run_by, run_by + answer_bound_});
}

bool PendingAnswers::allAnswered() const {
  return std::all_of(pending_.begin(), pending_.end(),
                     [](const Pending& pending) { return pending.answered->load() > 0; });
}

PendingAnswers::Clock::time_point PendingAnswers::lastDue() const {
  auto last_due = Clock::now();
  for (const auto& pending : pending_) last_due = std::max(last_due, pending.deadline);
  return last_due;
}

void PendingAnswers::check(bool final) {
  const auto now = Clock::now();
  for (auto it = pending_.begin(); it != pending_.end();) {
    const double age = std::chrono::duration<double>(now - it->sent).count();
    if (it->answered->load() > 0) {
      report_.answered(it->channel, readMessageAnswer(*it->answer));
      if (it->late) {
        std::fprintf(stderr, "channel_fuzzer: the late answer came after %.1f s: %s %s\n", age,
                     it->channel.c_str(), hex(it->bytes, 64).c_str());
      } else {
        ++times_.answered_in_time;
        times_.slowest = std::max(times_.slowest, age);
        times_.closest_to_due = std::min(times_.closest_to_due,
                                         std::chrono::duration<double>(it->deadline - now).count());
      }
      it = pending_.erase(it);
    } else if (it->late) {
      if (final || now - it->sent > kLateWatch) {
        std::fprintf(stderr, "channel_fuzzer: no answer after %.1f s: %s %s\n", age,
                     it->channel.c_str(), hex(it->bytes, 64).c_str());
        it = pending_.erase(it);
      } else {
        ++it;
      }
    } else if ((final || now > it->deadline) &&
               // An answer the host gave while the fuzzer was busy elsewhere waits on the main
               // queue: let it come first.
               !dispatch::testing::runUntil([&] { return it->answered->load() > 0; },
                                            std::chrono::milliseconds(200))) {
      report_.addFinding({"not answered within its time (" + std::to_string(static_cast<int>(age)) +
                              " s after it was sent)",
                          it->channel, it->method, it->bytes});
      it->late = true;
    } else {
      ++it;
    }
  }
}

}  // namespace channel_fuzzer
