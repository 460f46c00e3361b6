// Configurations, preferences, user scripts and script-message handlers through their channels,
// with the version gates on both sides of macOS 11.0.
#include "platform/foundation/testing/foundation_controls.h"
#include "platform/webkit/webkit.h"
#include "plugins/wkwebview_host/tests/web_view_data_test_support.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"

namespace wkwebview_host::testing {
namespace {

using flutter::Value;
using flutter::ValueList;

class WebViewConfigurationTest : public WebViewDataTest {
 protected:
  WebViewConfigurationTest() {
    call("WKWebViewConfiguration", "pigeon_defaultConstructor", {id(1)});
    configuration = std::dynamic_pointer_cast<WKWebViewConfiguration>(instances().lookupObject(1));
  }
  ~WebViewConfigurationTest() override {
    foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
  }
  static Value unsupported(const std::string& method, const std::string& requirement) {
    return failure("HWVUnsupportedVersionError",
                   Value("`" + method + "` requires " + requirement + "."));
  }

  std::shared_ptr<WKWebViewConfiguration> configuration;
};

TEST_F(WebViewConfigurationTest, PartsAreSetAndReadBackAnnouncingNewOnes) {
  ASSERT_TRUE(configuration);
  EXPECT_EQ(call("WKWebViewConfiguration", "getPreferences", {ref(1)}), ok(ref(65536)));
  EXPECT_EQ(instances().lookupObject(65536), configuration->preferences());
  EXPECT_EQ(receivedOn("WKPreferences.pigeon_newInstance").size(), 1u);

  auto controller = makeObject<WKUserContentController>();
  auto store = WKWebsiteDataStore::nonPersistentDataStore();
  auto preferences = makeObject<WKPreferences>();
  instances().registerDartObject(controller, 2);
  instances().registerDartObject(store, 3);
  instances().registerDartObject(preferences, 4);
  EXPECT_EQ(call("WKWebViewConfiguration", "setUserContentController", {ref(1), ref(2)}), ok());
  EXPECT_EQ(call("WKWebViewConfiguration", "setWebsiteDataStore", {ref(1), ref(3)}), ok());
  EXPECT_EQ(call("WKWebViewConfiguration", "setPreferences", {ref(1), ref(4)}), ok());
  EXPECT_EQ(call("WKWebViewConfiguration", "getUserContentController", {ref(1)}), ok(ref(2)));
  EXPECT_EQ(call("WKWebViewConfiguration", "getWebsiteDataStore", {ref(1)}), ok(ref(3)));
  EXPECT_EQ(call("WKWebViewConfiguration", "getPreferences", {ref(1)}), ok(ref(4)));
  EXPECT_EQ(call("WKWebViewConfiguration", "getDefaultWebpagePreferences", {ref(1)}),
            ok(ref(65537)));
}

TEST_F(WebViewConfigurationTest, MediaTypesMapToTheirBitsAndInlinePlaybackIsIgnored) {
  auto set_types = [&](AudiovisualMediaType type) {
    EXPECT_EQ(call("WKWebViewConfiguration", "setMediaTypesRequiringUserActionForPlayback",
                   {ref(1), enumerationValue(type)}),
              ok());
    return static_cast<uint64_t>(configuration->mediaTypesRequiringUserActionForPlayback());
  };
  EXPECT_EQ(set_types(AudiovisualMediaType::none), 0u);
  EXPECT_EQ(set_types(AudiovisualMediaType::audio), 1u);
  EXPECT_EQ(set_types(AudiovisualMediaType::video), 2u);
  EXPECT_EQ(set_types(AudiovisualMediaType::all), UINT64_MAX);
  EXPECT_EQ(call("WKWebViewConfiguration", "setAllowsInlineMediaPlayback", {ref(1), Value(true)}),
            ok());
}

TEST_F(WebViewConfigurationTest, VersionGatesFrom11) {
  call("WKWebViewConfiguration", "getPreferences", {ref(1)});
  call("WKWebViewConfiguration", "getDefaultWebpagePreferences", {ref(1)});
  call("WKWebViewConfiguration", "getUserContentController", {ref(1)});
  const Value preferences = ref(65536), webpage = ref(65537), controller = ref(65538);

  foundation::testing::setEmulatedOperatingSystemVersion({11, 0, 0});
  EXPECT_EQ(call("WKPreferences", "setJavaScriptEnabled", {preferences, Value(false)}),
            unsupported("WKPreferences.javaScriptEnabled", "< iOS 14.0, macOS 11.0"));
  EXPECT_TRUE(configuration->preferences()->javaScriptEnabled());
  EXPECT_EQ(call("WKWebpagePreferences", "setAllowsContentJavaScript", {webpage, Value(false)}),
            ok());
  EXPECT_FALSE(configuration->defaultWebpagePreferences()->allowsContentJavaScript());
  EXPECT_EQ(call("WKWebViewConfiguration", "setLimitsNavigationsToAppBoundDomains",
                 {ref(1), Value(true)}),
            ok());
  EXPECT_TRUE(configuration->limitsNavigationsToAppBoundDomains());
  EXPECT_EQ(call("WKUserContentController", "removeAllScriptMessageHandlers", {controller}), ok());

  foundation::testing::setEmulatedOperatingSystemVersion({10, 15, 7});
  EXPECT_EQ(call("WKPreferences", "setJavaScriptEnabled", {preferences, Value(false)}), ok());
  EXPECT_FALSE(configuration->preferences()->javaScriptEnabled());
  EXPECT_EQ(call("WKWebpagePreferences", "setAllowsContentJavaScript", {webpage, Value(true)}),
            unsupported("WKWebpagePreferences.allowsContentJavaScript", "iOS 14.0, macOS 11.0"));
  EXPECT_EQ(call("WKWebViewConfiguration", "setLimitsNavigationsToAppBoundDomains",
                 {ref(1), Value(false)}),
            unsupported("WKWebViewConfiguration.limitsNavigationsToAppBoundDomains",
                        "iOS 14.0, macOS 11.0"));
  EXPECT_TRUE(configuration->limitsNavigationsToAppBoundDomains());
  EXPECT_EQ(call("WKUserContentController", "removeAllScriptMessageHandlers", {controller}),
            unsupported("WKUserContentController.removeAllScriptMessageHandlers",
                        "iOS 14.0, macOS 11.0"));
  EXPECT_EQ(
      call("WKPreferences", "setJavaScriptCanOpenWindowsAutomatically", {preferences, Value(true)}),
      ok());
  EXPECT_TRUE(configuration->preferences()->javaScriptCanOpenWindowsAutomatically());
}

TEST_F(WebViewConfigurationTest, UserScriptsAreMadeAddedAndRemoved) {
  EXPECT_EQ(call("WKUserScript", "pigeon_defaultConstructor",
                 {id(5), Value("document.title='t'"),
                  enumerationValue(UserScriptInjectionTime::atDocumentEnd), Value(true)}),
            ok());
  auto script = std::dynamic_pointer_cast<WKUserScript>(instances().lookupObject(5));
  ASSERT_TRUE(script);
  EXPECT_EQ(script->injectionTime(), WKUserScriptInjectionTimeAtDocumentEnd);
  EXPECT_TRUE(script->isForMainFrameOnly());

  EXPECT_EQ(
      call("WKUserScript", "pigeon_defaultConstructor",
           {id(6), Value("x"), enumerationValue(UserScriptInjectionTime::unknown), Value(false)}),
      failure("UnknownEnumError", Value("unknown doesn't represent a native value.")));
  EXPECT_FALSE(instances().lookupObject(6));

  auto controller = configuration->userContentController();
  instances().registerDartObject(controller, 7);
  EXPECT_EQ(call("WKUserContentController", "addUserScript", {ref(7), ref(5)}), ok());
  EXPECT_EQ(controller->userScripts(), (std::vector<std::shared_ptr<WKUserScript>>{script}));
  EXPECT_EQ(call("WKUserContentController", "removeAllUserScripts", {ref(7)}), ok());
  EXPECT_TRUE(controller->userScripts().empty());
}

class ScriptMessageHandlerTest : public WebViewConfigurationTest {
 protected:
  ScriptMessageHandlerTest() {
    call("WKScriptMessageHandler", "pigeon_defaultConstructor", {id(8)});
    instances().registerDartObject(controller, 9);
    call("WKUserContentController", "addScriptMessageHandler", {ref(9), ref(8), Value("bridge")});
    answerDartCalls("WKScriptMessageHandler.didReceiveScriptMessage");
  }
  void post(const std::string& body) {
    auto handler = controller->scriptMessageHandlerForName("bridge");
    ASSERT_TRUE(handler);
    handler->userContentController(controller, makeObject<WKScriptMessage>("bridge", body));
  }

  std::shared_ptr<WKUserContentController> controller = makeObject<WKUserContentController>();
};

TEST_F(ScriptMessageHandlerTest, MessagesReachTheDartSideOnALaterTurn) {
  post("hello");
  EXPECT_TRUE(receivedOn("WKScriptMessageHandler.didReceiveScriptMessage").empty());
  dart.runUntil(
      [&] { return !receivedOn("WKScriptMessageHandler.didReceiveScriptMessage").empty(); });
  auto messages = receivedOn("WKScriptMessageHandler.didReceiveScriptMessage");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, Value(ValueList{ref(8), ref(9), ref(65536)}));
  EXPECT_EQ(receivedOn("WKScriptMessage.pigeon_newInstance").size(), 1u);
}

TEST_F(ScriptMessageHandlerTest, FailuresAreOnlyLoggedAndSendNothing) {
  foundation::testing::setLogCapture(true);
  registrar().setIgnoreCallsToDart(true);
  post("ignored");
  dart.drain();
  registrar().setIgnoreCallsToDart(false);
  instances().clearAll();
  post("unknown handler");
  dart.drain();
  auto lines = foundation::testing::takeLogLines();
  foundation::testing::setLogCapture(false);
  EXPECT_TRUE(receivedOn("WKScriptMessageHandler.didReceiveScriptMessage").empty());
  std::string log;
  for (const auto& line : lines) log += line + "\n";
  EXPECT_NE(log.find("WKScriptMessageHandler.didReceiveScriptMessage: Optional(\"Calls to Dart "
                     "are being ignored.\")"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Callback to `WKScriptMessageHandler.didReceiveScriptMessage` failed because "
                     "native instance was not in the instance manager."),
            std::string::npos)
      << log;
}

TEST_F(ScriptMessageHandlerTest, HandlersAreAddedByNameAndRemoved) {
  call("WKScriptMessageHandler", "pigeon_defaultConstructor", {id(10)});
  auto first = controller->scriptMessageHandlerForName("bridge");
  // A second handler under a name in use is refused by the platform, without stopping anything.
  EXPECT_EQ(call("WKUserContentController", "addScriptMessageHandler",
                 {ref(9), ref(10), Value("bridge")}),
            ok());
  EXPECT_EQ(controller->scriptMessageHandlerForName("bridge"), first);
  EXPECT_EQ(
      call("WKUserContentController", "removeScriptMessageHandler", {ref(9), Value("bridge")}),
      ok());
  EXPECT_FALSE(controller->scriptMessageHandlerForName("bridge"));
}

}  // namespace
}  // namespace wkwebview_host::testing
