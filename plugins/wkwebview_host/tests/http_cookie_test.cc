// Cookies, cookie stores and website data through their channels.
#include <cmath>

#include "platform/foundation/ns_date.h"
#include "platform/webkit/testing/website_data_controls.h"
#include "platform/webkit/webkit.h"
#include "plugins/wkwebview_host/tests/web_view_data_test_support.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"

namespace wkwebview_host::testing {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;
using Key = HttpCookiePropertyKey;

Value key(Key k) { return enumerationValue(k); }

ValueMap sessionCookie() {
  return {{key(Key::name), Value("session")},
          {key(Key::value), Value("42")},
          {key(Key::domain), Value("a.test")}};
}

class HTTPCookieTest : public WebViewDataTest {};

TEST_F(HTTPCookieTest, CookiesKeepTheirPropertiesAndGainTheDefaultPath) {
  ASSERT_EQ(call("HTTPCookie", "pigeon_defaultConstructor", {id(1), Value(sessionCookie())}), ok());
  ValueMap expected = sessionCookie();
  expected.set(key(Key::path), Value("/"));
  EXPECT_EQ(call("HTTPCookie", "getProperties", {ref(1)}), ok(Value(expected)));
}

TEST_F(HTTPCookieTest, KeysOutsideTheTableCollapseIntoOneUnknownEntry) {
  instances().registerDartObject(
      makeObject<NSHTTPCookie>(AnyValue::Dictionary{
          {"Name", "n"}, {"Custom-A", "first"}, {"Custom-B", "second"}}),
      3);
  EXPECT_EQ(
      call("HTTPCookie", "getProperties", {ref(3)}),
      ok(Value(ValueMap{{key(Key::name), Value("n")}, {key(Key::unknown), Value("second")}})));
}

TEST_F(HTTPCookieTest, UnknownKeysAndRefusedPropertiesMakeNoCookie) {
  ValueMap with_unknown = sessionCookie();
  with_unknown.set(key(Key::unknown), Value("x"));
  EXPECT_EQ(call("HTTPCookie", "pigeon_defaultConstructor", {id(4), Value(with_unknown)}),
            failure("UnknownEnumError", Value("unknown doesn't represent a native value.")));
  EXPECT_FALSE(instances().lookupObject(4));

  ValueMap without_domain{{key(Key::name), Value("n")}, {key(Key::value), Value("v")}};
  EXPECT_EQ(call("HTTPCookie", "pigeon_defaultConstructor", {id(5), Value(without_domain)}),
            failure("ConstructorReturnedNullError",
                    Value("Failed to instantiate `NSHTTPCookie` with parameters: " +
                          Value(ValueMap{{Value("properties"),
                                          Value(ValueMap{{Value("Name"), Value("n")},
                                                         {Value("Value"), Value("v")}})}})
                              .debugString())));
  EXPECT_FALSE(instances().lookupObject(5));

  // An origin URL stands in for the domain; a name is always needed.
  ValueMap with_origin{{key(Key::name), Value("n")},
                       {key(Key::value), Value("")},
                       {key(Key::originUrl), Value("https://o.test/a")}};
  EXPECT_EQ(call("HTTPCookie", "pigeon_defaultConstructor", {id(6), Value(with_origin)}), ok());
  ValueMap without_name{{key(Key::value), Value("v")}, {key(Key::domain), Value("a.test")}};
  EXPECT_EQ(
      (*call("HTTPCookie", "pigeon_defaultConstructor", {id(7), Value(without_name)}).asList())[0],
      Value("ConstructorReturnedNullError"));
}

TEST_F(HTTPCookieTest, CookieStoresSetAndListCookies) {
  auto store = WKWebsiteDataStore::nonPersistentDataStore();
  instances().registerDartObject(store, 10);
  ASSERT_EQ(call("WKWebsiteDataStore", "httpCookieStore", {ref(10), id(11)}), ok());
  EXPECT_EQ(instances().lookupObject(11), store->httpCookieStore());

  call("HTTPCookie", "pigeon_defaultConstructor", {id(1), Value(sessionCookie())});
  EXPECT_EQ(call("WKHTTPCookieStore", "setCookie", {ref(11), ref(1)}), ok());
  EXPECT_EQ(call("WKHTTPCookieStore", "getAllCookies", {ref(11)}), ok(Value(ValueList{ref(1)})));

  // A cookie the Dart side has not seen is announced before the list.
  store->httpCookieStore()->setCookie(NSHTTPCookie::cookieWithProperties(
                                          {{"Name", "b"}, {"Value", "2"}, {"Domain", "b.test"}}),
                                      nullptr);
  EXPECT_EQ(call("WKHTTPCookieStore", "getAllCookies", {ref(11)}),
            ok(Value(ValueList{ref(1), ref(65536)})));
  EXPECT_EQ(receivedOn("HTTPCookie.pigeon_newInstance").size(), 1u);
}

TEST_F(HTTPCookieTest, SettingAnExpiredCookieDeletesTheStoredOne) {
  auto store = WKWebsiteDataStore::nonPersistentDataStore();
  instances().registerDartObject(store, 10);
  ASSERT_EQ(call("WKWebsiteDataStore", "httpCookieStore", {ref(10), id(11)}), ok());
  ASSERT_EQ(call("HTTPCookie", "pigeon_defaultConstructor", {id(1), Value(sessionCookie())}), ok());
  ASSERT_EQ(call("WKHTTPCookieStore", "setCookie", {ref(11), ref(1)}), ok());

  ValueMap expired = sessionCookie();
  expired.set(key(Key::expires), Value("Thu, 01 Jan 1970 00:00:00 GMT"));
  ASSERT_EQ(call("HTTPCookie", "pigeon_defaultConstructor", {id(2), Value(expired)}), ok());
  EXPECT_EQ(call("WKHTTPCookieStore", "setCookie", {ref(11), ref(2)}), ok());
  EXPECT_EQ(call("WKHTTPCookieStore", "getAllCookies", {ref(11)}), ok(Value(ValueList{})));
}

TEST_F(HTTPCookieTest, DefaultDataStoreIsTheProcessStore) {
  ASSERT_EQ(call("WKWebsiteDataStore", "defaultDataStore", {id(20)}), ok());
  EXPECT_EQ(instances().lookupObject(20), WKWebsiteDataStore::defaultDataStore());
}

class WebsiteDataRemovalTest : public WebViewDataTest {
 protected:
  WebsiteDataRemovalTest() { instances().registerDartObject(store, 30); }

  Value remove(ValueList types, double since) {
    return call("WKWebsiteDataStore", "removeDataOfTypes", {ref(30), Value(types), Value(since)});
  }

  std::shared_ptr<WKWebsiteDataStore> store = WKWebsiteDataStore::nonPersistentDataStore();
  double now = NSDate().timeIntervalSince1970();
};

TEST_F(WebsiteDataRemovalTest, AnswersWhetherDataOfTheTypesExistedAndRemovesByDate) {
  using webkit::testing::addWebsiteData;
  EXPECT_EQ(remove({enumerationValue(WebsiteDataType::localStorage)}, 0), ok(Value(false)));

  addWebsiteData(*store, WKWebsiteDataTypeLocalStorage, "old.test",
                 NSDate::dateWithTimeIntervalSince1970(now - 7200));
  addWebsiteData(*store, WKWebsiteDataTypeLocalStorage, "new.test", NSDate());
  addWebsiteData(*store, WKWebsiteDataTypeDiskCache, "new.test", NSDate());

  // Data that exists but is older than the date stays; the answer is still true.
  EXPECT_EQ(remove({enumerationValue(WebsiteDataType::localStorage),
                    enumerationValue(WebsiteDataType::localStorage)},
                   now - 3600),
            ok(Value(true)));
  auto left = webkit::testing::websiteData(*store);
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(left[0].site, "old.test");
  EXPECT_EQ(left[1].dataType, WKWebsiteDataTypeDiskCache);
}

TEST_F(WebsiteDataRemovalTest, CookiesAreWebsiteData) {
  store->httpCookieStore()->setCookie(NSHTTPCookie::cookieWithProperties(
                                          {{"Name", "a"}, {"Value", "1"}, {"Domain", ".a.test"}}),
                                      nullptr);
  EXPECT_EQ(remove({enumerationValue(WebsiteDataType::cookies)}, now - 60), ok(Value(true)));
  EXPECT_TRUE(store->httpCookieStore()->storedCookies().empty());
  EXPECT_EQ(remove({enumerationValue(WebsiteDataType::cookies)}, 0), ok(Value(false)));
}

TEST_F(WebsiteDataRemovalTest, BadTypesOrDatesAreRefused) {
  EXPECT_EQ((*remove({Value("cookies")}, 0).asList())[0], Value("invalid-argument"));
  EXPECT_EQ((*remove({}, std::nan("")).asList())[0], Value("invalid-argument"));
}

}  // namespace
}  // namespace wkwebview_host::testing
