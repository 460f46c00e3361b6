// The enumeration and proxy codecs, byte for byte and through the announcements they send.
#include <gtest/gtest.h>

#include "platform/webkit/webkit.h"
#include "plugins/wkwebview_host/tests/web_view_host_test_support.h"
#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/web_kit_library_pigeon_codec.h"

namespace wkwebview_host::testing {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

FlutterBytes withInt32(uint8_t tag, int32_t value) {
  FlutterBytes bytes{tag, FlutterStandardFieldInt32};
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(uint8_t(uint32_t(value) >> shift));
  return bytes;
}

FlutterBytes withInt64(uint8_t tag, int64_t value) {
  FlutterBytes bytes{tag, FlutterStandardFieldInt64};
  for (int shift = 0; shift < 64; shift += 8) bytes.push_back(uint8_t(uint64_t(value) >> shift));
  return bytes;
}

class TestNavigationDelegate : public NSObject, public WKNavigationDelegate {};

TEST(EnumerationCodecTest, EveryEnumerationDecodesItsCasesAndNothingElse) {
  const auto& codec = WebKitLibraryPigeonCodec::sharedInstance();
  const std::vector<int64_t> case_counts = {4, 5, 6, 3, 4, 8, 3, 3, 15, 7, 3, 4, 5, 4, 9};
  for (uint8_t tag = 129; tag <= 143; ++tag) {
    SCOPED_TRACE("tag " + std::to_string(tag));
    int64_t count = case_counts[tag - 129];
    for (int64_t raw = 0; raw < count; ++raw) {
      Value decoded = codec->decode(withInt32(tag, int32_t(raw)));
      EXPECT_EQ(decoded, enumerationValue(tag, raw));
      EXPECT_FALSE(decoded.isNull());
      EXPECT_EQ(codec->decode(withInt64(tag, raw)), decoded);
      EXPECT_EQ(codec->encode(decoded), withInt64(tag, raw));
    }
    EXPECT_TRUE(codec->decode(withInt32(tag, int32_t(count))).isNull());
    EXPECT_TRUE(codec->decode(withInt64(tag, -1)).isNull());
    EXPECT_TRUE(codec->decode(FlutterBytes{tag, FlutterStandardFieldNil}).isNull());
    EXPECT_THROW(codec->decode(FlutterBytes{tag, FlutterStandardFieldString, 1, 'x'}),
                 FlutterCodecError);
  }
  // The last case, `unknown` included, is an ordinary case.
  EXPECT_EQ(enumerationFromValue<NavigationType>(codec->decode(withInt32(138, 6))),
            NavigationType::unknown);
  EXPECT_EQ(codec->decode(FlutterBytes{FlutterStandardFieldInt32, 7, 0, 0, 0}), Value(7));
}

class ProxyCodecTest : public WebViewHostTest {
 protected:
  ProxyCodecTest() { answerAnnouncements(); }
  std::vector<std::string> channels() const {
    std::vector<std::string> names;
    for (const auto& message : *received) names.push_back(message.channel);
    return names;
  }
};

TEST_F(ProxyCodecTest, ReferencesReadAsEitherIntegerWidthAndUnknownOnesAsNull) {
  auto codec = registrar().codec();
  auto object = makeObject<NSObject>();
  instances().registerDartObject(object, 5);
  EXPECT_EQ(objectFromValue<NSObject>(codec->decode(withInt32(128, 5))), object);
  EXPECT_EQ(objectFromValue<NSObject>(codec->decode(withInt64(128, 5))), object);

  ::testing::internal::CaptureStdout();
  EXPECT_TRUE(codec->decode(withInt64(128, 99)).isNull());
  instances().dropStrongReference(5);
  object.reset();
  EXPECT_TRUE(codec->decode(withInt32(128, 5)).isNull());
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Failed to find instance with identifier: 99\n"
            "Failed to find instance with identifier: 5\n");
  EXPECT_THROW(codec->decode(FlutterBytes{128, FlutterStandardFieldString, 1, '5'}),
               FlutterCodecError);
}

TEST_F(ProxyCodecTest, AnObjectWrittenTwiceIsAnnouncedOnceUnderOneIdentifier) {
  auto object = makeObject<NSObject>();
  EXPECT_EQ(encodeForDart(ValueList{objectValue(object), objectValue(object)}),
            Value(ValueList{ref(65536), ref(65536)}));
  EXPECT_EQ(encodeForDart(objectValue(object)), ref(65536));
  ASSERT_EQ(channels(), std::vector<std::string>{"NSObject.pigeon_newInstance"});
  EXPECT_EQ(received->front().message, Value(ValueList{Value(int64_t{65536})}));
}

TEST_F(ProxyCodecTest, InnerObjectsAreAnnouncedBeforeTheObjectsThatHoldThem) {
  auto inner = makeObject<NSError>("Inner", 2);
  auto outer = NSError::errorWithDomain(
      "Outer", 1, AnyValue::Dictionary{{"underlying", inner}, {"count", 3}});
  EXPECT_EQ(encodeForDart(objectValue(outer)), ref(65536));
  auto announced = receivedOn("NSError.pigeon_newInstance");
  ASSERT_EQ(announced.size(), 2u);
  // The outer error takes its identifier first; the inner one goes out first.
  EXPECT_EQ(announced[0].message,
            Value(ValueList{Value(int64_t{65537}), Value(int64_t{2}), Value("Inner"), ValueMap{}}));
  EXPECT_EQ(announced[1].message,
            Value(ValueList{
                Value(int64_t{65536}), Value(int64_t{1}), Value("Outer"),
                ValueMap{{Value("underlying"), ref(65537)}, {Value("count"), Value(int64_t{3})}}}));
}

TEST_F(ProxyCodecTest, SubclassesAreAnnouncedThroughTheFirstKindTheyBelongTo) {
  auto url = std::make_shared<NSURL>("https://example.com/");
  encodeForDart(objectValue(makeObject<NSHTTPURLResponse>(url, 404)));
  encodeForDart(objectValue(makeObject<NSURLResponse>(url, "text/html")));
  encodeForDart(objectValue(makeObject<WKWebView>(CGRectZero, nullptr)));
  EXPECT_EQ(channels(), (std::vector<std::string>{"HTTPURLResponse.pigeon_newInstance",
                                                  "URLResponse.pigeon_newInstance",
                                                  "NSViewWKWebView.pigeon_newInstance"}));
  EXPECT_EQ(received->front().message,
            Value(ValueList{Value(int64_t{65536}), Value(int64_t{404})}));
}

TEST_F(ProxyCodecTest, DelegatesAreWrittenAsReferencesWithoutAnnouncement) {
  auto delegate = makeObject<TestNavigationDelegate>();
  instances().registerDartObject(delegate, 12);
  EXPECT_EQ(encodeForDart(objectValue(delegate)), ref(12));
  EXPECT_TRUE(received->empty());
}

TEST_F(ProxyCodecTest, WhatCannotBeWrittenIsLoggedAndWrittenAsNullKeepingCounts) {
  auto stray_delegate = makeObject<TestNavigationDelegate>();
  auto known = makeObject<NSObject>();
  instances().registerDartObject(known, 3);
  registrar().setIgnoreCallsToDart(true);

  ::testing::internal::CaptureStdout();
  Value written = encodeForDart(ValueList{objectValue(stray_delegate), Value(1),
                                          objectValue(makeObject<NSObject>()), objectValue(known)});
  std::string log = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(written, Value(ValueList{Value(), Value(1), Value(), ref(3)}));
  EXPECT_NE(log.find("Unsupported value: <TestNavigationDelegate #"), std::string::npos) << log;
  EXPECT_NE(log.find("> of TestNavigationDelegate\n"), std::string::npos) << log;
  EXPECT_NE(log.find("> of NSObject\n"), std::string::npos) << log;
  EXPECT_TRUE(received->empty());
}

TEST_F(ProxyCodecTest, CollectionsEncodeEveryElementByTheSameRules) {
  auto first = makeObject<NSObject>();
  auto second = makeObject<WKPreferences>();
  Value value = ValueMap{{Value("objects"), ValueList{objectValue(first), objectValue(second)}},
                         {enumerationValue(NavigationType::reload), objectValue(first)}};
  Value expected = ValueMap{{Value("objects"), ValueList{ref(65536), ref(65537)}},
                            {enumerationValue(NavigationType::reload), ref(65536)}};
  EXPECT_EQ(encodeForDart(value), expected);
  EXPECT_EQ(channels(), (std::vector<std::string>{"NSObject.pigeon_newInstance",
                                                  "WKPreferences.pigeon_newInstance"}));
  // Read back by the host, the references are the objects again.
  Value read = registrar().codec()->decode(dartSideCodec()->encode(expected));
  const auto* objects = read.find("objects")->asList();
  EXPECT_EQ(objectFromValue<NSObject>((*objects)[0]), first);
  EXPECT_EQ(objectFromValue<WKPreferences>((*objects)[1]), second);
}

}  // namespace
}  // namespace wkwebview_host::testing
