// Cookies, their store and the website data around them.
#include <gtest/gtest.h>

#include "platform/dispatch/dispatch.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/webkit/testing/website_data_controls.h"
#include "platform/webkit/webkit.h"

namespace {

using foundation::AnyValue;
using foundation::NSHTTPCookie;

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
  auto store = foundation::makeObject<WKHTTPCookieStore>();
  store->setCookie(
      NSHTTPCookie::cookieWithProperties({{"Name", "n"}, {"Value", "1"}, {"Domain", "A.test"}}),
      nullptr);
  store->setCookie(
      NSHTTPCookie::cookieWithProperties({{"Name", "n"}, {"Value", "2"}, {"Domain", "a.test"}}),
      nullptr);
  store->setCookie(NSHTTPCookie::cookieWithProperties(
                       {{"Name", "n"}, {"Value", "3"}, {"Domain", "a.test"}, {"Path", "/p"}}),
                   nullptr);
  std::optional<std::vector<std::shared_ptr<NSHTTPCookie>>> all;
  store->getAllCookies([&](auto cookies) { all = std::move(cookies); });
  EXPECT_FALSE(all);  // answered on a later turn
  dispatch::testing::runUntil([&] { return all.has_value(); });
  ASSERT_EQ(all->size(), 2u);
  EXPECT_EQ((*all)[0]->value(), "2");
  EXPECT_EQ((*all)[1]->value(), "3");
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
  auto controller = foundation::makeObject<WKUserContentController>();
  auto first = std::make_shared<Handler>();
  controller->addScriptMessageHandler(first, "bridge");
  controller->addScriptMessageHandler(std::make_shared<Handler>(), "bridge");
  EXPECT_EQ(controller->scriptMessageHandlerForName("bridge"), first);
  controller->removeScriptMessageHandlerForName("missing");
  controller->removeAllScriptMessageHandlers();
  EXPECT_TRUE(controller->scriptMessageHandlerNames().empty());
}

}  // namespace
