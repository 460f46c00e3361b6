// The fields that each data object carries when it is announced to the Dart side.
#include <gtest/gtest.h>

#include "platform/webkit/webkit.h"
#include "plugins/wkwebview_host/authentication_challenge_response.h"
#include "plugins/wkwebview_host/get_trust_result_response.h"
#include "plugins/wkwebview_host/tests/web_view_host_test_support.h"
#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"

namespace wkwebview_host::testing {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

URLRequest requestFor(const std::string& url) {
  URLRequest request;
  request.url = std::make_shared<NSURL>(url);
  return request;
}

class AnnouncementTest : public WebViewHostTest {
 protected:
  AnnouncementTest() { answerAnnouncements(); }

  // The fields (after the identifier) of the only announcement on `api`.
  ValueList fieldsOn(const std::string& api) {
    auto announced = receivedOn(api + ".pigeon_newInstance");
    EXPECT_EQ(announced.size(), 1u) << api;
    if (announced.empty()) return {};
    ValueList fields = *announced.front().message.asList();
    fields.erase(fields.begin());
    return fields;
  }
  Value announce(std::shared_ptr<NSObject> object) {
    return encodeForDart(objectValue(std::move(object)));
  }
};

TEST_F(AnnouncementTest, NavigationActionsCarryAFreshRequestTheirTargetFrameAndType) {
  auto origin = makeObject<WKSecurityOrigin>("https", "example.com", 443);
  auto frame = makeObject<WKFrameInfo>(true, requestFor("https://example.com/frame"), origin);
  auto action = makeObject<WKNavigationAction>(requestFor("https://example.com/"), frame,
                                               WKNavigationTypeOther);
  EXPECT_EQ(announce(action), ref(65536));

  std::vector<std::string> order;
  for (const auto& message : *received) order.push_back(message.channel);
  EXPECT_EQ(order, (std::vector<std::string>{
                       "URLRequest.pigeon_newInstance", "URLRequest.pigeon_newInstance",
                       "WKFrameInfo.pigeon_newInstance", "WKNavigationAction.pigeon_newInstance"}));
  EXPECT_EQ(fieldsOn("WKFrameInfo"), (ValueList{Value(true), ref(65539)}));
  EXPECT_EQ(fieldsOn("WKNavigationAction"),
            (ValueList{ref(65537), ref(65538), enumerationValue(NavigationType::other)}));

  // Writing it again sends nothing and makes no new request.
  size_t before = received->size();
  EXPECT_EQ(announce(action), ref(65536));
  EXPECT_EQ(received->size(), before);
}

TEST_F(AnnouncementTest, NavigationActionsWithoutTargetFrameOrKnownTypeSayNullAndUnknown) {
  auto action = makeObject<WKNavigationAction>(requestFor("https://a.test/"), nullptr,
                                               static_cast<WKNavigationType>(42));
  announce(action);
  EXPECT_EQ(fieldsOn("WKNavigationAction"),
            (ValueList{ref(65537), Value(), enumerationValue(NavigationType::unknown)}));
  // An equal request announced again is a new object for the Dart side.
  announce(makeObject<WKNavigationAction>(requestFor("https://a.test/"), nullptr,
                                          WKNavigationTypeReload));
  EXPECT_EQ(receivedOn("URLRequest.pigeon_newInstance").size(), 2u);
}

TEST_F(AnnouncementTest, FramesWithoutRequestAnnounceNull) {
  announce(makeObject<WKFrameInfo>(false, std::nullopt, nullptr));
  EXPECT_EQ(fieldsOn("WKFrameInfo"), (ValueList{Value(false), Value()}));
}

TEST_F(AnnouncementTest, NavigationResponsesCarryTheirResponseObject) {
  auto response = makeObject<NSHTTPURLResponse>(
      std::make_shared<NSURL>("https://b.test/"), 200);
  announce(makeObject<WKNavigationResponse>(response, true));
  EXPECT_EQ(fieldsOn("HTTPURLResponse"), (ValueList{Value(int64_t{200})}));
  EXPECT_EQ(fieldsOn("WKNavigationResponse"), (ValueList{ref(65537), Value(true)}));
}

TEST_F(AnnouncementTest, ScriptMessagesOriginsAndUserScriptsCarryTheirValues) {
  AnyValue body = AnyValue::Dictionary{
      {"items", AnyValue::Array{1, 2.5, "three", NSNull{}}},
      {"flag", true}};
  announce(makeObject<WKScriptMessage>("channel", body));
  EXPECT_EQ(fieldsOn("WKScriptMessage"),
            (ValueList{Value("channel"),
                       ValueMap{{Value("items"),
                                 ValueList{Value(int64_t{1}), Value(2.5), Value("three"), Value()}},
                                {Value("flag"), Value(true)}}}));

  announce(makeObject<WKSecurityOrigin>("https", "c.test", 8443));
  EXPECT_EQ(fieldsOn("WKSecurityOrigin"),
            (ValueList{Value("c.test"), Value(int64_t{8443}), Value("https")}));

  announce(makeObject<WKUserScript>("end()", WKUserScriptInjectionTimeAtDocumentEnd, true));
  announce(makeObject<WKUserScript>("odd()", static_cast<WKUserScriptInjectionTime>(7), false));
  auto scripts = receivedOn("WKUserScript.pigeon_newInstance");
  ASSERT_EQ(scripts.size(), 2u);
  EXPECT_EQ(
      scripts[0].message,
      Value(ValueList{Value(int64_t{65538}), Value("end()"),
                      enumerationValue(UserScriptInjectionTime::atDocumentEnd), Value(true)}));
  EXPECT_EQ((*scripts[1].message.asList())[2], enumerationValue(UserScriptInjectionTime::unknown));
}

TEST_F(AnnouncementTest, ProtectionSpacesWithoutRealmAnnounceNull) {
  announce(makeObject<NSURLProtectionSpace>("d.test", 443, "https", std::nullopt,
                                                        "NSURLAuthenticationMethodServerTrust"));
  EXPECT_EQ(fieldsOn("URLProtectionSpace"),
            (ValueList{Value("d.test"), Value(int64_t{443}), Value(),
                       Value("NSURLAuthenticationMethodServerTrust")}));
}

TEST_F(AnnouncementTest, DispositionsOutsideThePlatformsFourAreUnknown) {
  auto credential = makeObject<NSURLCredential>(
      "user", "secret", NSURLCredentialPersistenceForSession);
  for (int64_t stored : {2, 4, -1}) {
    announce(makeObject<AuthenticationChallengeResponse>(
        static_cast<NSURLSessionAuthChallengeDisposition>(stored),
        stored == 2 ? credential : nullptr));
  }
  auto responses = receivedOn("AuthenticationChallengeResponse.pigeon_newInstance");
  ASSERT_EQ(responses.size(), 3u);
  EXPECT_EQ((*responses[0].message.asList())[1],
            enumerationValue(UrlSessionAuthChallengeDisposition::cancelAuthenticationChallenge));
  EXPECT_EQ((*responses[0].message.asList())[2], ref(65537));
  for (size_t index : {1, 2}) {
    EXPECT_EQ((*responses[index].message.asList())[1],
              enumerationValue(UrlSessionAuthChallengeDisposition::unknown));
    EXPECT_EQ((*responses[index].message.asList())[2], Value());
  }
}

TEST_F(AnnouncementTest, TrustResultsAreTranslatedAndStatusesKeepTheirSign) {
  for (uint32_t result : {2u, 4u, 8u}) announce(makeObject<GetTrustResultResponse>(result, -25300));
  auto responses = receivedOn("GetTrustResultResponse.pigeon_newInstance");
  ASSERT_EQ(responses.size(), 3u);
  const DartSecTrustResultType expected[] = {DartSecTrustResultType::confirm,
                                             DartSecTrustResultType::unspecified,
                                             DartSecTrustResultType::unknown};
  for (size_t index = 0; index < 3; ++index) {
    EXPECT_EQ((*responses[index].message.asList())[1], enumerationValue(expected[index]));
    EXPECT_EQ((*responses[index].message.asList())[2], Value(int64_t{-25300}));
  }
}

TEST_F(AnnouncementTest, AFailedAnnouncementLeavesTheObjectRegistered) {
  answerDartCalls("WKPreferences.pigeon_newInstance", ValueList{Value("gone"), Value(), Value()});
  auto object = makeObject<WKPreferences>();
  EXPECT_EQ(announce(object), ref(65536));
  EXPECT_EQ(announce(object), ref(65536));
  EXPECT_EQ(receivedOn("WKPreferences.pigeon_newInstance").size(), 1u);
}

TEST_F(AnnouncementTest, WritingAnObjectAgainHoldsItStronglyAgain) {
  auto object = makeObject<WKPreferences>();
  announce(object);
  dart.sendMessage(
      "dev.flutter.pigeon.wkwebview_host.PigeonInternalInstanceManager."
      "removeStrongReference",
      ValueList{Value(int64_t{65536})}, dartSideCodec());
  EXPECT_EQ(announce(object), ref(65536));
  std::weak_ptr<WKPreferences> weak = object;
  object.reset();
  EXPECT_FALSE(weak.expired());
  EXPECT_EQ(receivedOn("WKPreferences.pigeon_newInstance").size(), 1u);
}

TEST_F(AnnouncementTest, NothingIsAnnouncedOrRegisteredWhileCallsToDartAreIgnored) {
  registrar().setIgnoreCallsToDart(true);
  auto object = makeObject<WKPreferences>();
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(announce(object), Value());
  ::testing::internal::GetCapturedStdout();
  EXPECT_TRUE(received->empty());
  EXPECT_FALSE(instances().isRegistered(*object));
}

}  // namespace
}  // namespace wkwebview_host::testing
