#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/foundation/foundation.h"
#include "platform/foundation/testing/foundation_controls.h"

namespace {

namespace fs = std::filesystem;

class TemporaryDirectory {
 public:
  TemporaryDirectory() {
    std::string pattern = (fs::temp_directory_path() / "foundation-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TemporaryDirectory() { fs::remove_all(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(PropertyListTest, RoundTripsThroughXmlAndBinary) {
  PropertyList::Dictionary entries{{"name", PropertyList("Desk")},
                                   {"count", PropertyList(int64_t{-3})},
                                   {"ratio", PropertyList(0.5)},
                                   {"on", PropertyList(true)},
                                   {"bytes", PropertyList(PropertyListData{0, 255})},
                                   {"when", PropertyList(PropertyListDate{100})},
                                   {"list", PropertyList(PropertyList::Array{PropertyList("a")})}};
  PropertyList plist(entries);
  for (auto format : {PropertyList::Format::xml, PropertyList::Format::binary}) {
    auto parsed = PropertyList::parse(plist.serialize(format));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(*parsed, plist);
  }
  EXPECT_FALSE(PropertyList::parse(std::vector<uint8_t>{'n', 'o', 'p', 'e'}).has_value());
}

TEST(PropertyListTest, WritesFilesAtomicallyWithPrivateMode) {
  TemporaryDirectory directory;
  std::string path = directory.path() + "/prefs.plist";
  ASSERT_TRUE(PropertyList(PropertyList::Dictionary{{"k", PropertyList("v")}})
                  .writeFile(path, PropertyList::Format::binary));
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(*PropertyList::readFile(path)->find("k"), PropertyList("v"));
  EXPECT_EQ(std::distance(fs::directory_iterator(directory.path()), fs::directory_iterator()), 1);
}

TEST(BundleTest, MainBundleReadsItsInformationDictionary) {
  TemporaryDirectory directory;
  fs::create_directories(directory.path() + "/Contents/Resources");
  PropertyList(PropertyList::Dictionary{{"CFBundleIdentifier", PropertyList("com.example.app")},
                                        {"CFBundleName", PropertyList("Example")}})
      .writeFile(directory.path() + "/Contents/Info.plist", PropertyList::Format::xml);
  std::ofstream(directory.path() + "/Contents/Resources/asset.txt") << "x";

  foundation::testing::setMainBundlePath(directory.path());
  auto bundle = NSBundle::mainBundle();
  EXPECT_EQ(bundle->bundleIdentifier(), "com.example.app");
  EXPECT_EQ(*bundle->objectForInfoDictionaryKey("CFBundleName"), PropertyList("Example"));
  EXPECT_TRUE(bundle->pathForResource("asset", "txt").has_value());
  EXPECT_FALSE(bundle->pathForResource("missing", "txt").has_value());
  foundation::testing::setMainBundlePath(std::nullopt);
  EXPECT_FALSE(NSBundle::mainBundle()->bundleIdentifier().has_value());
}

TEST(ProcessInfoTest, EmulatedVersionDefaultsTo15AndIsAControl) {
  auto& info = NSProcessInfo::processInfo();
  EXPECT_EQ(info.operatingSystemVersion().majorVersion, 15);
  EXPECT_TRUE(info.isOperatingSystemAtLeastVersion({10, 15, 0}));
  foundation::testing::setEmulatedOperatingSystemVersion({12, 6, 0});
  EXPECT_FALSE(info.isOperatingSystemAtLeastVersion({13, 0, 0}));
  foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
}

TEST(NotificationCenterTest, ObserversFilterByNameAndSenderUntilRemoved) {
  NSNotificationCenter center;
  auto sender = std::make_shared<int>(1);
  int by_name = 0;
  int by_sender = 0;
  auto name_token = center.addObserverForName("ping", nullptr, nullptr,
                                              [&](const NSNotification&) { ++by_name; });
  auto sender_token = center.addObserverForName("", sender.get(), nullptr,
                                                [&](const NSNotification&) { ++by_sender; });
  center.postNotificationName("ping");
  center.postNotificationName("pong", sender);
  EXPECT_EQ(by_name, 1);
  EXPECT_EQ(by_sender, 1);
  center.removeObserver(name_token);
  center.postNotificationName("ping", sender);
  EXPECT_EQ(by_name, 1);
  EXPECT_EQ(by_sender, 2);
}

TEST(UUIDTest, StringsAreUpperCaseVersion4AndParseBack) {
  NSUUID uuid;
  std::string text = uuid.UUIDString();
  ASSERT_EQ(text.size(), 36u);
  EXPECT_EQ(text[14], '4');
  EXPECT_EQ(text.find_first_of("abcdef"), std::string::npos);
  EXPECT_EQ(NSUUID::fromString(text), uuid);
  EXPECT_FALSE(NSUUID::fromString("not-a-uuid").has_value());
  EXPECT_FALSE(NSUUID() == NSUUID());
}

}  // namespace
