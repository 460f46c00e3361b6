// A NUL inside text that names a URL or a file: the system's calls would end the text there, so
// every constructor and every path-taking call refuses it rather than act on a shorter name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/foundation/foundation.h"

namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

bool holdsNul(const std::string& text) { return text.find('\0') != std::string::npos; }

TEST(NulInUrlsTest, NoUrlEverAnswersAPathOrTextHoldingANul) {
  NSURL made = NSURL::fileURLWithPath("/tmp/a\0b"s, false);
  EXPECT_FALSE(holdsNul(made.absoluteString()));
  EXPECT_FALSE(holdsNul(made.path()));
  EXPECT_FALSE(holdsNul(made.lastPathComponent()));
  EXPECT_FALSE(holdsNul(NSURL::fileURLWithPath("/tmp/a\0b"s).path()));

  auto escaped = NSURL::URLWithString("file:///etc/passwd%00.pdf");
  ASSERT_TRUE(escaped);  // a valid URL: the text holds no NUL
  EXPECT_FALSE(holdsNul(escaped->path()));
  EXPECT_NE(escaped->path(), "/etc/passwd");

  NSURL folder = NSURL::fileURLWithPath("/tmp/folder", true);
  EXPECT_FALSE(holdsNul(folder.URLByAppendingPathComponent("x\0y"s).path()));
  EXPECT_FALSE(holdsNul(folder.URLByAppendingPathComponent("x\0y"s, false).absoluteString()));

  // Decoding never produces a NUL: such text does not decode.
  EXPECT_FALSE(stringByRemovingPercentEncoding("a%00b").has_value());
  EXPECT_FALSE(stringByRemovingPercentEncoding("%00").has_value());
  EXPECT_EQ(stringByRemovingPercentEncoding("a%01b"),
            "a\x01"
            "b");
}

class NulInPathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("nul_in_paths_test_" + std::to_string(::getpid()));
    fs::create_directories(root_ / "Contents" / "Resources");
    std::ofstream(root_ / "Contents" / "Resources" / "kept") << "kept";
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path root_;
};

TEST_F(NulInPathsTest, FileManagerAndBundleCallsRefuseAPathHoldingANul) {
  auto manager = NSFileManager::defaultManager();
  std::string kept = (root_ / "Contents" / "Resources" / "kept").string();
  std::string longer = kept + "\0/more"s;

  EXPECT_FALSE(manager->fileExistsAtPath(longer));
  NSError error;
  EXPECT_FALSE(manager->removeItemAtPath(longer, &error));
  EXPECT_TRUE(fs::exists(kept));  // the shorter name was not removed
  EXPECT_FALSE(manager->removeItemAtPath(root_.string() + "\0"s, &error));
  EXPECT_TRUE(fs::exists(root_));
  EXPECT_FALSE(manager->createDirectoryAtPath((root_ / "new").string() + "\0x"s, true, {}, &error));
  EXPECT_FALSE(fs::exists(root_ / "new"));
  EXPECT_FALSE(manager->attributesOfItemAtPath(longer, &error).has_value());

  NSBundle bundle(root_.string());
  EXPECT_TRUE(bundle.pathForResource("kept", "").has_value());
  EXPECT_FALSE(bundle.pathForResource("kept\0.png"s, "").has_value());
  EXPECT_FALSE(bundle.pathForResource("kept", "\0"s).has_value());
  EXPECT_EQ(NSBundle::bundleWithPath(root_.string() + "\0/x"s), nullptr);
}

}  // namespace
