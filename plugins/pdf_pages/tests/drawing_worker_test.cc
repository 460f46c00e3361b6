// The drawing worker serves one request at a time: a request made while another is under way
// waits its turn, and every one is answered, none dropped or answered with another's result.
#include "plugins/pdf_pages/drawing_worker.h"

#include <gtest/gtest.h>

#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/dispatch/testing/main_queue_pump.h"
#include "plugins/pdf_pages/tests/pdf_pages_test_support.h"

namespace pdf_pages::testing {
namespace {

using dispatch::testing::runUntil;

constexpr auto kGenerous = std::chrono::seconds(60);

CFDataRef bytesOf(const std::string& document) {
  return CFDataCreate(reinterpret_cast<const uint8_t*>(document.data()),
                      static_cast<CFIndex>(document.size()));
}

DrawingRequest pageRequest(uint64_t key, uint32_t page, size_t width, size_t height) {
  DrawingRequest request;
  request.documentKey = key;
  request.pageNumber = page;
  request.size = BitmapSize{width, height};
  return request;
}

// Answers arrive on the worker's queue; the test reads them on the main thread.
template <typename T>
struct Answers {
  std::mutex mutex;
  std::vector<std::optional<T>> slots;
  explicit Answers(size_t count) : slots(count) {}
  auto into(size_t slot) {
    return [this, slot](T value) {
      std::lock_guard lock(mutex);
      slots[slot] = std::move(value);
    };
  }
  bool all() {
    std::lock_guard lock(mutex);
    for (const auto& slot : slots) {
      if (!slot) return false;
    }
    return true;
  }
};

TEST(DrawingWorkerTest, RequestsMadeWhileOneIsUnderWayAreEachAnsweredInTurn) {
  DrawingWorker worker(DrawingLimits{});
  CFDataRef four = bytesOf(fourPageDocument());
  CFDataRef two = bytesOf(twoPageDocument());

  // Two readings at once: each answers its own document's pages.
  Answers<DrawingWorker::Reading> readings(2);
  worker.read(1, four, std::nullopt, readings.into(0));
  worker.read(2, two, std::nullopt, readings.into(1));
  ASSERT_TRUE(runUntil([&] { return readings.all(); }, kGenerous));
  auto* first = std::get_if<std::vector<MeasuredPage>>(&*readings.slots[0]);
  auto* second = std::get_if<std::vector<MeasuredPage>>(&*readings.slots[1]);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->size(), 4u);
  EXPECT_EQ(second->size(), 2u);

  // Drawings of either document, then releases, all asked at once.
  Answers<DrawingWorker::Outcome> drawings(3);
  worker.draw(pageRequest(1, 1, 61, 79), four, drawings.into(0));
  worker.draw(pageRequest(2, 2, 10, 30), two, drawings.into(1));
  worker.draw(pageRequest(1, 3, 20, 10), four, drawings.into(2));
  Answers<bool> releases(2);
  worker.release(1, [&] { releases.into(0)(true); });
  worker.release(2, [&] { releases.into(1)(true); });
  ASSERT_TRUE(runUntil([&] { return drawings.all() && releases.all(); }, kGenerous));
  const size_t expected_bytes[] = {61 * 79 * 4, 10 * 30 * 4, 20 * 10 * 4};
  for (size_t i = 0; i < 3; ++i) {
    auto* bitmap = std::get_if<std::shared_ptr<const DrawnBitmap>>(&*drawings.slots[i]);
    ASSERT_TRUE(bitmap) << i << ": " << std::get<FlutterError>(*drawings.slots[i]).message.value_or("");
    EXPECT_EQ((*bitmap)->bytes().size(), expected_bytes[i]) << i;
  }
}

}  // namespace
}  // namespace pdf_pages::testing
