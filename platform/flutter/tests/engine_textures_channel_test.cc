// The engine's texture channel: the Dart side sees a texture's frames as the compositor draws
// them, pulled after frame-available marks, off the main thread.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "platform/flutter/engine_textures_channel.h"
#include "platform/flutter/flutter.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "platform/quartzcore/testing/media_clock_controls.h"

namespace {

using flutter::Value;
using flutter::testing::MethodReply;
using flutter::testing::TestDartSide;

// Hands out a new frame, filled with the number of the pull, while `handOut` allows.
class CountingTexture : public FlutterTexture {
 public:
  explicit CountingTexture(size_t width = 3, size_t height = 2) : width_(width), height_(height) {}
  CVPixelBufferRef copyPixelBuffer() override {
    std::lock_guard lock(mutex_);
    pulled_on_ = std::this_thread::get_id();
    ++pulls_;
    if (!hand_out_) return nullptr;
    CVPixelBufferRef buffer;
    EXPECT_EQ(CVPixelBufferCreate(width_, height_, kCVPixelFormatType_32BGRA, &buffer),
              kCVReturnSuccess);
    std::fill(buffer->baseAddress(), buffer->baseAddress() + buffer->dataSize(),
              static_cast<uint8_t>(pulls_));
    return buffer;
  }
  int pulls() const {
    std::lock_guard lock(mutex_);
    return pulls_;
  }
  std::thread::id pulledOn() const {
    std::lock_guard lock(mutex_);
    return pulled_on_;
  }
  void handOut(bool frames) {
    std::lock_guard lock(mutex_);
    hand_out_ = frames;
  }

 private:
  const size_t width_, height_;
  mutable std::mutex mutex_;
  int pulls_ = 0;
  bool hand_out_ = true;
  std::thread::id pulled_on_;
};

class TexturesChannelTest : public ::testing::Test {
 protected:
  MethodReply copyFrame(Value textureId) {
    return dart.invokeMethod(flutter::kTexturesChannel, "copyFrame", std::move(textureId));
  }
  // The first byte of the frame the compositor shows, checked whole and laid out as described.
  int shownFrame(int64_t textureId) {
    auto reply = copyFrame(Value(textureId));
    EXPECT_TRUE(reply.isSuccess()) << reply.describe();
    if (!reply.value.asMap()) return -1;
    auto field = [&](std::string_view key) { return reply.value.find(key); };
    const auto& bytes = field("bytes")->get<std::vector<uint8_t>>();
    EXPECT_EQ(field("width")->intValue(), 3);
    EXPECT_EQ(field("height")->intValue(), 2);
    EXPECT_EQ(field("bytesPerRow")->intValue(), 12);
    EXPECT_EQ(field("pixelFormat")->intValue(), kCVPixelFormatType_32BGRA);
    EXPECT_EQ(bytes.size(), 24u);
    for (uint8_t byte : bytes) EXPECT_EQ(byte, bytes[0]);
    return bytes.empty() ? -1 : bytes[0];
  }

  TestDartSide dart{FlutterEngine::create()};
  FlutterTextureRegistry& registry = *dart.engine().textureRegistry();
};

TEST_F(TexturesChannelTest, FramesArePulledUntilOneIsShownThenAfterEachMarkOffTheMainThread) {
  quartzcore::testing::setMediaTime(10.0);
  auto nextRefresh = [] { quartzcore::testing::advanceMediaTime(1.0 / 60); };
  auto texture = std::make_shared<CountingTexture>();
  texture->handOut(false);
  int64_t id = registry.registerTexture(texture);
  // Nothing to show yet: every refresh's draw asks the texture.
  for (int pulls = 1; pulls <= 2; ++pulls) {
    if (pulls > 1) nextRefresh();
    auto none = copyFrame(Value(id));
    ASSERT_TRUE(none.isSuccess()) << none.describe();
    EXPECT_TRUE(none.value.isNull());
    EXPECT_EQ(texture->pulls(), pulls);
  }
  EXPECT_NE(texture->pulledOn(), std::this_thread::get_id());

  texture->handOut(true);
  nextRefresh();
  EXPECT_EQ(shownFrame(id), 3);
  EXPECT_EQ(shownFrame(id), 3);  // no mark: the same frame, the texture not asked
  EXPECT_EQ(texture->pulls(), 3);
  registry.textureFrameAvailable(id);
  registry.textureFrameAvailable(id);  // marks before a draw make one pull
  // Within the refresh of the last pull the compositor shows what it drew: reading a texture
  // often never pulls it faster than the display refreshes.
  EXPECT_EQ(shownFrame(id), 3);
  EXPECT_EQ(texture->pulls(), 3);
  nextRefresh();
  EXPECT_EQ(shownFrame(id), 4);
  EXPECT_EQ(shownFrame(id), 4);
  EXPECT_EQ(texture->pulls(), 4);

  // A texture with nothing new keeps showing its last frame.
  texture->handOut(false);
  registry.textureFrameAvailable(id);
  nextRefresh();
  EXPECT_EQ(shownFrame(id), 4);
  EXPECT_EQ(texture->pulls(), 5);
  quartzcore::testing::useMachineClock();
}

TEST_F(TexturesChannelTest, UnknownTexturesBadIdsAndHugeFramesAreClearErrors) {
  int64_t id = registry.registerTexture(std::make_shared<CountingTexture>());
  registry.textureFrameAvailable(id);
  registry.unregisterTexture(id);
  for (const Value& unknown : {Value(id), Value(int32_t{7}), Value(int64_t{-1})}) {
    auto reply = copyFrame(unknown);
    ASSERT_TRUE(reply.isError()) << reply.describe();
    EXPECT_EQ(reply.error.code, "unknown_texture");
  }
  for (const Value& bad : {Value(), Value("1000"), Value(1000.0), Value(flutter::ValueList{})}) {
    auto reply = copyFrame(bad);
    ASSERT_TRUE(reply.isError()) << reply.describe();
    EXPECT_EQ(reply.error.code, "bad_arguments");
  }
  EXPECT_TRUE(dart.invokeMethod(flutter::kTexturesChannel, "draw", Value(id)).isNotImplemented());

  // Past the copy limit: an error instead of a copy the transport could not carry.
  auto huge = std::make_shared<CountingTexture>(4200, 4000);
  int64_t hugeId = registry.registerTexture(huge);
  registry.textureFrameAvailable(hugeId);
  auto reply = copyFrame(Value(hugeId));
  ASSERT_TRUE(reply.isError()) << reply.describe();
  EXPECT_EQ(reply.error.code, "frame_too_large");
}

}  // namespace
