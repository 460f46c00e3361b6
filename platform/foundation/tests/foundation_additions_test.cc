// Binary property lists, URLs, key-value observing, dates and the user's directories.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <ctime>
#include <filesystem>
#include <limits>

#include "platform/foundation/binary_property_list.h"
#include "platform/foundation/foundation.h"
#include "platform/foundation/testing/foundation_controls.h"

namespace {

TEST(BinaryPropertyListTest, RoundTripsEveryTypeExactly) {
  PropertyList::Array many;
  for (int i = 0; i < 300; ++i) many.emplace_back(int64_t{i} * 1000);
  PropertyList plist(PropertyList::Dictionary{
      {"zero", PropertyList(std::string("a\0b", 3))},
      {"unicode", PropertyList("h\xC3\xA9llo \xF0\x9F\x98\x80")},
      {"min", PropertyList(std::numeric_limits<int64_t>::min())},
      {"max", PropertyList(std::numeric_limits<int64_t>::max())},
      {"inf", PropertyList(-std::numeric_limits<double>::infinity())},
      {"flag", PropertyList(false)},
      {"data", PropertyList(PropertyListData(40, 7))},
      {"date", PropertyList(PropertyListDate{123.456})},
      {"many", PropertyList(many)},
      {std::string(20, 'k'), PropertyList(PropertyList::Dictionary{})},
  });
  auto bytes = plist.serialize(PropertyList::Format::binary);
  ASSERT_TRUE(foundation::isBinaryPropertyList(bytes));
  auto parsed = PropertyList::parse(bytes);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(*parsed, plist);
  auto nan = PropertyList::parse(PropertyList(std::nan("")).serialize(PropertyList::Format::binary));
  EXPECT_TRUE(std::isnan(*nan->getIf<double>()));
}

TEST(BinaryPropertyListTest, HostileInputIsRefused) {
  auto good = PropertyList(PropertyList::Array{PropertyList("x"), PropertyList(int64_t{1})})
                  .serialize(PropertyList::Format::binary);
  for (size_t cut = 0; cut < good.size(); ++cut) {
    EXPECT_FALSE(PropertyList::parse(std::span(good.data(), cut)).has_value()) << cut;
  }
  // An array that holds itself.
  std::vector<uint8_t> cycle = {'b', 'p', 'l', 'i', 's', 't', '0', '0', 0xA1, 0x00, 8};
  std::vector<uint8_t> trailer(32, 0);
  trailer[6] = 1;
  trailer[7] = 1;
  trailer[15] = 1;
  trailer[31] = 10;
  cycle.insert(cycle.end(), trailer.begin(), trailer.end());
  EXPECT_FALSE(PropertyList::parse(cycle).has_value());
  // Offsets and counts that point outside the file.
  for (size_t at : {size_t{6}, size_t{7}, size_t{15}, size_t{31}}) {
    auto broken = good;
    broken[broken.size() - 32 + at] = 0xFF;
    EXPECT_FALSE(PropertyList::parse(broken).has_value()) << at;
  }
}

// A binary property list of the given objects (each its marker and body; references one byte),
// the first object its top.
std::vector<uint8_t> binaryPropertyList(const std::vector<std::vector<uint8_t>>& objects) {
  std::vector<uint8_t> bytes = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
  std::vector<uint32_t> offsets;
  for (const auto& object : objects) {
    offsets.push_back(static_cast<uint32_t>(bytes.size()));
    bytes.insert(bytes.end(), object.begin(), object.end());
  }
  const uint32_t table = static_cast<uint32_t>(bytes.size());
  for (uint32_t offset : offsets) {
    for (int shift = 24; shift >= 0; shift -= 8)
      bytes.push_back(static_cast<uint8_t>(offset >> shift));
  }
  std::vector<uint8_t> trailer(32, 0);
  trailer[6] = 4;
  trailer[7] = 1;
  trailer[15] = static_cast<uint8_t>(objects.size());
  for (int i = 0; i < 4; ++i) trailer[28 + i] = static_cast<uint8_t>(table >> (24 - 8 * i));
  bytes.insert(bytes.end(), trailer.begin(), trailer.end());
  return bytes;
}

// An array of `count` references (fewer than 15) to `child`.
std::vector<uint8_t> arrayOf(uint8_t child, size_t count) {
  std::vector<uint8_t> array = {static_cast<uint8_t>(0xA0 | count)};
  array.insert(array.end(), count, child);
  return array;
}

TEST(BinaryPropertyListTest, WhatAReadBuildsIsBoundedByTheFileSize) {
  // Arrays that share their children: a few hundred bytes that would expand to millions of
  // values are refused at once, however deep or wide.
  for (auto [depth, width] : {std::pair{20, 2}, std::pair{40, 14}}) {
    std::vector<std::vector<uint8_t>> objects;
    for (int level = 0; level < depth; ++level) {
      objects.push_back(arrayOf(static_cast<uint8_t>(level + 1), width));
    }
    objects.push_back({0x51, 'x'});
    // CPU time, not the wall clock: the machine may be busy.
    const std::clock_t started = std::clock();
    EXPECT_FALSE(PropertyList::parse(binaryPropertyList(objects)).has_value()) << depth;
    EXPECT_LT(std::clock() - started, CLOCKS_PER_SEC) << depth;
  }
  // The platform's writer shares equal strings and numbers: such a file still reads.
  std::vector<uint8_t> shared = {0xAF, 0x10, 200};
  shared.insert(shared.end(), 200, 1);
  auto parsed = PropertyList::parse(
      binaryPropertyList({shared, {0x5A, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j'}}));
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->getIf<PropertyList::Array>()->size(), 200u);
}

TEST(URLTest, ParsesComponentsAndResolvesReferences) {
  auto url = NSURL::URLWithString("https://user:pw@example.com:8443/a%20b/c.txt?q=1&r=%41#frag");
  ASSERT_TRUE(url.has_value());
  EXPECT_EQ(url->scheme(), "https");
  EXPECT_EQ(url->user(), "user");
  EXPECT_EQ(url->password(), "pw");
  EXPECT_EQ(url->host(), "example.com");
  EXPECT_EQ(url->port(), 8443);
  EXPECT_EQ(url->path(), "/a b/c.txt");
  EXPECT_EQ(url->query(), "q=1&r=%41");
  EXPECT_EQ(url->fragment(), "frag");
  EXPECT_EQ(url->lastPathComponent(), "c.txt");
  EXPECT_EQ(url->pathExtension(), "txt");
  EXPECT_FALSE(url->isFileURL());
  EXPECT_FALSE(NSURL::URLWithString("not a url").has_value());
  EXPECT_FALSE(NSURL::URLWithString("").has_value());
  // Text holding a NUL is never a URL, wherever the NUL stands.
  using namespace std::string_literals;
  EXPECT_FALSE(NSURL::URLWithString("http://a\0b"s).has_value());
  EXPECT_FALSE(NSURL::URLWithString("\0"s).has_value());
  auto base_url = NSURL::URLWithString("http://e.com/");
  EXPECT_FALSE(NSURL::URLWithString("b\0"s, &*base_url).has_value());
  EXPECT_EQ(NSURL::URLWithString("http://example.com")->path(), "");

  auto base = NSURL::URLWithString("http://example.com/dir/page.html?x");
  auto resolved = NSURL::URLWithString("../other/./file?y#z", &*base);
  ASSERT_TRUE(resolved.has_value());
  EXPECT_EQ(resolved->absoluteString(), "http://example.com/other/file?y#z");
  EXPECT_EQ(resolved->relativeString(), "../other/./file?y#z");
  EXPECT_EQ(resolved->baseURL()->absoluteString(), base->absoluteString());
  auto ip6 = NSURL::URLWithString("http://[::1]:80/x")->URLByAppendingPathComponent("y");
  EXPECT_EQ(ip6.absoluteString(), "http://[::1]:80/x/y");
}

TEST(URLTest, FileURLsAndPercentCoding) {
  NSURL file = NSURL::fileURLWithPath("/tmp/with space/é.db", false);
  EXPECT_EQ(file.absoluteString(), "file:///tmp/with%20space/%C3%A9.db");
  EXPECT_TRUE(file.isFileURL());
  EXPECT_EQ(file.path(), "/tmp/with space/é.db");
  NSURL directory = NSURL::fileURLWithPath("/tmp/folder", true);
  EXPECT_EQ(directory.absoluteString(), "file:///tmp/folder/");
  EXPECT_EQ(directory.path(), "/tmp/folder");
  EXPECT_EQ(directory.URLByAppendingPathComponent("a?b").absoluteString(),
            "file:///tmp/folder/a%3Fb");
  EXPECT_EQ(file.URLByDeletingLastPathComponent().absoluteString(), "file:///tmp/with%20space/");
  EXPECT_TRUE(NSURL::fileURLWithPath("relative").path().starts_with("/"));

  EXPECT_EQ(stringByAddingPercentEncodingWithAllowedCharacters(
                "a b&c=d/é", NSCharacterSet::URLQueryAllowedCharacterSet()),
            "a%20b&c=d/%C3%A9");
  EXPECT_EQ(stringByAddingPercentEncodingWithAllowedCharacters(
                "a/b", NSCharacterSet::URLHostAllowedCharacterSet()),
            "a%2Fb");
  EXPECT_EQ(stringByRemovingPercentEncoding("a%20b%C3%A9"), "a bé");
  EXPECT_FALSE(stringByRemovingPercentEncoding("%zz").has_value());
  EXPECT_FALSE(stringByRemovingPercentEncoding("%C3").has_value());
  EXPECT_FALSE(stringByRemovingPercentEncoding("abc%4").has_value());
}

class Thermometer : public NSKeyValueObservable {
 public:
  void setDegrees(int degrees) {
    willChangeValueForKey("degrees");
    degrees_ = degrees;
    didChangeValueForKey("degrees");
  }
  std::any valueForKey(const std::string& key) const override {
    return key == "degrees" ? std::any(degrees_) : std::any();
  }

 private:
  int degrees_ = 10;
};

class Recorder : public NSKeyValueObserving {
 public:
  struct Heard {
    std::string keyPath;
    NSKeyValueChangeDictionary change;
    void* context;
  };
  void observeValueForKeyPath(const std::string& keyPath, NSKeyValueObservable&,
                              const NSKeyValueChangeDictionary& change, void* context) override {
    heard.push_back({keyPath, change, context});
  }
  std::vector<Heard> heard;
};

TEST(KeyValueObservingTest, ObserversHearWhatTheirOptionsAskFor) {
  Thermometer thermometer;
  auto all = std::make_shared<Recorder>();
  auto plain = std::make_shared<Recorder>();
  int context = 0;
  thermometer.addObserver(all, "degrees",
                          NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld |
                              NSKeyValueObservingOptionInitial | NSKeyValueObservingOptionPrior,
                          &context);
  thermometer.addObserver(plain, "degrees", NSKeyValueObservingOptionNew, nullptr);
  ASSERT_EQ(all->heard.size(), 1u);  // the initial notice
  EXPECT_EQ(std::any_cast<int>(all->heard[0].change.newValue), 10);
  EXPECT_EQ(all->heard[0].context, &context);

  thermometer.setDegrees(20);
  ASSERT_EQ(all->heard.size(), 3u);
  EXPECT_TRUE(all->heard[1].change.notificationIsPrior);
  EXPECT_EQ(std::any_cast<int>(all->heard[1].change.oldValue), 10);
  EXPECT_FALSE(all->heard[1].change.newValue.has_value());
  EXPECT_EQ(std::any_cast<int>(all->heard[2].change.oldValue), 10);
  EXPECT_EQ(std::any_cast<int>(all->heard[2].change.newValue), 20);
  ASSERT_EQ(plain->heard.size(), 1u);
  EXPECT_FALSE(plain->heard[0].change.oldValue.has_value());

  EXPECT_TRUE(thermometer.removeObserver(all.get(), "degrees", &context));
  EXPECT_FALSE(thermometer.removeObserver(all.get(), "degrees", &context));
  plain.reset();  // a vanished observer is skipped
  thermometer.setDegrees(30);
  EXPECT_EQ(all->heard.size(), 3u);
}

TEST(DateFormatterTest, FormatsAndParsesInItsTimeZone) {
  NSDateFormatter formatter;
  formatter.setDateFormat("yyyy-MM-dd'T'HH:mm:ss.SSSZZZZZ");
  NSDate date = NSDate::dateWithTimeIntervalSince1970(1700000000.25);
  EXPECT_EQ(formatter.stringFromDate(date), "2023-11-14T22:13:20.250Z");
  formatter.setTimeZoneSecondsFromGMT(3600);
  EXPECT_EQ(formatter.stringFromDate(date), "2023-11-14T23:13:20.250+01:00");
  EXPECT_EQ(formatter.dateFromString("2023-11-14T23:13:20.250+01:00"), date);
  EXPECT_FALSE(formatter.dateFromString("2023-13-14T23:13:20.250+01:00").has_value());
  formatter.setDateFormat("EEE, d MMM yy h:mm a");
  EXPECT_EQ(formatter.stringFromDate(NSDate::dateWithTimeIntervalSince1970(0)),
            "Thu, 1 Jan 70 1:00 AM");
}

TEST(UserDirectoriesTest, SearchPathsFollowTheTestRoot) {
  foundation::testing::setUserDirectoriesRoot("/tmp/root");
  EXPECT_EQ(NSSearchPathForDirectoriesInDomains(NSDocumentDirectory, NSUserDomainMask, true),
            std::vector<std::string>{"/tmp/root/Documents"});
  EXPECT_EQ(NSSearchPathForDirectoriesInDomains(NSApplicationSupportDirectory, NSUserDomainMask,
                                                false),
            std::vector<std::string>{"~/.local/share"});
  EXPECT_EQ(NSHomeDirectory(), "/tmp/root");
  foundation::testing::setUserDirectoriesRoot(std::nullopt);
  EXPECT_EQ(NSProcessInfo::processInfo().operatingSystemVersionString(), "Version 15.0");
}

TEST(FileManagerTest, CreatesRemovesAndTellsDirectoriesApart) {
  std::string pattern = (std::filesystem::temp_directory_path() / "fm-test-XXXXXX").string();
  std::string root = mkdtemp(pattern.data());
  auto files = NSFileManager::defaultManager();
  NSError error;
  EXPECT_FALSE(files->createDirectoryAtPath(root + "/a/b", false, {}, &error));
  EXPECT_EQ(error.domain, NSPOSIXErrorDomain);
  EXPECT_TRUE(files->createDirectoryAtPath(root + "/a/b", true));
  bool directory = false;
  EXPECT_TRUE(files->fileExistsAtPath(root + "/a/b", &directory));
  EXPECT_TRUE(directory);
  EXPECT_TRUE(files->removeItemAtPath(root + "/a"));
  EXPECT_FALSE(files->fileExistsAtPath(root + "/a"));
  EXPECT_FALSE(files->removeItemAtPath(root + "/a"));
  std::filesystem::remove_all(root);
}

}  // namespace
