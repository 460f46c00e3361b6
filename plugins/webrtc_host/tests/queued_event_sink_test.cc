// The bounded queue behind the data-channel and frame-cryptor events: what waits for the Dart
// side, queued or posted to the main queue, stays within a budget that several queues share.
#include "plugins/webrtc_host/queued_event_sink.h"

#include <gtest/gtest.h>

#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "plugins/webrtc_host/event_bytes.h"

namespace webrtc_host::testing {
namespace {

using flutter::Value;

std::vector<std::string> linesNaming(const std::string& name) {
  std::vector<std::string> found;
  for (const auto& line : foundation::testing::takeLogLines()) {
    if (line.starts_with(name + ":") || line.find(" " + name + ":") != std::string::npos) {
      found.push_back(line);
    }
  }
  return found;
}

TEST(QueuedEventSinkTest, QueuesSharingABudgetDropPastItAndCountTheDropsOnce) {
  foundation::testing::setLogCapture(true);
  const Value message(std::vector<uint8_t>(1000, 7));
  const Value state("closed");
  const size_t bytes = eventBytes(message);
  auto budget = std::make_shared<EventByteBudget>(3 * bytes);
  QueuedEventSink first("first", budget);
  QueuedEventSink second("second", budget);

  first.send(message);
  first.send(message);
  second.send(message);
  second.send(message);
  second.send(message);
  // Few by nature and needed: kept past the budget.
  second.send(state, QueuedEventSink::Kind::kKept);
  EXPECT_EQ(budget->heldBytes(), 3 * bytes + eventBytes(state));

  // Posted events wait on the main queue and still count until the sink has them.
  std::vector<Value> heard;
  second.listen([&](FlutterEvent event) { heard.push_back(std::get<Value>(event.get())); });
  second.send(message);
  EXPECT_EQ(second.heldBytes(), bytes + eventBytes(state));
  EXPECT_EQ(linesNaming("second").size(), 1u);
  ASSERT_TRUE(dispatch::testing::drainUntilIdle());
  EXPECT_EQ(heard, (std::vector<Value>{message, state}));
  EXPECT_EQ(second.heldBytes(), 0u);
  // The drop after the listener came is counted once nothing waits any more.
  const auto lines = linesNaming("second");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("dropped events: 1 "), std::string::npos) << lines[0];

  // Letting go of a queue gives its bytes back.
  first.clear();
  EXPECT_EQ(budget->heldBytes(), 0u);
  EXPECT_TRUE(linesNaming("first").empty());
  foundation::testing::setLogCapture(false);
}

}  // namespace
}  // namespace webrtc_host::testing
