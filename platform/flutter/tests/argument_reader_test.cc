// The one argument reader: what each read takes as absent, and how its errors are kept and worded.
#include "platform/flutter/argument_reader.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using flutter::ArgumentErrors;
using flutter::ArgumentErrorStyle;
using flutter::ArgumentReader;
using flutter::NullEntry;
using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

std::string apostrophed(std::string_view key, std::string_view requirement) {
  return "Argument '" + std::string(key) + "' must be " + std::string(requirement);
}

std::string saysMissing(std::string_view key) { return "\"" + std::string(key) + "\" is missing"; }

Value sample() {
  return Value(ValueMap{{"text", "hi"},
                        {"null", Value()},
                        {"yes", true},
                        {"small", int32_t{7}},
                        {"big", int64_t{1} << 40},
                        {"negative", int32_t{-1}},
                        {"real", 2.5},
                        {"nan", std::numeric_limits<double>::quiet_NaN()},
                        {"bytes", std::vector<uint8_t>{1, 2, 3}},
                        {"words", std::vector<int32_t>{1, 2}},
                        {"list", ValueList{"a", int32_t{1}, "b"}},
                        {"texts", ValueList{"a", "b"}},
                        {"map", ValueMap{{"inner", "x"}}}});
}

TEST(ArgumentReaderTest, LenientReadsTakeMissingNullAndOtherTypesAsAbsent) {
  Value arguments = sample();
  ArgumentReader read(arguments);
  EXPECT_EQ(read.string("text"), "hi");
  EXPECT_FALSE(read.string("small"));
  EXPECT_FALSE(read.string("absent"));
  EXPECT_FALSE(read.has("null"));
  EXPECT_TRUE(read.isTrue("yes"));
  EXPECT_FALSE(read.isTrue("small"));
  EXPECT_EQ(read.integer("big"), int64_t{1} << 40);
  EXPECT_FALSE(read.integer("real"));
  EXPECT_FALSE(read.floatingPoint("small"));
  EXPECT_EQ(read.number("small"), 7.0);
  EXPECT_EQ(read.number("real"), 2.5);
  EXPECT_FALSE(read.number("yes"));
  EXPECT_EQ(read.int32("small"), 7);
  EXPECT_FALSE(read.int32("big"));
  EXPECT_FALSE(read.uint32("negative"));
  EXPECT_EQ(read.uint32("small"), 7u);
  ASSERT_NE(read.map("map"), nullptr);
  EXPECT_EQ(read.map("list"), nullptr);
  EXPECT_EQ(read.list("list")->size(), 3u);

  ArgumentReader with_null(arguments, NullEntry::kValue);
  EXPECT_TRUE(with_null.has("null"));
  EXPECT_FALSE(with_null.string("null"));

  for (const Value& not_a_map : {Value(), Value("text"), Value(ValueList{"text"})}) {
    ArgumentReader empty(not_a_map);
    EXPECT_FALSE(empty.isMap());
    EXPECT_FALSE(empty.has("text"));
  }
}

TEST(ArgumentReaderTest, ListsAndTypedDataReadTheirElements) {
  Value arguments = sample();
  ArgumentReader read(arguments);
  EXPECT_EQ(read.strings("texts"), (std::vector<std::string>{"a", "b"}));
  EXPECT_FALSE(read.strings("list")) << "one element that is not a string spoils the list";
  EXPECT_EQ(read.stringElements("list"), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(read.stringElements("text").empty());

  auto bytes = read.bytes("bytes");
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::vector<uint8_t>(bytes->begin(), bytes->end()), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(read.bytes("words")->size(), 2 * sizeof(int32_t));
  EXPECT_FALSE(read.bytes("list"));
}

TEST(ArgumentReaderTest, CoercionsAnswerWhateverThePresentValueIs) {
  Value arguments = sample();
  ArgumentReader read(arguments);
  EXPECT_EQ(read.boolValue("small"), true);
  EXPECT_EQ(read.intValue("real"), 2);
  EXPECT_EQ(read.doubleValue("yes"), 1.0);
  EXPECT_FALSE(read.boolValue("absent"));
  EXPECT_FALSE(read.doubleValue("null"));
}

TEST(ArgumentReaderTest, RequiredReadsKeepTheFirstErrorInThePluginsWording) {
  Value arguments = sample();
  ArgumentReader read(arguments);
  ArgumentErrors errors(ArgumentErrorStyle{.code = "BAD", .wrong = &apostrophed});
  EXPECT_EQ(read.string("text", errors), "hi");
  EXPECT_TRUE(errors.ok());
  EXPECT_EQ(errors.error(), (FlutterError{"BAD", "Invalid arguments", Value()}));

  EXPECT_FALSE(read.boolean("absent", errors));
  EXPECT_FALSE(read.string("small", errors));
  EXPECT_FALSE(errors.ok());
  EXPECT_EQ(errors.error(), (FlutterError{"BAD", "Argument 'absent' must be a Boolean", Value()}));
}

TEST(ArgumentReaderTest, RequiredReadsWordMissingWrongAndOutOfRangeApart) {
  Value arguments = sample();
  ArgumentReader read(arguments, NullEntry::kValue);
  auto first = [&](auto reading) {
    ArgumentErrors errors(ArgumentErrorStyle{.code = "C", .missing = &saysMissing});
    EXPECT_FALSE(reading(errors));
    return errors.first().value_or(FlutterError{}).message.value_or("");
  };
  EXPECT_EQ(first([&](ArgumentErrors& e) { return read.string("absent", e); }),
            "\"absent\" is missing");
  EXPECT_EQ(first([&](ArgumentErrors& e) { return read.string("null", e); }),
            "\"null\" must be a string");
  EXPECT_EQ(first([&](ArgumentErrors& e) { return read.int32("real", e); }),
            "\"real\" must be an integer");
  EXPECT_EQ(first([&](ArgumentErrors& e) { return read.int32("big", e); }),
            "\"big\" must be a 32-bit integer");
  EXPECT_EQ(first([&](ArgumentErrors& e) { return read.finiteNumber("text", e); }),
            "\"text\" must be a number");
  EXPECT_EQ(first([&](ArgumentErrors& e) { return read.finiteNumber("nan", e); }),
            "\"nan\" must be a finite number");
  EXPECT_EQ(first([&](ArgumentErrors& e) { return read.bytes("list", e); }),
            "\"list\" must be typed data");
  EXPECT_EQ(first([&](ArgumentErrors& e) { return read.map("list", e, "a map of keys"); }),
            "\"list\" must be a map of keys");
  EXPECT_EQ(first([&](ArgumentErrors& e) { return read.list("map", e); }),
            "\"map\" must be a list");
}

TEST(ArgumentReaderTest, ArgumentsThatAreNotAMapAreRefusedOnlyWhereTheStyleSaysSo) {
  Value text("doc-1");
  ArgumentReader read(text);
  ArgumentErrors lenient(ArgumentErrorStyle{.code = "C"});
  EXPECT_FALSE(read.string("documentID", lenient));
  EXPECT_EQ(lenient.error().message, "\"documentID\" must be a string");

  ArgumentErrors strict(ArgumentErrorStyle{.code = "C", .notAMap = "The arguments must be a map"});
  EXPECT_FALSE(read.string("documentID", strict));
  EXPECT_EQ(strict.error().message, "The arguments must be a map");

  ArgumentErrors whole(ArgumentErrorStyle{.code = "C", .notAMap = "unused"});
  EXPECT_EQ(read.wholeString(whole, "must be an id"), "doc-1");
  EXPECT_TRUE(whole.ok());
  EXPECT_FALSE(ArgumentReader(Value(int32_t{1})).wholeString(whole, "must be an id"));
  EXPECT_EQ(whole.error().message, "must be an id");
}

}  // namespace
