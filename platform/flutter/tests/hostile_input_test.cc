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

// A list or map header claiming `count` entries, with its size in the 32-bit form.
Bytes header(uint8_t type, uint32_t count) {
  Bytes bytes{type, 255};
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(count >> shift));
  return bytes;
}

// `bytes`, then `element` `count` times (copied by doubling: messages here are large).
Bytes repeated(Bytes bytes, uint32_t count, const Bytes& element) {
  const size_t start = bytes.size();
  const size_t end = start + size_t{count} * element.size();
  bytes.reserve(end);
  if (count > 0) bytes.insert(bytes.end(), element.begin(), element.end());
  while (bytes.size() < end) {
    size_t copied = std::min(bytes.size() - start, end - bytes.size());
    bytes.insert(bytes.end(), bytes.begin() + static_cast<ptrdiff_t>(start),
                 bytes.begin() + static_cast<ptrdiff_t>(start + copied));
  }
  return bytes;
}

TEST(HostileInputTest, HonestMessagesOfEveryShapeDecode) {
  auto decodes = [](const Bytes& wire, const char* shape) {
    EXPECT_NO_THROW(FlutterStandardMessageCodec::sharedInstance()->decode(wire)) << shape;
  };
  // A byte each on the wire, a whole value each in memory.
  decodes(repeated(header(12, 100000), 100000, {1}), "100,000 booleans");
  decodes(repeated(header(12, 1u << 20), 1u << 20, {0}), "a million nulls");
  decodes(repeated(header(13, 1u << 16), 1u << 16, {0, 2}), "a map of nulls to booleans");
  decodes(repeated(header(12, 1u << 16), 1u << 16, {12, 0}), "empty lists");
  decodes(repeated(header(12, 1u << 15), 1u << 15, {12, 1, 0}), "lists of one null");
  decodes(repeated(header(12, 1u << 15), 1u << 15, {13, 1, 0, 0}), "maps of one entry");
  decodes(repeated(header(12, 1u << 16), 1u << 16, {7, 0}), "empty strings");
  decodes(repeated(header(12, 1u << 15), 1u << 15, {7, 1, 'a'}), "one-letter strings");
  decodes(repeated(header(12, 1u << 15), 1u << 15, {8, 1, 7}), "one-byte typed data");
  decodes(repeated(header(12, 1u << 15), 1u << 15, {3, 1, 2, 3, 4}), "small integers");
  decodes(repeated(header(12, 1u << 14), 1u << 14,
                   {7, 12, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l'}),
          "words");
  Bytes nested = header(12, 300);
  for (int i = 0; i < 300; ++i) {
    Bytes inner = repeated(header(12, 1000), 1000, {2});
    nested.insert(nested.end(), inner.begin(), inner.end());
  }
  decodes(nested, "lists of a thousand booleans");
  Bytes data{8, 255, 0, 0, 0x40, 0};
  data.resize(data.size() + (4u << 20));
  decodes(data, "4 MiB of bytes");

  // A plug-in's own values, each wrapping the value after its type byte.
  FlutterStandardMessageCodec codec(std::make_shared<WrappingReaderWriter>());
  EXPECT_NO_THROW(codec.decode(repeated(header(12, 1u << 16), 1u << 16, {129, 0})));
  EXPECT_NO_THROW(codec.decode(repeated(header(12, 1u << 15), 1u << 15, {129, 12, 1, 0})));
}

TEST(HostileInputTest, SizeClaimsThatAddUpBeyondTheMessageAreRefusedBeforeAllocating) {
  // Lists inside lists, each claiming every byte left: each claim alone fits, together they ask
  // far more than the message can hold, and reserving them would take gigabytes.
  constexpr size_t kSize = 1u << 20;
  Bytes bomb;
  for (int level = 0; level < 200; ++level) {
    auto left = static_cast<uint32_t>(kSize - bomb.size() - 6);
    Bytes claim = header(level % 2 == 0 ? 12 : 13, level % 2 == 0 ? left : left / 2);
    bomb.insert(bomb.end(), claim.begin(), claim.end());
  }
  bomb.resize(kSize, 0);
  try {
    FlutterStandardMessageCodec::sharedInstance()->decode(bomb);
    ADD_FAILURE() << "the nested claims were accepted";
  } catch (const FlutterCodecError& error) {
    EXPECT_NE(std::string(error.what()).find("memory"), std::string::npos) << error.what();
  }
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
