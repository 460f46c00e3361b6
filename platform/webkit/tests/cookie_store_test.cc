// Cookies, their store and the website data around them.
#include <gtest/gtest.h>

#include "platform/dispatch/dispatch.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/webkit/internal/cookie_date.h"
#include "platform/webkit/testing/website_data_controls.h"
#include "platform/webkit/webkit.h"

namespace {

TEST(CookieTest, PropertiesNeedANameAValueAndADomainOrOrigin) {
  EXPECT_FALSE(NSHTTPCookie::cookieWithProperties({{"Value", "v"}, {"Domain", "a.test"}}));
  EXPECT_FALSE(NSHTTPCookie::cookieWithProperties({{"Name", "n"}, {"Domain", "a.test"}}));
  EXPECT_FALSE(NSHTTPCookie::cookieWithProperties({{"Name", "n"}, {"Value", "v"}}));
  EXPECT_FALSE(NSHTTPCookie::cookieWithProperties(
      {{"Name", "n"}, {"Value", "v"}, {"OriginURL", "not a url"}}));
  EXPECT_FALSE(NSHTTPCookie::cookieWithProperties(
      {{"Name", int64_t{3}}, {"Value", "v"}, {"Domain", "a.test"}}));

  auto cookie = NSHTTPCookie::cookieWithProperties(
      {{"Name", "n"}, {"Value", "v"}, {"OriginURL", "https://o.test/x"}});
  ASSERT_TRUE(cookie);
  EXPECT_EQ(cookie->domain(), "o.test");
  EXPECT_EQ(cookie->path(), "/");
}

TEST(CookieTest, StoresReplaceCookiesOfTheSameNameDomainAndPath) {
  auto store = makeObject<WKHTTPCookieStore>();
  store->setCookie(
      NSHTTPCookie::cookieWithProperties({{"Name", "n"}, {"Value", "1"}, {"Domain", "A.test"}}),
      nullptr);
  store->setCookie(
      NSHTTPCookie::cookieWithProperties({{"Name", "n"}, {"Value", "2"}, {"Domain", "a.test"}}),
      nullptr);
  store->setCookie(NSHTTPCookie::cookieWithProperties(
                       {{"Name", "n"}, {"Value", "3"}, {"Domain", "a.test"}, {"Path", "/p"}}),
                   nullptr);
  // A domain that only starts like another is another domain.
  store->setCookie(NSHTTPCookie::cookieWithProperties(
                       {{"Name", "n"}, {"Value", "4"}, {"Domain", std::string("a.test\0x", 8)}}),
                   nullptr);
  std::optional<std::vector<std::shared_ptr<NSHTTPCookie>>> all;
  store->getAllCookies([&](auto cookies) { all = std::move(cookies); });
  EXPECT_FALSE(all);  // answered on a later turn
  dispatch::testing::runUntil([&] { return all.has_value(); });
  ASSERT_EQ(all->size(), 3u);
  EXPECT_EQ((*all)[0]->value(), "2");
  EXPECT_EQ((*all)[1]->value(), "3");
  EXPECT_EQ((*all)[2]->value(), "4");
}

std::vector<std::shared_ptr<NSHTTPCookie>> allCookies(WKHTTPCookieStore& store) {
  std::optional<std::vector<std::shared_ptr<NSHTTPCookie>>> all;
  store.getAllCookies([&](auto cookies) { all = std::move(cookies); });
  EXPECT_TRUE(dispatch::testing::runUntil([&] { return all.has_value(); }));
  return all.value_or(std::vector<std::shared_ptr<NSHTTPCookie>>{});
}

std::shared_ptr<NSHTTPCookie> cookie(const std::string& name, AnyValue::Dictionary more = {}) {
  AnyValue::Dictionary properties{{"Name", name}, {"Value", "v"}, {"Domain", "a.test"}};
  properties.insert(properties.end(), more.begin(), more.end());
  return NSHTTPCookie::cookieWithProperties(std::move(properties));
}

TEST(CookieTest, ExpiresDatesReadInEveryFormServersSendAndRefuseImpossibleDates) {
  for (const char* text : {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
                           "Sun Nov  6 08:49:37 1994", "sun, 6-nov-1994 08:49:37"}) {
    auto date = webkit::parseCookieDate(text);
    ASSERT_TRUE(date) << text;
    EXPECT_EQ(date->timeIntervalSince1970(), 784111777.0) << text;
  }
  EXPECT_EQ(webkit::parseCookieDate("Thu, 29 Feb 2024 00:00:00 GMT")->timeIntervalSince1970(),
            1709164800.0);
  EXPECT_EQ(webkit::parseCookieDate("01 Jan 69 00:00:00")->timeIntervalSince1970(), 3124224000.0);
  for (const char* text : {"", "tomorrow", "Fri, 29 Feb 2023 00:00:00 GMT",
                           "Sun, 06 Nov 1600 08:49:37 GMT", "Sun, 06 Nov 1994 24:00:00 GMT",
                           "Sun, 06 Nov 1994 08:49 GMT", "Sun, 32 Nov 1994 08:49:37 GMT"}) {
    EXPECT_FALSE(webkit::parseCookieDate(text)) << text;
  }
}

TEST(CookieTest, ExpiredCookiesAreNeverStoredAndRemoveTheCookieTheyMatch) {
  const AnyValue::Dictionary expired[] = {
      {{"Max-Age", "0"}},
      {{"Max-Age", "-1"}},
      {{"Max-Age", int64_t{0}}},
      {{"Expires", "Thu, 01 Jan 1970 00:00:00 GMT"}},
      {{"Expires", "Sunday, 06-Nov-94 08:49:37 GMT"}},
      {{"Expires", "Sun Nov  6 08:49:37 1994"}},
      {{"Expires", "Wed, 21-Oct-2015 07:28:00 GMT"}},
      // Max-Age wins over Expires, either way round.
      {{"Expires", "Wed, 21 Oct 2099 07:28:00 GMT"}, {"Max-Age", "0"}},
  };
  auto store = makeObject<WKHTTPCookieStore>();
  for (const auto& properties : expired) {
    store->setCookie(cookie("n"), nullptr);
    store->setCookie(cookie("n", properties), nullptr);
    store->setCookie(cookie("fresh", properties), nullptr);
    EXPECT_TRUE(allCookies(*store).empty()) << properties.front().first;
    EXPECT_TRUE(store->storedCookies().empty()) << properties.front().first;
  }
  const AnyValue::Dictionary live[] = {
      {{"Max-Age", "3600"}},
      {{"Expires", "Wed, 21 Oct 2099 07:28:00 GMT"}},
      {{"Expires", "Thu, 01 Jan 1970 00:00:00 GMT"}, {"Max-Age", "3600"}},
      // A date that cannot be read leaves a cookie for the session.
      {{"Expires", "tomorrow"}},
  };
  for (const auto& properties : live) {
    store->setCookie(cookie("n", properties), nullptr);
    EXPECT_EQ(allCookies(*store).size(), 1u) << properties.front().first;
  }
}

TEST(CookieTest, StoresKeepCookiesOfTheSizesAndNumbersBrowsersKeep) {
  auto store = makeObject<WKHTTPCookieStore>();
  auto set = [&](AnyValue::Dictionary properties) {
    store->setCookie(NSHTTPCookie::cookieWithProperties(std::move(properties)), nullptr);
  };
  // Past the sizes browsers keep, a cookie is not stored.
  set({{"Name", "n"}, {"Value", std::string(4096, 'v')}, {"Domain", "a.test"}});
  set({{"Name", "n"}, {"Value", "v"}, {"Domain", std::string(1025, 'a')}});
  set({{"Name", "n"}, {"Value", "v"}, {"Domain", "a.test"}, {"Path", std::string(1025, '/')}});
  set({{"Name", "n"}, {"Value", "v"}, {"Domain", "a.test"}, {"Port", std::string(2000, '8')}});
  set({{"Name", "n"}, {"Value", "v"}, {"Domain", "a.test"}, {"Expires", std::string(1025, 'x')}});
  EXPECT_TRUE(store->storedCookies().empty());
  set({{"Name", "n"}, {"Value", std::string(4095, 'v')}, {"Domain", "a.test"}});
  EXPECT_EQ(store->storedCookies().size(), 1u);

  // A domain keeps its 180 latest cookies, whatever the case of its name or a leading dot.
  for (int i = 0; i < 200; ++i) {
    set({{"Name", "c" + std::to_string(i)},
         {"Value", "v"},
         {"Domain", i % 2 ? "D.test" : ".d.test"}});
  }
  auto stored = store->storedCookies();
  ASSERT_EQ(stored.size(), 181u);
  EXPECT_EQ(stored[1].cookie->name(), "c20");
  EXPECT_EQ(stored.back().cookie->name(), "c199");

  // The store keeps its 3,000 latest in all.
  for (int i = 0; i < 3100; ++i) {
    set({{"Name", "e" + std::to_string(i)},
         {"Value", "v"},
         {"Domain", "e" + std::to_string(i % 20) + ".test"}});
  }
  stored = store->storedCookies();
  ASSERT_EQ(stored.size(), 3000u);
  EXPECT_EQ(stored.front().cookie->name(), "e100");
  EXPECT_EQ(stored.back().cookie->name(), "e3099");
}

TEST(WebsiteDataTest, RecordsGroupTypesBySiteAndRemovalHonoursTheDate) {
  auto store = WKWebsiteDataStore::nonPersistentDataStore();
  webkit::testing::addWebsiteData(*store, WKWebsiteDataTypeLocalStorage, "a.test",
                                  NSDate::dateWithTimeIntervalSince1970(100));
  webkit::testing::addWebsiteData(*store, WKWebsiteDataTypeDiskCache, "a.test",
                                  NSDate::dateWithTimeIntervalSince1970(200));
  store->httpCookieStore()->setCookie(
      NSHTTPCookie::cookieWithProperties({{"Name", "n"}, {"Value", "v"}, {"Domain", ".b.test"}}),
      nullptr);

  std::vector<std::shared_ptr<WKWebsiteDataRecord>> records;
  bool fetched = false;
  store->fetchDataRecordsOfTypes(
      {WKWebsiteDataTypeLocalStorage, WKWebsiteDataTypeDiskCache, WKWebsiteDataTypeCookies},
      [&](auto found) {
        records = std::move(found);
        fetched = true;
      });
  dispatch::testing::runUntil([&] { return fetched; });
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0]->displayName(), "a.test");
  EXPECT_EQ(records[0]->dataTypes().size(), 2u);
  EXPECT_EQ(records[1]->displayName(), "b.test");

  bool removed = false;
  store->removeDataOfTypes({WKWebsiteDataTypeLocalStorage, WKWebsiteDataTypeDiskCache},
                           NSDate::dateWithTimeIntervalSince1970(150), [&] { removed = true; });
  dispatch::testing::runUntil([&] { return removed; });
  auto left = webkit::testing::websiteData(*store);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].dataType, WKWebsiteDataTypeLocalStorage);
  EXPECT_EQ(store->httpCookieStore()->storedCookies().size(), 1u);
}

TEST(UserContentTest, DuplicateHandlerNamesKeepTheFirstHandler) {
  struct Handler : WKScriptMessageHandler {
    void userContentController(const std::shared_ptr<WKUserContentController>&,
                               const std::shared_ptr<WKScriptMessage>&) override {}
  };
  auto controller = makeObject<WKUserContentController>();
  auto first = std::make_shared<Handler>();
  controller->addScriptMessageHandler(first, "bridge");
  controller->addScriptMessageHandler(std::make_shared<Handler>(), "bridge");
  EXPECT_EQ(controller->scriptMessageHandlerForName("bridge"), first);
  controller->removeScriptMessageHandlerForName("missing");
  controller->removeAllScriptMessageHandlers();
  EXPECT_TRUE(controller->scriptMessageHandlerNames().empty());
}

}  // namespace
