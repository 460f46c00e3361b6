// A web view made through the channels, with a navigation delegate that the Dart side answers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/webkit/testing/web_view_controls.h"
#include "platform/webkit/webkit.h"
#include "plugins/wkwebview_host/tests/web_view_data_test_support.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"

namespace wkwebview_host::testing {

class WebViewTest : public WebViewDataTest {
 protected:
  static constexpr int64_t kConfiguration = 1;
  static constexpr int64_t kWebView = 2;
  static constexpr int64_t kNavigationDelegate = 3;

  WebViewTest() {
    instances().registerDartObject(makeObject<WKWebViewConfiguration>(),
                                   kConfiguration);
    EXPECT_EQ(call("NSViewWKWebView", "pigeon_defaultConstructor",
                   {id(kWebView), ref(kConfiguration)}),
              ok());
    webView = std::dynamic_pointer_cast<WKWebView>(instances().lookupObject(kWebView));
  }
  ~WebViewTest() override { webkit::testing::removeAllServedResponses(); }

  // The reference to an object announced under `identifier`, as later messages hold it.
  static flutter::Value refTo(const flutter::Value& identifier) {
    return ref(identifier.asInteger().value_or(-1));
  }

  // "NSViewWKWebView.<operation>" on this test's web view.
  flutter::Value onWebView(const std::string& operation, flutter::ValueList arguments = {}) {
    arguments.insert(arguments.begin(), ref(kWebView));
    return call("NSViewWKWebView", operation, std::move(arguments));
  }

  // A navigation delegate whose Dart side allows every action and response and records the rest.
  void attachNavigationDelegate() {
    EXPECT_EQ(call("WKNavigationDelegate", "pigeon_defaultConstructor", {id(kNavigationDelegate)}),
              ok());
    answerPolicies(ok(enumerationValue(NavigationActionPolicy::allow)),
                   ok(enumerationValue(NavigationResponsePolicy::allow)));
    for (const char* notification :
         {"didStartProvisionalNavigation", "didFinishNavigation", "didFailNavigation",
          "didFailProvisionalNavigation", "webViewWebContentProcessDidTerminate"}) {
      answerDartCalls(std::string("WKNavigationDelegate.") + notification);
    }
    EXPECT_EQ(onWebView("setNavigationDelegate", {ref(kNavigationDelegate)}), ok());
  }
  void answerPolicies(std::optional<flutter::Value> action,
                      std::optional<flutter::Value> response) {
    answerDartCalls("WKNavigationDelegate.decidePolicyForNavigationAction", std::move(action));
    answerDartCalls("WKNavigationDelegate.decidePolicyForNavigationResponse", std::move(response));
  }

  // The delegate's calls to the Dart side so far, by operation name.
  std::vector<std::string> delegateCalls() const {
    const std::string prefix = "WKNavigationDelegate.";
    std::vector<std::string> names;
    for (const auto& message : *received) {
      if (message.channel.rfind(prefix, 0) == 0) names.push_back(message.channel.substr(prefix.size()));
    }
    return names;
  }
  // The message of the last call to "WKNavigationDelegate.<operation>".
  flutter::ValueList lastDelegateCall(const std::string& operation) const {
    auto messages = receivedOn("WKNavigationDelegate." + operation);
    if (messages.empty() || messages.back().message.asList() == nullptr) return {};
    return *messages.back().message.asList();
  }

  // Runs the main queue until the web view has no navigation left and nothing else is queued.
  // Runs until no navigation is left; the wait is only a hang guard, generous for a loaded
  // machine (a load's own budget counts CPU time, which such a machine stretches in wall time).
  bool settle() {
    bool done = dart.runUntil(
        [&] { return webkit::testing::WebViewControls::pendingNavigations(*webView) == 0; },
        std::chrono::seconds(60));
    dart.drain();
    return done;
  }

  std::shared_ptr<WKWebView> webView;
};

}  // namespace wkwebview_host::testing
