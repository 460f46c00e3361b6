// The socket transport's frame format, fed whole, in pieces and hostile.
#include "platform/flutter/socket_frame.h"

#include <gtest/gtest.h>

namespace {

using flutter::encodeSocketFrame;
using flutter::SocketFrame;
using flutter::SocketFrameDecoder;
using flutter::SocketFrameKind;

FlutterBytes header(uint32_t length, uint8_t kind, uint32_t id, uint16_t nameLength) {
  return {static_cast<uint8_t>(length),       static_cast<uint8_t>(length >> 8),
          static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 24),
          kind,
          static_cast<uint8_t>(id),           static_cast<uint8_t>(id >> 8),
          static_cast<uint8_t>(id >> 16),     static_cast<uint8_t>(id >> 24),
          static_cast<uint8_t>(nameLength),   static_cast<uint8_t>(nameLength >> 8)};
}

TEST(SocketFrameTest, EncodesTheDocumentedLayout) {
  auto bytes = encodeSocketFrame(SocketFrame{SocketFrameKind::messageFromHost, 0x01020304, "ab",
                                             FlutterBytes{0xAA}});
  ASSERT_TRUE(bytes);
  FlutterBytes expected = header(11, 3, 0x01020304, 2);
  expected.insert(expected.end(), {'a', 'b', 1, 0xAA});
  EXPECT_EQ(*bytes, expected);

  // A missing payload and an empty one stay distinct.
  auto no_payload = encodeSocketFrame(SocketFrame{SocketFrameKind::replyFromHost, 7, "", {}});
  auto empty_payload =
      encodeSocketFrame(SocketFrame{SocketFrameKind::replyFromHost, 7, "", FlutterBytes{}});
  EXPECT_EQ(no_payload->at(11), 0);
  EXPECT_EQ(empty_payload->at(11), 1);
  EXPECT_EQ(no_payload->size(), empty_payload->size());
}

TEST(SocketFrameTest, DecodesFramesSplitAnywhereInTheStream) {
  std::vector<SocketFrame> frames = {
      {SocketFrameKind::messageFromDartSide, 1, "flutter/platform_views", FlutterBytes{1, 2, 3}},
      {SocketFrameKind::replyFromDartSide, 2, "", std::nullopt},
      {SocketFrameKind::replyFromDartSide, 3, "", FlutterBytes{}},
      {SocketFrameKind::messageFromDartSide, 0xFFFFFFFF, "é/ü", FlutterBytes(70000, 9)},
  };
  FlutterBytes stream;
  for (const auto& frame : frames) {
    auto bytes = encodeSocketFrame(frame);
    stream.insert(stream.end(), bytes->begin(), bytes->end());
  }
  for (size_t piece : {size_t{1}, size_t{5}, stream.size()}) {
    SocketFrameDecoder decoder;
    std::vector<SocketFrame> decoded;
    for (size_t offset = 0; offset < stream.size(); offset += piece) {
      size_t length = std::min(piece, stream.size() - offset);
      decoder.append(std::span<const uint8_t>(stream.data() + offset, length));
      while (auto frame = decoder.next()) decoded.push_back(std::move(*frame));
    }
    EXPECT_FALSE(decoder.hasFault()) << decoder.fault();
    EXPECT_FALSE(decoder.hasPartialFrame());
    EXPECT_EQ(decoded, frames) << "fed in pieces of " << piece;
  }
}

TEST(SocketFrameTest, RefusesFramesItCouldNotCarry) {
  EXPECT_FALSE(encodeSocketFrame(
      SocketFrame{SocketFrameKind::messageFromHost, 1, std::string(70000, 'c'), std::nullopt}));
  EXPECT_FALSE(encodeSocketFrame(
      SocketFrame{SocketFrameKind::messageFromHost, 1, "c", FlutterBytes(100, 0)}, 50));
}

struct HostileCase {
  const char* description;
  FlutterBytes bytes;
  const char* fault;
};

FlutterBytes concat(FlutterBytes bytes, std::initializer_list<uint8_t> more) {
  bytes.insert(bytes.end(), more);
  return bytes;
}

TEST(SocketFrameTest, HostileFramesAreFinalFaults) {
  const HostileCase cases[] = {
      {"length below the fixed fields", header(7, 1, 1, 0), "shorter than"},
      {"length beyond the limit, judged before the body arrives", header(0xFFFFFFFF, 1, 1, 0),
       "exceeds the limit"},
      {"unknown kind", concat(header(9, 5, 1, 1), {'c', 0}), "unknown frame kind 5"},
      {"kind zero", concat(header(9, 0, 1, 1), {'c', 0}), "unknown frame kind 0"},
      {"name overruns the frame", concat(header(9, 1, 1, 2), {'c', 0}), "overruns"},
      {"name without room for the flag", concat(header(8, 1, 1, 1), {'c'}), "overruns"},
      {"name that is not UTF-8", concat(header(9, 1, 1, 1), {0xC0, 0}), "UTF-8"},
      {"message without a name", concat(header(8, 1, 1, 0), {0}), "no channel name"},
      {"reply with a name", concat(header(9, 4, 1, 1), {'c', 0}), "carries a channel name"},
      {"has-payload of 2", concat(header(9, 1, 1, 1), {'c', 2}), "not 0 or 1"},
      {"bytes after an absent payload", concat(header(10, 1, 1, 1), {'c', 0, 7}),
       "without payload"},
  };
  for (const auto& hostile : cases) {
    SocketFrameDecoder decoder;
    decoder.append(hostile.bytes);
    EXPECT_FALSE(decoder.next()) << hostile.description;
    ASSERT_TRUE(decoder.hasFault()) << hostile.description;
    EXPECT_NE(decoder.fault().find(hostile.fault), std::string::npos)
        << hostile.description << ": " << decoder.fault();
    // Nothing after a fault is trusted, not even a good frame.
    decoder.append(*encodeSocketFrame(SocketFrame{SocketFrameKind::replyFromDartSide, 1, "", {}}));
    EXPECT_FALSE(decoder.next()) << hostile.description;
  }
}

}  // namespace
