// The argument reader that every host operation uses.
#include "plugins/wkwebview_host/web_kit_library/pigeon_arguments.h"

#include <gtest/gtest.h>

#include "platform/webkit/webkit.h"
#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"

namespace wkwebview_host {
namespace {

using flutter::Value;
using flutter::ValueList;

std::string failureOf(const std::function<void()>& read) {
  try {
    read();
  } catch (const PigeonError& error) {
    EXPECT_EQ(error.code(), "invalid-argument");
    return error.message().value_or("");
  }
  return "no failure";
}

TEST(PigeonArgumentsTest, ReadsEachKindAndRefusesEverythingElse) {
  auto preferences = makeObject<WKPreferences>();
  Value message = ValueList{Value(int32_t{7}),
                            Value(true),
                            Value(2.5),
                            Value("text"),
                            Value(),
                            objectValue(preferences),
                            enumerationValue(NavigationType::reload)};
  PigeonArguments arguments("API.operation", message);

  EXPECT_EQ(arguments.identifier(0), 7);
  EXPECT_TRUE(arguments.boolean(1));
  EXPECT_EQ(arguments.number(2), 2.5);
  EXPECT_EQ(arguments.number(0), 7.0);
  EXPECT_EQ(arguments.string(3), "text");
  EXPECT_EQ(arguments.optionalString(4), std::nullopt);
  EXPECT_EQ(arguments.instance<WKPreferences>(5), preferences);
  EXPECT_EQ(arguments.optionalInstance<WKPreferences>(4), nullptr);
  EXPECT_EQ(arguments.enumeration<NavigationType>(6), NavigationType::reload);

  EXPECT_EQ(failureOf([&] { arguments.identifier(1); }),
            "API.operation expects an integer identifier as argument 1.");
  EXPECT_EQ(failureOf([&] { arguments.boolean(9); }),
            "API.operation expects a boolean as argument 9.");
  EXPECT_EQ(failureOf([&] { arguments.instance<WKWebView>(5); }),
            "API.operation expects a live native object of the expected kind as argument 5.");
  EXPECT_EQ(failureOf([&] { arguments.enumeration<PermissionDecision>(6); }),
            "API.operation expects a case of PermissionDecision as argument 6.");
  EXPECT_EQ(failureOf([&] { arguments.optionalString(1); }),
            "API.operation expects a string as argument 1.");

  Value data_message = ValueList{Value(std::vector<uint8_t>{1, 2}), Value(flutter::ValueMap{}),
                                 Value(1.0 / 0.0), Value(ValueList{Value(1)}),
                                 Value(flutter::ValueMap{{Value("k"), Value(3)}})};
  PigeonArguments data("API.operation", data_message);
  EXPECT_EQ(data.optionalBytes(0), (std::vector<uint8_t>{1, 2}));
  EXPECT_EQ(data.optionalStringMap(1), (std::map<std::string, std::string>{}));
  EXPECT_EQ(arguments.optionalBytes(4), std::nullopt);
  EXPECT_EQ(arguments.optionalStringMap(4), std::nullopt);
  EXPECT_EQ(failureOf([&] { data.optionalBytes(1); }),
            "API.operation expects typed byte data or null as argument 1.");
  EXPECT_EQ(failureOf([&] { data.optionalStringMap(4); }),
            "API.operation expects a map of strings to strings or null as argument 4.");
  EXPECT_EQ(failureOf([&] { data.finiteNumber(2); }),
            "API.operation expects a finite number as argument 2.");
  EXPECT_EQ(failureOf([&] { data.enumerations<WebsiteDataType>(3); }),
            "API.operation expects a list of WebsiteDataType as argument 3.");

  PigeonArguments none("API.operation", Value("not a list"));
  EXPECT_EQ(none.size(), 0u);
  EXPECT_TRUE(none.value(0).isNull());
}

}  // namespace
}  // namespace wkwebview_host
