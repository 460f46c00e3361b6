#include "tools/channel_fuzzer/argument_kind.h"

#include <gtest/gtest.h>

namespace channel_fuzzer {
namespace {

using Type = ArgumentKind::Type;

TEST(ArgumentKindTest, ReadsWordsPrefixesAndTheMarkOfWhatMayBeNull) {
  EXPECT_EQ(ArgumentKind("integer").type, Type::integer);
  EXPECT_EQ(ArgumentKind("").type, Type::unspecified);
  EXPECT_EQ(ArgumentKind("id:*").type, Type::liveIdentifier);
  // Only "*" follows "id:"; anything else is no kind the generator knows.
  EXPECT_EQ(ArgumentKind("id:WKWebView").type, Type::other);
  EXPECT_EQ(ArgumentKind("floating").type, Type::other);

  const ArgumentKind nullable("script?");
  EXPECT_EQ(nullable.type, Type::script);
  EXPECT_TRUE(nullable.nullable);
  EXPECT_FALSE(nullable.required().nullable);
  EXPECT_EQ(nullable.required().type, Type::script);
  EXPECT_FALSE(ArgumentKind("script").nullable);

  const ArgumentKind record("record:131");
  EXPECT_EQ(record.type, Type::record);
  EXPECT_EQ(record.tag, 131);
  const ArgumentKind cases("enummap:134?");
  EXPECT_EQ(cases.type, Type::enumerationMap);
  EXPECT_EQ(cases.tag, 134);
  EXPECT_TRUE(cases.nullable);
  // "objects:" is not read as "object:" with an "s".
  EXPECT_EQ(ArgumentKind("objects:WKUserScript").type, Type::objects);
  EXPECT_EQ(ArgumentKind("enums:130").type, Type::enumerations);

  const ArgumentKind choice("choice:GET|POST|");
  EXPECT_EQ(choice.type, Type::choice);
  EXPECT_EQ(choice.names, (std::vector<std::string>{"GET", "POST", ""}));
}

// A call is provided for, and its answer kept under an API, only where exactly one API is named.
TEST(ArgumentKindTest, NamesASingleApiOnlyForObjectsOfOneApi) {
  EXPECT_EQ(ArgumentKind("object:WKWebView?").singleApi(), "WKWebView");
  EXPECT_EQ(ArgumentKind("objects:WKUserScript").singleApi(), "WKUserScript");
  EXPECT_EQ(ArgumentKind("object:WKWebView|NSObject").singleApi(), "");
  EXPECT_EQ(ArgumentKind("object:WKWebView|NSObject").names.size(), 2u);
  EXPECT_EQ(ArgumentKind("object:*").singleApi(), "");
  EXPECT_EQ(ArgumentKind("object:*").names, std::vector<std::string>{"*"});
  // A new object's API is the one it makes, not one to provide.
  const ArgumentKind made("new:WKWebViewConfiguration");
  EXPECT_EQ(made.type, Type::newObject);
  EXPECT_EQ(made.detail, "WKWebViewConfiguration");
  EXPECT_EQ(made.singleApi(), "");
}

}  // namespace
}  // namespace channel_fuzzer
