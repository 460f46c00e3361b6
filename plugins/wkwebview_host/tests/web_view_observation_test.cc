// Key-value observation through the channels: option masks, change maps, what arrives as null,
// the thread the Dart side hears on, and failures that are only logged.
#include <gtest/gtest.h>

#include <thread>

#include "platform/foundation/testing/foundation_controls.h"
#include "plugins/wkwebview_host/ns_object_proxy_api_delegate.h"
#include "plugins/wkwebview_host/tests/web_view_test_support.h"

namespace wkwebview_host::testing {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

constexpr int64_t kObserver = 20;

Value key(KeyValueChangeKey changeKey) { return enumerationValue(changeKey); }
Value options(std::initializer_list<KeyValueObservingOptions> list) {
  ValueList values;
  for (auto option : list) values.push_back(enumerationValue(option));
  return Value(values);
}
// A change map with the kind "setting" first, as the platform builds it.
Value change(std::initializer_list<std::pair<KeyValueChangeKey, Value>> entries) {
  ValueMap map;
  map.set(key(KeyValueChangeKey::kind), Value(int64_t{1}));
  for (const auto& [change_key, value] : entries) map.set(key(change_key), value);
  return Value(map);
}

class WebViewObservationTest : public WebViewTest {
 protected:
  WebViewObservationTest() {
    EXPECT_EQ(call("NSObject", "pigeon_defaultConstructor", {id(kObserver)}), ok());
    observer = instances().lookupObject(kObserver);
    answerDartCalls("NSObject.observeValue");
  }
  Value observe(int64_t observed, int64_t by, const std::string& keyPath, Value optionList) {
    return call("NSObject", "addObserver", {ref(observed), ref(by), Value(keyPath), optionList});
  }
  void setTitle(const std::string& title) {
    EXPECT_NE(onWebView("evaluateJavaScript", {Value("document.title = '" + title + "'")}),
              Value("no reply"));
    dart.drain();
  }
  // The change maps that reached the Dart side, in order.
  std::vector<Value> changes() const {
    std::vector<Value> maps;
    for (const auto& message : receivedOn("NSObject.observeValue")) {
      maps.push_back(message.message.asList()->at(3));
    }
    return maps;
  }

  std::shared_ptr<NSObject> observer;
};

TEST_F(WebViewObservationTest, OptionListsBecomeMasksFromNoneToAllFour) {
  using enum KeyValueObservingOptions;
  EXPECT_EQ(observingOptionsMask({}), 0u);
  EXPECT_EQ(observingOptionsMask({newValue, newValue}), 1u);
  EXPECT_EQ(observingOptionsMask({oldValue, priorNotification}), 10u);
  EXPECT_EQ(observingOptionsMask({newValue, oldValue, initialValue, priorNotification}), 15u);

  // No options: only the kind arrives.
  EXPECT_EQ(observe(kWebView, kObserver, "title", options({})), ok());
  setTitle("One");
  EXPECT_EQ(changes(), std::vector<Value>{change({})});
  call("NSObject", "removeObserver", {ref(kWebView), ref(kObserver), Value("title")});

  // All four: the initial value at once, then a prior notice and the change itself.
  received->clear();
  EXPECT_EQ(observe(kWebView, kObserver, "title",
                    options({newValue, oldValue, initialValue, priorNotification})),
            ok());
  dart.drain();
  setTitle("Two");
  EXPECT_EQ(changes(),
            (std::vector<Value>{
                change({{KeyValueChangeKey::newValue, Value("One")}}),
                change({{KeyValueChangeKey::notificationIsPrior, Value(true)},
                        {KeyValueChangeKey::oldValue, Value("One")}}),
                change({{KeyValueChangeKey::newValue, Value("Two")},
                        {KeyValueChangeKey::oldValue, Value("One")}}),
            }));
  for (const auto& message : receivedOn("NSObject.observeValue")) {
    EXPECT_EQ(ValueList(message.message.asList()->begin(), message.message.asList()->begin() + 3),
              (ValueList{ref(kObserver), Value("title"), ref(kWebView)}));
  }
}

TEST_F(WebViewObservationTest, ALoadChangesEachObservablePropertyWithValuesTheDartSideCanUse) {
  attachNavigationDelegate();
  for (const char* path : {"URL", "estimatedProgress", "loading", "canGoBack"}) {
    EXPECT_EQ(observe(kWebView, kObserver, path, options({KeyValueObservingOptions::newValue})),
              ok());
  }
  onWebView("loadHtmlString", {Value("<title>A</title>"), Value("https://a.test/")});
  ASSERT_TRUE(settle());
  onWebView("loadHtmlString", {Value("<title>B</title>"), Value("https://b.test/")});
  ASSERT_TRUE(settle());

  std::map<std::string, std::vector<Value>> values;
  for (const auto& message : receivedOn("NSObject.observeValue")) {
    const auto& list = *message.message.asList();
    values[*list[1].asString()].push_back(*list[3].asMap()->find(key(KeyValueChangeKey::newValue)));
  }
  EXPECT_EQ(values["estimatedProgress"],
            (std::vector<Value>{Value(0.1), Value(0.5), Value(1.0), Value(0.1), Value(0.5),
                                Value(1.0)}));
  EXPECT_EQ(values["loading"],
            (std::vector<Value>{Value(true), Value(false), Value(true), Value(false)}));
  EXPECT_EQ(values["canGoBack"], (std::vector<Value>{Value(false), Value(true)}));
  // URLs travel as URL objects, announced first, which the Dart side can read.
  ASSERT_FALSE(values["URL"].empty());
  EXPECT_FALSE(receivedOn("URL.pigeon_newInstance").empty());
  EXPECT_EQ(call("URL", "getAbsoluteString", {values["URL"].back()}), ok(Value("https://b.test/")));
}

TEST_F(WebViewObservationTest, MissingPartsAndObjectsOutsideTheRuntimeArriveAsNull) {
  observer->observeValueForKeyPath(std::nullopt, nullptr, std::nullopt, nullptr);
  observer->observeValueForKeyPath("path", nullptr, AnyValue::Dictionary{}, nullptr);
  // An object the Dart side has never seen is announced before the call.
  auto preferences = makeObject<WKPreferences>();
  observer->observeValueForKeyPath(
      "odd", preferences,
      AnyValue::Dictionary{{"kind", int64_t{2}},
                                       {"indexes", AnyValue::Array{int64_t{4}}},
                                       {"custom", "x"}},
      nullptr);
  EXPECT_TRUE(receivedOn("NSObject.observeValue").empty()) << "sent inside the callback";
  dart.drain();
  auto messages = receivedOn("NSObject.observeValue");
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].message, (ValueList{ref(kObserver), Value(), Value(), Value()}));
  EXPECT_EQ(messages[1].message, (ValueList{ref(kObserver), Value("path"), Value(), Value(ValueMap{})}));
  ValueMap odd;
  odd.set(key(KeyValueChangeKey::kind), Value(int64_t{2}));
  odd.set(key(KeyValueChangeKey::indexes), Value(ValueList{Value(int64_t{4})}));
  odd.set(key(KeyValueChangeKey::unknown), Value("x"));
  auto announced = receivedOn("WKPreferences.pigeon_newInstance");
  ASSERT_EQ(announced.size(), 1u);
  EXPECT_EQ(messages[2].message,
            (ValueList{ref(kObserver), Value("odd"), refTo(announced[0].message.asList()->front()),
                       Value(odd)}));
}

TEST_F(WebViewObservationTest, AWebViewObservingItselfIsBothObserverAndObject) {
  EXPECT_EQ(observe(kWebView, kWebView, "title", options({KeyValueObservingOptions::newValue})),
            ok());
  setTitle("Self");
  EXPECT_EQ(receivedOn("NSObject.observeValue").at(0).message,
            (ValueList{ref(kWebView), Value("title"), ref(kWebView),
                       change({{KeyValueChangeKey::newValue, Value("Self")}})}));
}

TEST_F(WebViewObservationTest, ChangesOnOtherThreadsReachTheDartSideOnTheMainThread) {
  std::vector<std::thread::id> heard_on;
  dart.setMessageHandler(
      std::string(kChannelPrefix) + "NSObject.observeValue",
      [&](const Value&) -> std::optional<Value> {
        heard_on.push_back(std::this_thread::get_id());
        return ValueList{};
      },
      dartSideCodec());
  std::thread([&] {
    for (int i = 0; i < 3; ++i) {
      observer->observeValueForKeyPath("k", nullptr,
                                       AnyValue::Dictionary{{"new", int64_t{i}}}, nullptr);
    }
  }).join();
  ASSERT_TRUE(dart.runUntil([&] { return heard_on.size() == 3; }));
  for (auto thread : heard_on) EXPECT_EQ(thread, std::this_thread::get_id());
}

TEST_F(WebViewObservationTest, IgnoredCallsAndForgottenObserversAreLoggedOncePerChange) {
  EXPECT_EQ(observe(kWebView, kObserver, "title", options({KeyValueObservingOptions::newValue})),
            ok());
  foundation::testing::setLogCapture(true);
  registrar().setIgnoreCallsToDart(true);
  setTitle("Ignored");
  setTitle("Again");
  registrar().setIgnoreCallsToDart(false);
  auto ignored = foundation::testing::takeLogLines();
  auto strong_observer = observer;
  instances().clearAll();
  observer->observeValueForKeyPath("title", webView, AnyValue::Dictionary{}, nullptr);
  dart.drain();
  auto missing = foundation::testing::takeLogLines();
  foundation::testing::setLogCapture(false);

  EXPECT_TRUE(receivedOn("NSObject.observeValue").empty());
  auto count = [](const std::vector<std::string>& lines, const std::string& text) {
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.find(text) != std::string::npos;
    });
  };
  EXPECT_EQ(count(ignored, "Error returned from calling NSObject.observeValue: "
                           "Optional(\"Calls to Dart are being ignored.\")"),
            2);
  EXPECT_EQ(count(missing, "Callback to `NSObject.observeValue` failed because native instance "
                           "was not in the instance manager."),
            1);
  // The observation stays in place.
  webView->removeObserver(*strong_observer, "title");
}

}  // namespace
}  // namespace wkwebview_host::testing
