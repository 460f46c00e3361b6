// What the page does, through the channels: script results of every kind and their errors, user
// scripts and the messages they post, and requests for new windows.
#include <gtest/gtest.h>

#include <ctime>

#include "platform/webkit/wk_error.h"
#include "plugins/wkwebview_host/tests/web_view_test_support.h"

namespace wkwebview_host::testing {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

class WebViewPageTest : public WebViewTest {
 protected:
  Value evaluate(const std::string& script) {
    return onWebView("evaluateJavaScript", {Value(script)});
  }
  // The fields of the error that the last failed evaluation carried as details.
  ValueList lastErrorFields() {
    auto errors = receivedOn("NSError.pigeon_newInstance");
    if (errors.empty()) return {};
    return *errors.back().message.asList();
  }
};

TEST_F(WebViewPageTest, NumbersStringsAndBooleansComeBackAsTheyAreAndTheRestAsDescriptions) {
  EXPECT_EQ(evaluate("Math.pow(2, 53)"), ok(Value(int64_t{9007199254740992})));
  EXPECT_EQ(evaluate("-2.5"), ok(Value(-2.5)));
  EXPECT_EQ(evaluate("'line\\nbreak \\u00e9'"), ok(Value("line\nbreak \xC3\xA9")));
  EXPECT_EQ(evaluate("1 > 2"), ok(Value(false)));
  EXPECT_EQ(evaluate("void 0"), ok());

  ::testing::internal::CaptureStdout();
  EXPECT_EQ(evaluate("({a: 1})"), ok(Value("{\n    a = 1;\n}")));
  EXPECT_EQ(evaluate("[[1], {b: null}]"),
            ok(Value("(\n    (\n        1\n    ),\n    {\n        b = <null>;\n    }\n)")));
  std::string printed = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(printed.find("\"Return type of evaluateJavaScript is not directly supported: "
                         "{\\n    a = 1;\\n}. Returned description of value.\"\n"),
            std::string::npos)
      << printed;
}

TEST_F(WebViewPageTest, ThrownErrorsAndUnsupportedResultsCarryWebKitsErrorAsDetails) {
  struct Case {
    const char* script;
    int64_t code;
  };
  for (const Case& test_case :
       {Case{"throw new RangeError('far')", WKErrorJavaScriptExceptionOccurred},
        Case{"undefinedName + 1", WKErrorJavaScriptExceptionOccurred},
        Case{"new Date(0)", WKErrorJavaScriptResultTypeIsUnsupported}}) {
    SCOPED_TRACE(test_case.script);
    auto reply = evaluate(test_case.script);
    auto fields = lastErrorFields();
    ASSERT_EQ(fields.size(), 4u);
    EXPECT_EQ(reply, failure("HWVEvaluateJavaScriptError", Value("Failed evaluating JavaScript."),
                             refTo(fields[0])));
    EXPECT_EQ(fields[1], Value(test_case.code));
    EXPECT_EQ(fields[2], Value("WKErrorDomain"));
  }
  auto unsupported = lastErrorFields();
  ASSERT_NE(unsupported.at(3).asMap(), nullptr);
  EXPECT_EQ(unsupported.at(3).asMap()->size(), 1u);
  evaluate("throw new RangeError('far')");
  auto thrown = lastErrorFields();
  const auto* user_info = thrown.at(3).asMap();
  ASSERT_NE(user_info, nullptr);
  ASSERT_NE(user_info->find(Value("WKJavaScriptExceptionMessage")), nullptr);
  EXPECT_EQ(*user_info->find(Value("WKJavaScriptExceptionMessage")), Value("RangeError: far"));
}

TEST_F(WebViewPageTest, UserScriptsPostMessagesThatArriveLaterWithTheirBodies) {
  constexpr int64_t kController = 30, kHandler = 31, kScript = 32;
  instances().registerDartObject(webView->configuration()->userContentController(), kController);
  ASSERT_EQ(call("WKScriptMessageHandler", "pigeon_defaultConstructor", {id(kHandler)}), ok());
  ASSERT_EQ(call("WKUserContentController", "addScriptMessageHandler",
                 {ref(kController), ref(kHandler), Value("bridge")}),
            ok());
  ASSERT_EQ(call("WKUserScript", "pigeon_defaultConstructor",
                 {id(kScript),
                  Value("window.webkit.messageHandlers.bridge.postMessage("
                        "{title: document.title, list: [1, 2.5, null, 'x']});"),
                  enumerationValue(UserScriptInjectionTime::atDocumentEnd), Value(true)}),
            ok());
  ASSERT_EQ(call("WKUserContentController", "addUserScript", {ref(kController), ref(kScript)}),
            ok());
  answerDartCalls("WKScriptMessageHandler.didReceiveScriptMessage");

  onWebView("loadHtmlString", {Value("<title>Page</title>"), Value()});
  ASSERT_TRUE(settle());
  auto delivered = receivedOn("WKScriptMessageHandler.didReceiveScriptMessage");
  ASSERT_EQ(delivered.size(), 1u);
  auto announced = receivedOn("WKScriptMessage.pigeon_newInstance");
  ASSERT_EQ(announced.size(), 1u);
  const auto& fields = *announced[0].message.asList();
  EXPECT_EQ(delivered[0].message, (ValueList{ref(kHandler), ref(kController), refTo(fields[0])}));
  ValueMap body{
      {Value("title"), Value("Page")},
      {Value("list"), Value(ValueList{Value(int64_t{1}), Value(2.5), Value(), Value("x")})}};
  EXPECT_EQ(fields[1], Value("bridge"));
  EXPECT_EQ(fields[2], Value(body)) << fields[2].debugString();
  EXPECT_EQ(evaluate("document.title"), ok(Value("Page")));

  // A script of the Dart side posts too; a name nobody registered is an error of the script.
  EXPECT_EQ(evaluate("window.webkit.messageHandlers.bridge.postMessage(true); 'posted'"),
            ok(Value("posted")));
  dart.drain();
  EXPECT_EQ(receivedOn("WKScriptMessageHandler.didReceiveScriptMessage").size(), 2u);
  EXPECT_EQ(evaluate("window.webkit.messageHandlers.other.postMessage(1)").asList()->size(), 3u);
  EXPECT_EQ(call("WKUserContentController", "removeScriptMessageHandler",
                 {ref(kController), Value("bridge")}),
            ok());
  EXPECT_EQ(evaluate("typeof window.webkit.messageHandlers.bridge"), ok(Value("undefined")));
}

TEST_F(WebViewPageTest, ScriptsThatFillTheHeapOrNeverEndFailOnlyTheirOwnCalls) {
  constexpr int64_t kController = 50, kHandler = 51;
  instances().registerDartObject(webView->configuration()->userContentController(), kController);
  ASSERT_EQ(call("WKScriptMessageHandler", "pigeon_defaultConstructor", {id(kHandler)}), ok());
  for (int i = 0; i < 10; ++i) {
    ASSERT_EQ(call("WKUserContentController", "addScriptMessageHandler",
                   {ref(kController), ref(kHandler), Value("handler" + std::to_string(i))}),
              ok());
  }
  webkit::testing::WebViewControls::setScriptTimeBudget(*webView, std::chrono::milliseconds(50));
  auto failsWithItsOwnError = [&](const std::string& script) {
    auto reply = evaluate(script);
    const auto* fields = reply.asList();
    return fields != nullptr && fields->size() == 3 &&
           fields->front() == Value("HWVEvaluateJavaScriptError");
  };
  EXPECT_TRUE(failsWithItsOwnError("while (true) {}"));
  webkit::testing::WebViewControls::setScriptTimeBudget(*webView, std::chrono::seconds(60));
  EXPECT_EQ(evaluate("'still here'"), ok(Value("still here")));

  EXPECT_TRUE(
      failsWithItsOwnError("var keep = []; for (var n = 1 << 24; n >= 1;) {"
                           "  try { keep.push(new Uint8Array(n)); } catch (e) { n = n >> 1; } }"
                           "keep.push(new Uint8Array(1 << 24));"));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(failsWithItsOwnError("1"));
  // Another web view has a page of its own.
  instances().registerDartObject(makeObject<WKWebViewConfiguration>(), 60);
  ASSERT_EQ(call("NSViewWKWebView", "pigeon_defaultConstructor", {id(61), ref(60)}), ok());
  EXPECT_EQ(call("NSViewWKWebView", "evaluateJavaScript", {ref(61), Value("6 * 7")}),
            ok(Value(int64_t{42})));
}

TEST_F(WebViewPageTest, NewWindowRequestsAreOnlyToldWithTheirConfigurationAndAction) {
  constexpr int64_t kUIDelegate = 40;
  ASSERT_EQ(call("WKUIDelegate", "pigeon_defaultConstructor", {id(kUIDelegate)}), ok());
  ASSERT_EQ(onWebView("setUIDelegate", {ref(kUIDelegate)}), ok());
  answerDartCalls("WKUIDelegate.onCreateWebView");
  URLRequest request;
  request.url = std::make_shared<NSURL>("https://popup.test/");
  EXPECT_EQ(webkit::testing::WebViewControls::requestNewWindow(*webView, request), nullptr);
  EXPECT_TRUE(receivedOn("WKUIDelegate.onCreateWebView").empty()) << "told inside the request";
  dart.drain();
  auto told = receivedOn("WKUIDelegate.onCreateWebView");
  ASSERT_EQ(told.size(), 1u);
  const auto& message = *told[0].message.asList();
  ASSERT_EQ(message.size(), 4u) << "the window features are never sent";
  EXPECT_EQ(ValueList(message.begin(), message.begin() + 2),
            (ValueList{ref(kUIDelegate), ref(kWebView)}));
  auto configurations = receivedOn("WKWebViewConfiguration.pigeon_newInstance");
  auto actions = receivedOn("WKNavigationAction.pigeon_newInstance");
  ASSERT_EQ(configurations.size(), 1u);
  ASSERT_EQ(actions.size(), 1u);
  EXPECT_EQ(message[2], refTo(configurations[0].message.asList()->front()));
  EXPECT_EQ(message[3], refTo(actions[0].message.asList()->front()));
  const auto& action = *actions[0].message.asList();
  EXPECT_EQ(action.back(), enumerationValue(NavigationType::linkActivated));
  EXPECT_EQ(call("URLRequest", "getUrl", {action[1]}), ok(Value("https://popup.test/")));
}

}  // namespace
}  // namespace wkwebview_host::testing

namespace wkwebview_host::testing {
namespace {

// Arrays nested `depth` deep around `count` numbers, as a page script builds them.
std::string nestedArrays(int depth, int count) {
  return "var a = []; for (var i = 0; i < " + std::to_string(count) +
         "; i++) a.push(i); for (var d = 1; d < " + std::to_string(depth) + "; d++) a = [a]; a";
}

TEST_F(WebViewPageTest, ADescriptionIsBuiltInLinearTimeAndItsDebugLineIsCut) {
  webkit::testing::WebViewControls::setScriptTimeBudget(*webView, std::chrono::seconds(60));
  ::testing::internal::CaptureStdout();
  // The host's own CPU time: a busy machine stretches the wall clock, not the work.
  const std::clock_t started = std::clock();
  // Waits long, only as a hang guard: a loaded machine stretches building 24 MB.
  auto reply = dart.sendMessage(channelName("NSViewWKWebView", "evaluateJavaScript"),
                                Value(ValueList{ref(kWebView), Value(nestedArrays(60, 100'000))}),
                                dartSideCodec(), std::chrono::minutes(2))
                   .value_or(Value("no reply"));
  const double took_seconds = double(std::clock() - started) / CLOCKS_PER_SEC;
  std::string printed = ::testing::internal::GetCapturedStdout();
  const auto* description = reply.asList() ? reply.asList()->at(0).asString() : nullptr;
  ASSERT_NE(description, nullptr);
  // 100,000 lines, each indented 60 levels deep.
  EXPECT_GT(description->size(), size_t{24'000'000});
  EXPECT_LT(took_seconds, 15.0);
  EXPECT_LT(printed.size(), size_t{2048});
  EXPECT_EQ(printed.rfind("\"Return type of evaluateJavaScript is not directly supported: (", 0),
            0u);
}

}  // namespace
}  // namespace wkwebview_host::testing
