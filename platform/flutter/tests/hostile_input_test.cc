// Input from the Dart side is untrusted: malformed bytes are refused with an error, never read out
// of bounds.
#include <gtest/gtest.h>

#include <random>

#include "platform/flutter/flutter_standard_codec.h"

namespace {

using Bytes = std::vector<uint8_t>;

void expectRefused(const Bytes& wire) {
  EXPECT_THROW(FlutterStandardMessageCodec::sharedInstance()->decode(wire), FlutterCodecError)
      << "bytes of length " << wire.size();
}

TEST(HostileInputTest, TruncatedValuesAreRefused) {
  expectRefused({3, 1, 2});              // int32 short of bytes
  expectRefused({4, 1, 2, 3, 4, 5, 6});  // int64 short of bytes
  expectRefused({6, 0, 0});              // double with padding but no value
  expectRefused({7, 5, 'a'});            // string shorter than its size
  expectRefused({7, 254, 1});            // size prefix cut off
  expectRefused({12, 2, 0});             // list missing an element
  expectRefused({13, 1, 0});             // map key without value
  expectRefused({9, 1, 0, 0, 1});        // int32 data short of bytes
}

TEST(HostileInputTest, SizesBeyondTheMessageAreRefusedBeforeAllocating) {
  expectRefused({12, 255, 0xFF, 0xFF, 0xFF, 0xFF});
  expectRefused({13, 255, 0xFF, 0xFF, 0xFF, 0x7F, 0});
  expectRefused({8, 255, 0xFF, 0xFF, 0xFF, 0xFF, 1});
  expectRefused({10, 255, 0xFF, 0xFF, 0xFF, 0x1F, 0, 0});
  expectRefused({7, 255, 0xFF, 0xFF, 0xFF, 0xFF});
}

TEST(HostileInputTest, UnknownTypesBadTextAndTrailingBytesAreRefused) {
  expectRefused({15});
  expectRefused({128});
  expectRefused({7, 2, 0xC3, 0x28});        // invalid UTF-8
  expectRefused({7, 3, 0xED, 0xA0, 0x80});  // encoded surrogate
  expectRefused({7, 2, 0xC0, 0x80});        // overlong form
  expectRefused({0, 0});                    // trailing byte
  EXPECT_THROW(FlutterStandardMethodCodec::sharedInstance()->decodeMethodCall(Bytes{3, 1, 0, 0, 0, 0}),
               FlutterCodecError);  // method name is not a string
  EXPECT_THROW(FlutterStandardMethodCodec::sharedInstance()->decodeEnvelope(Bytes{2}),
               FlutterCodecError);
}

TEST(HostileInputTest, DeepNestingIsRefusedWithoutExhaustingTheStack) {
  Bytes deep;
  for (int i = 0; i < 100000; ++i) {
    deep.push_back(12);
    deep.push_back(1);
  }
  deep.push_back(0);
  expectRefused(deep);

  Bytes fine;
  for (int i = 0; i < 200; ++i) {
    fine.push_back(12);
    fine.push_back(1);
  }
  fine.push_back(0);
  EXPECT_NO_THROW(FlutterStandardMessageCodec::sharedInstance()->decode(fine));
}

// A reader whose type 129 wraps the next value, as plug-in codecs' records do.
class WrappingReader : public FlutterStandardReader {
 public:
  using FlutterStandardReader::FlutterStandardReader;
  flutter::Value readValueOfType(uint8_t type) override {
    if (type != 129) return FlutterStandardReader::readValueOfType(type);
    return flutter::Value(flutter::ValueList{readValue()});
  }
};

class WrappingReaderWriter : public FlutterStandardReaderWriter {
 public:
  std::unique_ptr<FlutterStandardReader> readerWithData(
      std::span<const uint8_t> data) const override {
    return std::make_unique<WrappingReader>(data);
  }
};

TEST(HostileInputTest, PluginTypesShareTheNestingBudgetWithListsAndMaps) {
  FlutterStandardMessageCodec codec(std::make_shared<WrappingReaderWriter>());
  auto alternating = [](int levels) {
    Bytes bytes;
    for (int i = 0; i < levels; ++i) {
      if (i % 2 == 0) {
        bytes.insert(bytes.end(), {12, 1});
      } else {
        bytes.push_back(129);
      }
    }
    bytes.push_back(0);
    return bytes;
  };
  EXPECT_NO_THROW(codec.decode(alternating(200)));
  // 150 lists are within the budget alone; with the records between them they are not.
  try {
    codec.decode(alternating(300));
    ADD_FAILURE() << "300 levels of lists and records were accepted";
  } catch (const FlutterCodecError& error) {
    EXPECT_NE(std::string(error.what()).find("nested too deeply"), std::string::npos)
        << error.what();
  }
  EXPECT_THROW(codec.decode(Bytes(200000, 129)), FlutterCodecError);
}

TEST(HostileInputTest, DecodingCostIsBoundedByTheMessageSize) {
  auto listOf = [](uint32_t count, std::initializer_list<uint8_t> element) {
    Bytes bytes{12, 255};
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(count >> shift));
    for (uint32_t i = 0; i < count; ++i) bytes.insert(bytes.end(), element);
    return bytes;
  };
  // A byte each on the wire, a whole value each in memory.
  expectRefused(listOf(1u << 20, {0}));
  expectRefused(listOf(1u << 20, {1}));
  expectRefused(listOf(1u << 19, {12, 0}));
  Bytes map{13, 255, 0, 0, 8, 0};
  for (int i = 0; i < (1 << 19); ++i) map.insert(map.end(), {0, 0});
  expectRefused(map);

  // Honest shapes of the same size decode: numbers, text, typed data, small containers.
  EXPECT_NO_THROW(FlutterStandardMessageCodec::sharedInstance()->decode(listOf(1u << 18, {3, 1, 2, 3, 4})));
  EXPECT_NO_THROW(FlutterStandardMessageCodec::sharedInstance()->decode(
      listOf(1u << 16, {7, 12, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l'})));
  EXPECT_NO_THROW(FlutterStandardMessageCodec::sharedInstance()->decode(listOf(20000, {0})));
  Bytes data{8, 255, 0, 0, 0x40, 0};
  data.resize(data.size() + (4u << 20));
  EXPECT_NO_THROW(FlutterStandardMessageCodec::sharedInstance()->decode(data));
}

TEST(HostileInputTest, RandomBytesNeverCrashTheReader) {
  std::mt19937 random(1234);
  for (int round = 0; round < 20000; ++round) {
    Bytes wire(random() % 40);
    for (auto& byte : wire) byte = static_cast<uint8_t>(random() % 16 == 0 ? 255 : random() % 16);
    try {
      FlutterStandardMessageCodec::sharedInstance()->decode(wire);
    } catch (const FlutterCodecError&) {
    }
  }
}

}  // namespace
