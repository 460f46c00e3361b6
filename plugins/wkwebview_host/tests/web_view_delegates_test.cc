// The web view, its delegates and key-value observation, driven through the channels.
#include <gtest/gtest.h>

#include "platform/foundation/testing/foundation_controls.h"
#include "platform/webkit/testing/web_view_controls.h"
#include "platform/webkit/webkit.h"
#include "plugins/wkwebview_host/authentication_challenge_response.h"
#include "plugins/wkwebview_host/key_value_observation_forwarder.h"
#include "plugins/wkwebview_host/tests/web_view_host_test_support.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_host_operation.h"

namespace wkwebview_host::testing {
namespace {

using flutter::Value;
using flutter::ValueList;
using webkit::testing::WebViewControls;

constexpr int64_t kConfiguration = 1;
constexpr int64_t kWebView = 2;
constexpr int64_t kNavigationDelegate = 3;
constexpr int64_t kUIDelegate = 4;
constexpr int64_t kObserver = 5;

class WebViewDelegatesTest : public WebViewHostTest {
 protected:
  WebViewDelegatesTest() {
    answerAnnouncements();
    instances().registerDartObject(makeObject<WKWebViewConfiguration>(), kConfiguration);
    EXPECT_EQ(send("NSViewWKWebView.pigeon_defaultConstructor",
                   {Value(kWebView), ref(kConfiguration)}),
              ValueList{Value()});
    webView = std::dynamic_pointer_cast<WKWebView>(instances().lookupObject(kWebView));
  }
  ~WebViewDelegatesTest() override {
    foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
  }

  Value send(const std::string& method, ValueList arguments) {
    auto reply = dart.sendMessage(std::string(kChannelPrefix) + method, Value(std::move(arguments)),
                                  dartSideCodec());
    return reply ? *reply : Value("no reply");
  }
  template <typename T>
  std::shared_ptr<T> make(const std::string& api, int64_t identifier) {
    EXPECT_EQ(send(api + ".pigeon_defaultConstructor", {Value(identifier)}), ValueList{Value()});
    return std::dynamic_pointer_cast<T>(instances().lookupObject(identifier));
  }
  std::vector<std::string> calls(const std::string& api) {
    std::vector<std::string> names;
    for (const auto& message : *received) {
      if (message.channel.rfind(api + ".", 0) == 0) names.push_back(message.channel);
    }
    return names;
  }
  std::shared_ptr<WKNavigationAction> action() {
    URLRequest request;
    request.url = std::make_shared<NSURL>("https://example.com/");
    return makeObject<WKNavigationAction>(request, nullptr, WKNavigationTypeOther);
  }

  std::shared_ptr<WKWebView> webView;
};

TEST_F(WebViewDelegatesTest, AnHtmlLoadReportsEachStepInOrderAndAnswersOnLaterTurns) {
  make<WKNavigationDelegate>("WKNavigationDelegate", kNavigationDelegate);
  for (const char* name : {"didStartProvisionalNavigation", "didFinishNavigation"}) {
    answerDartCalls(std::string("WKNavigationDelegate.") + name);
  }
  answerDartCalls("WKNavigationDelegate.decidePolicyForNavigationAction",
                  ValueList{enumerationValue(NavigationActionPolicy::allow)});
  answerDartCalls("WKNavigationDelegate.decidePolicyForNavigationResponse",
                  ValueList{enumerationValue(NavigationResponsePolicy::allow)});
  EXPECT_EQ(send("NSViewWKWebView.setNavigationDelegate", {ref(kWebView), ref(kNavigationDelegate)}),
            ValueList{Value()});
  EXPECT_EQ(send("NSViewWKWebView.loadHtmlString",
                 {ref(kWebView), Value("<title>Hello</title>"), Value()}),
            ValueList{Value()});
  ASSERT_TRUE(dart.runUntil([&] { return !receivedOn("WKNavigationDelegate.didFinishNavigation").empty(); }));
  EXPECT_EQ(calls("WKNavigationDelegate"),
            (std::vector<std::string>{"WKNavigationDelegate.decidePolicyForNavigationAction",
                                      "WKNavigationDelegate.didStartProvisionalNavigation",
                                      "WKNavigationDelegate.decidePolicyForNavigationResponse",
                                      "WKNavigationDelegate.didFinishNavigation"}));
  EXPECT_EQ(receivedOn("WKNavigationDelegate.didFinishNavigation").front().message,
            (ValueList{ref(kNavigationDelegate), ref(kWebView), Value("about:blank")}));
  EXPECT_EQ(send("NSViewWKWebView.getTitle", {ref(kWebView)}), ValueList{Value("Hello")});
  EXPECT_EQ(send("NSViewWKWebView.getUrl", {ref(kWebView)}), ValueList{Value("about:blank")});
  EXPECT_EQ(send("NSViewWKWebView.getEstimatedProgress", {ref(kWebView)}), ValueList{Value(1.0)});
  EXPECT_EQ(send("NSViewWKWebView.canGoBack", {ref(kWebView)}), ValueList{Value(false)});
  // Going back without history is a success that does nothing.
  EXPECT_EQ(send("NSViewWKWebView.goBack", {ref(kWebView)}), ValueList{Value()});
}

TEST_F(WebViewDelegatesTest, PolicyAnswersMapToWebKitsValuesAndEveryFailureCancels) {
  auto delegate = make<WKNavigationDelegate>("WKNavigationDelegate", kNavigationDelegate);
  struct Case {
    std::optional<Value> reply;
    NSOperatingSystemVersion os;
    WKNavigationActionPolicy expected;
  };
  const Case cases[] = {
      {ValueList{enumerationValue(NavigationActionPolicy::allow)}, {15, 0, 0}, WKNavigationActionPolicyAllow},
      {ValueList{enumerationValue(NavigationActionPolicy::cancel)}, {15, 0, 0}, WKNavigationActionPolicyCancel},
      {ValueList{enumerationValue(NavigationActionPolicy::download)}, {11, 3, 0}, WKNavigationActionPolicyDownload},
      {ValueList{enumerationValue(NavigationActionPolicy::download)}, {11, 2, 0}, WKNavigationActionPolicyCancel},
      {ValueList{Value("code"), Value("message"), Value()}, {15, 0, 0}, WKNavigationActionPolicyCancel},
      {ValueList{Value()}, {15, 0, 0}, WKNavigationActionPolicyCancel},
      {ValueList{Value(7)}, {15, 0, 0}, WKNavigationActionPolicyCancel},
      {std::nullopt, {15, 0, 0}, WKNavigationActionPolicyCancel},
  };
  for (const auto& test_case : cases) {
    foundation::testing::setEmulatedOperatingSystemVersion(test_case.os);
    answerDartCalls("WKNavigationDelegate.decidePolicyForNavigationAction", test_case.reply);
    std::optional<WKNavigationActionPolicy> answer;
    delegate->decidePolicyForNavigationAction(webView, action(),
                                              [&](WKNavigationActionPolicy policy) { answer = policy; });
    EXPECT_FALSE(answer) << "answered inside the callback";
    ASSERT_TRUE(dart.runUntil([&] { return answer.has_value(); }));
    EXPECT_EQ(*answer, test_case.expected);
  }
  // With calls to the Dart side ignored, nothing is sent and the navigation is cancelled.
  size_t sent = received->size();
  registrar().setIgnoreCallsToDart(true);
  std::optional<WKNavigationActionPolicy> answer;
  delegate->decidePolicyForNavigationAction(webView, action(),
                                            [&](WKNavigationActionPolicy policy) { answer = policy; });
  ASSERT_TRUE(dart.runUntil([&] { return answer.has_value(); }));
  EXPECT_EQ(*answer, WKNavigationActionPolicyCancel);
  EXPECT_EQ(received->size(), sent);
  registrar().setIgnoreCallsToDart(false);
}

TEST_F(WebViewDelegatesTest, ChallengesGetTheResponseOrACancelAndRemovedDelegatesSendNothing) {
  auto delegate = make<WKNavigationDelegate>("WKNavigationDelegate", kNavigationDelegate);
  auto credential = makeObject<NSURLCredential>(
      "user", "secret", NSURLCredentialPersistenceForSession);
  instances().registerDartObject(
      makeObject<AuthenticationChallengeResponse>(NSURLSessionAuthChallengeUseCredential,
                                                  credential),
      20);
  auto challenge = makeObject<NSURLAuthenticationChallenge>(
      makeObject<NSURLProtectionSpace>("example.com", 443, "https", "realm",
                                                   "NSURLAuthenticationMethodHTTPBasic"));
  auto ask = [&] {
    std::optional<std::pair<int64_t, std::shared_ptr<NSURLCredential>>> answer;
    delegate->didReceiveAuthenticationChallenge(
        webView, challenge, [&](auto disposition, auto given) { answer.emplace(disposition, given); });
    EXPECT_TRUE(dart.runUntil([&] { return answer.has_value(); }));
    return answer.value_or(std::make_pair(int64_t{-1}, nullptr));
  };
  answerDartCalls("WKNavigationDelegate.didReceiveAuthenticationChallenge", ValueList{ref(20)});
  EXPECT_EQ(ask(), std::make_pair(int64_t{0}, credential));
  answerDartCalls("WKNavigationDelegate.didReceiveAuthenticationChallenge", ValueList{Value()});
  EXPECT_EQ(ask(), std::make_pair(int64_t{2}, std::shared_ptr<NSURLCredential>()));

  size_t sent = received->size();
  send("PigeonInternalInstanceManager.removeStrongReference", {Value(kNavigationDelegate)});
  instances().clearAll();
  EXPECT_EQ(ask(), std::make_pair(int64_t{2}, std::shared_ptr<NSURLCredential>()));
  EXPECT_EQ(received->size(), sent);
}

TEST_F(WebViewDelegatesTest, UIRequestsMapCaptureTypesAndPanelsGetTheirFailureAnswers) {
  auto delegate = make<WKUIDelegate>("WKUIDelegate", kUIDelegate);
  EXPECT_EQ(send("NSViewWKWebView.setUIDelegate", {ref(kWebView), ref(kUIDelegate)}),
            ValueList{Value()});

  answerDartCalls("WKUIDelegate.requestMediaCapturePermission",
                  ValueList{enumerationValue(PermissionDecision::prompt)});
  std::vector<WKPermissionDecision> decisions;
  for (auto type : {WKMediaCaptureTypeMicrophone, static_cast<WKMediaCaptureType>(7)}) {
    WebViewControls::requestMediaCapturePermission(
        *webView, type, [&](WKPermissionDecision decision) { decisions.push_back(decision); });
  }
  ASSERT_TRUE(dart.runUntil([&] { return decisions.size() == 2; }));
  answerDartCalls("WKUIDelegate.requestMediaCapturePermission",
                  ValueList{Value("error"), Value(), Value()});
  WebViewControls::requestMediaCapturePermission(
      *webView, WKMediaCaptureTypeCamera, [&](WKPermissionDecision decision) { decisions.push_back(decision); });
  ASSERT_TRUE(dart.runUntil([&] { return decisions.size() == 3; }));
  EXPECT_EQ(decisions, (std::vector<WKPermissionDecision>{
                           WKPermissionDecisionPrompt, WKPermissionDecisionPrompt, WKPermissionDecisionDeny}));
  auto sentTypes = receivedOn("WKUIDelegate.requestMediaCapturePermission");
  EXPECT_EQ((*sentTypes[0].message.asList())[4], enumerationValue(MediaCaptureType::microphone));
  EXPECT_EQ((*sentTypes[1].message.asList())[4], enumerationValue(MediaCaptureType::unknown));

  answerDartCalls("WKUIDelegate.runJavaScriptConfirmPanel", ValueList{Value()});
  answerDartCalls("WKUIDelegate.runJavaScriptTextInputPanel", ValueList{Value()});
  answerDartCalls("WKUIDelegate.runJavaScriptAlertPanel", ValueList{Value("e"), Value(), Value()});
  std::optional<bool> confirmed;
  std::optional<std::optional<std::string>> text;
  bool alerted = false;
  WebViewControls::runJavaScriptConfirmPanel(*webView, "sure?", [&](bool yes) { confirmed = yes; });
  WebViewControls::runJavaScriptTextInputPanel(*webView, "name?", std::nullopt,
                                               [&](std::optional<std::string> reply) { text = reply; });
  WebViewControls::runJavaScriptAlertPanel(*webView, "hi", [&] { alerted = true; });
  ASSERT_TRUE(dart.runUntil([&] { return confirmed && text && alerted; }));
  EXPECT_EQ(*confirmed, false);
  EXPECT_EQ(*text, std::nullopt);
  EXPECT_EQ((*receivedOn("WKUIDelegate.runJavaScriptTextInputPanel")[0].message.asList())[3], Value());

  // A new window is never opened, even though the Dart side hears of it.
  answerDartCalls("WKUIDelegate.onCreateWebView");
  EXPECT_EQ(WebViewControls::requestNewWindow(*webView, action()->request()), nullptr);
  ASSERT_TRUE(dart.runUntil([&] { return !receivedOn("WKUIDelegate.onCreateWebView").empty(); }));
}

TEST_F(WebViewDelegatesTest, JavaScriptResultsOfEveryTypeAndErrors) {
  auto evaluate = [&](const std::string& script) {
    return send("NSViewWKWebView.evaluateJavaScript", {ref(kWebView), Value(script)});
  };
  EXPECT_EQ(evaluate("1 + 1"), ValueList{Value(int64_t{2})});
  EXPECT_EQ(evaluate("1.5"), ValueList{Value(1.5)});
  EXPECT_EQ(evaluate("'text'"), ValueList{Value("text")});
  EXPECT_EQ(evaluate("true"), ValueList{Value(true)});
  EXPECT_EQ(evaluate("undefined"), ValueList{Value()});
  EXPECT_EQ(evaluate("[1, 'a']"), ValueList{Value("(\n    1,\n    a\n)")});
  EXPECT_EQ(evaluate("null"), ValueList{Value("<null>")});
  for (const char* failing : {"throw new Error('boom')", "(function () {})", "syntax error("}) {
    auto reply = evaluate(failing);
    const auto* list = reply.asList();
    ASSERT_TRUE(list != nullptr && list->size() == 3) << failing;
    EXPECT_EQ((*list)[0], Value("HWVEvaluateJavaScriptError"));
    EXPECT_EQ((*list)[1], Value("Failed evaluating JavaScript."));
  }
  EXPECT_FALSE(receivedOn("NSError.pigeon_newInstance").empty());
}

TEST_F(WebViewDelegatesTest, VersionGatesAndOptionalTexts) {
  foundation::testing::setEmulatedOperatingSystemVersion({13, 2, 0});
  EXPECT_EQ(send("NSViewWKWebView.setInspectable", {ref(kWebView), Value(true)}),
            (ValueList{Value("HWVUnsupportedVersionError"),
                       Value("`WKWebView.inspectable` requires iOS 16.4, macOS 13.3."), Value()}));
  EXPECT_FALSE(webView->isInspectable());
  foundation::testing::setEmulatedOperatingSystemVersion({13, 3, 0});
  EXPECT_EQ(send("NSViewWKWebView.setInspectable", {ref(kWebView), Value(true)}), ValueList{Value()});
  EXPECT_TRUE(webView->isInspectable());

  EXPECT_EQ(send("NSViewWKWebView.getCustomUserAgent", {ref(kWebView)}), ValueList{Value()});
  send("NSViewWKWebView.setCustomUserAgent", {ref(kWebView), Value("agent")});
  EXPECT_EQ(send("NSViewWKWebView.getCustomUserAgent", {ref(kWebView)}), ValueList{Value("agent")});
  send("NSViewWKWebView.setCustomUserAgent", {ref(kWebView), Value()});
  EXPECT_EQ(send("NSViewWKWebView.getCustomUserAgent", {ref(kWebView)}), ValueList{Value()});

  auto missing = send("NSViewWKWebView.loadFlutterAsset", {ref(kWebView), Value("not a url")});
  ASSERT_TRUE(missing.asList() && missing.asList()->size() == 3);
  EXPECT_EQ((*missing.asList())[0], Value("HWVURLParsingError"));
  EXPECT_EQ(send("NSViewWKWebView.getUrl", {Value("not a web view")}).asList()->front(),
            Value("invalid-argument"));
}

TEST_F(WebViewDelegatesTest, ObservationsArriveOnTheMainThreadWithTheirOptionsAndChangeMaps) {
  make<NSObject>("NSObject", kObserver);
  answerDartCalls("NSObject.observeValue");
  EXPECT_EQ(send("NSObject.addObserver",
                 {ref(kWebView), ref(kObserver), Value("title"),
                  ValueList{enumerationValue(KeyValueObservingOptions::newValue),
                            enumerationValue(KeyValueObservingOptions::initialValue)}}),
            ValueList{Value()});
  ASSERT_TRUE(dart.runUntil([&] { return receivedOn("NSObject.observeValue").size() == 1; }));
  flutter::ValueMap initial;
  initial.set(enumerationValue(KeyValueChangeKey::kind), Value(int64_t{1}));
  initial.set(enumerationValue(KeyValueChangeKey::newValue), Value());
  EXPECT_EQ(receivedOn("NSObject.observeValue")[0].message,
            (ValueList{ref(kObserver), Value("title"), ref(kWebView), Value(initial)}));

  send("NSViewWKWebView.evaluateJavaScript", {ref(kWebView), Value("document.title = 'New'")});
  ASSERT_TRUE(dart.runUntil([&] { return receivedOn("NSObject.observeValue").size() == 2; }));
  flutter::ValueMap change;
  change.set(enumerationValue(KeyValueChangeKey::kind), Value(int64_t{1}));
  change.set(enumerationValue(KeyValueChangeKey::newValue), Value("New"));
  EXPECT_EQ(receivedOn("NSObject.observeValue")[1].message,
            (ValueList{ref(kObserver), Value("title"), ref(kWebView), Value(change)}));

  // Removing twice is harmless; no further change arrives.
  send("NSObject.removeObserver", {ref(kWebView), ref(kObserver), Value("title")});
  EXPECT_EQ(send("NSObject.removeObserver", {ref(kWebView), ref(kObserver), Value("title")}),
            ValueList{Value()});
  send("NSViewWKWebView.evaluateJavaScript", {ref(kWebView), Value("document.title = 'Later'")});
  dart.drain();
  EXPECT_EQ(receivedOn("NSObject.observeValue").size(), 2u);
}

TEST_F(WebViewDelegatesTest, UnknownAndPriorChangeKeysAreConverted) {
  auto map = convertKeyValueChange({{"notificationIsPrior", AnyValue(true)},
                                    {"somethingElse", AnyValue(int64_t{3})},
                                    {"old", AnyValue("before")}});
  EXPECT_EQ(map.size(), 3u);
  EXPECT_NE(map.find(enumerationValue(KeyValueChangeKey::notificationIsPrior)), nullptr);
  EXPECT_NE(map.find(enumerationValue(KeyValueChangeKey::unknown)), nullptr);
  EXPECT_EQ(*map.find(enumerationValue(KeyValueChangeKey::oldValue)), Value("before"));
}

}  // namespace
}  // namespace wkwebview_host::testing
