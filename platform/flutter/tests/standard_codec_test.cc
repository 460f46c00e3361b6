// Exact wire bytes of the standard codec.
#include <gtest/gtest.h>

#include "platform/flutter/flutter_standard_codec.h"

namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;
using Bytes = std::vector<uint8_t>;

Bytes encode(const Value& value) { return FlutterStandardMessageCodec::sharedInstance()->encode(value); }
Value decode(const Bytes& bytes) { return FlutterStandardMessageCodec::sharedInstance()->decode(bytes); }

void expectRoundTrip(const Value& value, const Bytes& wire) {
  EXPECT_EQ(encode(value), wire) << value.debugString();
  EXPECT_EQ(decode(wire), value) << value.debugString();
}

TEST(StandardCodecTest, ScalarsHaveTheirTypeByteAndLittleEndianBytes) {
  expectRoundTrip(Value(), {0});
  expectRoundTrip(Value(true), {1});
  expectRoundTrip(Value(false), {2});
  expectRoundTrip(Value(int32_t{-2}), {3, 0xFE, 0xFF, 0xFF, 0xFF});
  expectRoundTrip(Value(int64_t{0x0102030405060708}), {4, 8, 7, 6, 5, 4, 3, 2, 1});
  // A double is aligned to 8 from the start of the buffer: 7 bytes of padding after the type.
  expectRoundTrip(Value(1.0), {6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F});
  expectRoundTrip(Value("hé"), {7, 3, 'h', 0xC3, 0xA9});
}

TEST(StandardCodecTest, Int32AndInt64StayDistinct) {
  EXPECT_FALSE(Value(int32_t{5}) == Value(int64_t{5}));
  EXPECT_TRUE(decode(encode(Value(int64_t{5}))).is<int64_t>());
}

TEST(StandardCodecTest, LargeIntegerStringIsReadAsText) {
  EXPECT_EQ(decode({5, 3, '1', 'f', 'f'}), Value("1ff"));
}

TEST(StandardCodecTest, SizesSwitchEncodingAt254And65536) {
  auto header = [](size_t length) {
    Bytes wire = encode(Value(std::string(length, 'a')));
    return Bytes(wire.begin(), wire.end() - static_cast<long>(length));
  };
  EXPECT_EQ(header(253), (Bytes{7, 253}));
  EXPECT_EQ(header(254), (Bytes{7, 254, 254, 0}));
  EXPECT_EQ(header(0xFFFF), (Bytes{7, 254, 0xFF, 0xFF}));
  EXPECT_EQ(header(0x10000), (Bytes{7, 255, 0, 0, 1, 0}));
  for (size_t length : {253u, 254u, 0xFFFFu, 0x10000u}) {
    Value text(std::string(length, 'a'));
    EXPECT_EQ(decode(encode(text)), text) << length;
  }
}

TEST(StandardCodecTest, TypedDataIsAlignedRelativeToTheBufferStart) {
  expectRoundTrip(Value(Bytes{1, 2}), {8, 2, 1, 2});
  expectRoundTrip(Value(std::vector<int32_t>{1}), {9, 1, 0, 0, 1, 0, 0, 0});
  expectRoundTrip(Value(std::vector<int64_t>{1}),
                  {10, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0});
  expectRoundTrip(Value(std::vector<float>{1.0f}), {14, 1, 0, 0, 0, 0, 0x80, 0x3F});
  expectRoundTrip(Value(std::vector<double>{1.0}),
                  {11, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F});
  // Inside a list the element's offset decides the padding: type 12, size 1, type 9, size 1 is
  // four bytes, so no padding is needed before the int32 element.
  expectRoundTrip(Value(ValueList{Value(std::vector<int32_t>{7})}), {12, 1, 9, 1, 7, 0, 0, 0});
  expectRoundTrip(Value(ValueList{Value(2.0)}),
                  {12, 1, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40});
}

TEST(StandardCodecTest, NestedContainersKeepOrderAndKeysOfAnyType) {
  ValueMap inner{{Value(int32_t{1}), Value("one")}, {Value(), Value(true)}};
  Value nested(ValueList{Value(inner), Value(ValueList{}), Value(ValueMap{})});
  expectRoundTrip(nested, {12, 3, 13, 2, 3, 1, 0, 0, 0, 7, 3, 'o', 'n', 'e', 0, 1, 12, 0, 13, 0});
}

TEST(StandardCodecTest, MethodCallsAndEnvelopes) {
  const auto& codec = *FlutterStandardMethodCodec::sharedInstance();
  Bytes call = codec.encodeMethodCall({"m", Value(int32_t{1})});
  EXPECT_EQ(call, (Bytes{7, 1, 'm', 3, 1, 0, 0, 0}));
  EXPECT_EQ(codec.decodeMethodCall(call).method, "m");

  EXPECT_EQ(codec.encodeSuccessEnvelope(Value(true)), (Bytes{0, 1}));
  Bytes error = codec.encodeErrorEnvelope({"c", std::nullopt, Value(false)});
  EXPECT_EQ(error, (Bytes{1, 7, 1, 'c', 0, 2}));
  auto decoded = std::get<FlutterError>(codec.decodeEnvelope(error));
  EXPECT_EQ(decoded.code, "c");
  EXPECT_FALSE(decoded.message.has_value());
  // The Dart side may add a stack trace after the details.
  Bytes with_trace = {1, 7, 1, 'c', 7, 1, 'm', 0, 7, 2, 's', 't'};
  EXPECT_EQ(std::get<FlutterError>(codec.decodeEnvelope(with_trace)).message, "m");
}

// A plug-in codec's own type: a record carried as type 129 followed by a list.
struct Point final : flutter::CustomValue {
  int32_t x = 0;
  std::string typeName() const override { return "Point"; }
  bool equals(const CustomValue& other) const override {
    auto* point = dynamic_cast<const Point*>(&other);
    return point != nullptr && point->x == x;
  }
};

class PointReader : public FlutterStandardReader {
 public:
  using FlutterStandardReader::FlutterStandardReader;
  Value readValueOfType(uint8_t type) override {
    if (type != 129) return FlutterStandardReader::readValueOfType(type);
    auto point = std::make_shared<Point>();
    point->x = static_cast<int32_t>(readValue().intValue());
    return Value(point);
  }
};

class PointWriter : public FlutterStandardWriter {
 public:
  using FlutterStandardWriter::FlutterStandardWriter;
  void writeValue(const Value& value) override {
    if (auto point = value.asCustom<Point>()) {
      writeByte(129);
      FlutterStandardWriter::writeValue(Value(point->x));
      return;
    }
    FlutterStandardWriter::writeValue(value);
  }
};

class PointReaderWriter : public FlutterStandardReaderWriter {
 public:
  std::unique_ptr<FlutterStandardWriter> writerWithData(Bytes& data) const override {
    return std::make_unique<PointWriter>(data);
  }
  std::unique_ptr<FlutterStandardReader> readerWithData(std::span<const uint8_t> data) const override {
    return std::make_unique<PointReader>(data);
  }
};

TEST(StandardCodecTest, PluginCodecsAddTypeBytesFrom128) {
  FlutterStandardMessageCodec codec(std::make_shared<PointReaderWriter>());
  auto point = std::make_shared<Point>();
  point->x = 9;
  Value list(ValueList{Value(point)});
  Bytes wire = codec.encode(list);
  EXPECT_EQ(wire, (Bytes{12, 1, 129, 3, 9, 0, 0, 0}));
  EXPECT_EQ(codec.decode(wire), list);
  // The standard codec knows nothing of the type, in either direction.
  EXPECT_THROW(encode(list), FlutterCodecError);
  EXPECT_THROW(decode(wire), FlutterCodecError);
}

TEST(StandardCodecTest, TextThatIsNotUtf8IsNeverWritten) {
  for (const std::string& bad : {std::string("\xff"), std::string("a\xc3"), std::string("\xed\xa0\x80"),
                                 std::string("\xc0\x80")}) {
    EXPECT_THROW(encode(Value(bad)), FlutterCodecError);
    EXPECT_THROW(encode(Value(ValueList{Value("fine"), Value(bad)})), FlutterCodecError);
    EXPECT_THROW(encode(Value(ValueMap{{Value(bad), Value(int32_t{1})}})), FlutterCodecError);
    EXPECT_THROW(FlutterStandardMethodCodec::sharedInstance()->encodeErrorEnvelope(
                     FlutterError{"code", bad, nullptr}),
                 FlutterCodecError);
  }
  EXPECT_EQ(encode(Value("\xc3\xa9\xf0\x9f\x98\x80")).size(), 8u);
}

// Text is checked a word at a time: a bad byte is found in any lane of a word or in the tail.
TEST(StandardCodecTest, TextIsCheckedWhereverItsNonAsciiByteFalls) {
  for (size_t length = 1; length <= 24; ++length) {
    for (size_t at = 0; at < length; ++at) {
      std::string bad(length, 'a');
      bad[at] = '\xff';
      EXPECT_THROW(encode(Value(bad)), FlutterCodecError) << length << " " << at;
      Bytes wire{7, static_cast<uint8_t>(length)};
      wire.insert(wire.end(), bad.begin(), bad.end());
      EXPECT_THROW(decode(wire), FlutterCodecError) << length << " " << at;

      std::string good(length, 'a');
      good.replace(at, 1, "\xc3\xa9");
      EXPECT_EQ(decode(encode(Value(good))), Value(good)) << length << " " << at;
    }
  }
}

TEST(ValueTest, FoundationStyleCoercions) {
  EXPECT_EQ(Value("12abc").intValue(), 12);
  EXPECT_EQ(Value(" 3.5").doubleValue(), 3.5);
  EXPECT_TRUE(Value("yes").boolValue());
  EXPECT_TRUE(Value("007").boolValue());
  EXPECT_FALSE(Value("no").boolValue());
  EXPECT_EQ(Value(2.9).intValue(), 2);
  EXPECT_EQ(Value(1e300).intValue(), INT64_MAX);
  EXPECT_EQ(Value(true).intValue(), 1);
  EXPECT_EQ(Value(int64_t{7}).stringValue(), "7");
  EXPECT_EQ(Value(ValueList{}).intValue(), 0);
}

TEST(ValueTest, MissingKeyAndNullDiffer) {
  Value map(ValueMap{{Value("present"), Value()}});
  ASSERT_NE(map.find("present"), nullptr);
  EXPECT_TRUE(map.find("present")->isNull());
  EXPECT_EQ(map.find("absent"), nullptr);
}

}  // namespace
