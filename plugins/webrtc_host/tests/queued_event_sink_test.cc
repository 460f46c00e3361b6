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
    if (line.starts_with(name + ": ")) found.push_back(line);
  }
  return found;
}

TEST(QueuedEventSinkTest, QueuesSharingABudgetDropPastItAndCountTheDropsOnce) {
  foundation::testing::setLogCapture(true);
  const Value message(std::vector<uint8_t>(1000, 7));
  const Value state("closed");
  const size_t bytes = eventBytes(message);
  // Ordinary events leave a sixteenth free: fifteen messages fit.
  auto budget = std::make_shared<EventByteBudget>(16 * bytes);
  QueuedEventSink first("first", budget);
  QueuedEventSink second("second", budget);
  for (int i = 0; i < 13; ++i) first.send(message);
  for (int i = 0; i < 4; ++i) second.send(message);
  EXPECT_EQ(second.heldBytes(), 2 * bytes);
  // Essential events may use the rest, and no more.
  const size_t essentials = bytes / eventBytes(state) + 5;
  for (size_t i = 0; i < essentials; ++i) second.send(state, QueuedEventSink::Kind::kEssential);
  EXPECT_LE(budget->heldBytes(), budget->limit());
  EXPECT_GT(budget->heldBytes(), budget->limit() - eventBytes(state));

  // Posted events wait on the main queue and still count until the sink has them.
  std::vector<Value> heard;
  second.listen([&](FlutterEvent event) { heard.push_back(std::get<Value>(event.get())); });
  second.send(message);
  EXPECT_EQ(linesNaming("second").size(), 1u);
  ASSERT_TRUE(dispatch::testing::drainUntilIdle());
  ASSERT_GE(heard.size(), 3u);
  EXPECT_EQ(heard[1], message);
  EXPECT_EQ(heard[2], state);
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
