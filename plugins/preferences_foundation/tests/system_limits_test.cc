// The preferences at the system's limits: no descriptor left, a file-size limit, a domain file
// set aside again and again. A limit is "not now": the call answers an error, nothing changes, no
// file is set aside, and the log names the real cause.
#include "platform/foundation/testing/system_limits.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/flutter/testing/test_dart_side.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "plugins/preferences_foundation/preferences_plugin.h"

namespace preferences_foundation {
namespace {

namespace fs = std::filesystem;
using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

constexpr const char* kBundleId = "com.example.limits";
const std::string kApi = "dev.flutter.pigeon.preferences_foundation.UserDefaultsApi.";
const std::string kLegacy = "dev.flutter.pigeon.preferences_foundation.LegacyUserDefaultsApi.";
constexpr int kKeys = 16;

Value options() { return Value(std::make_shared<PreferencesPigeonOptions>()); }

class PreferencesLimitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "prefs-limits-XXXXXX").string();
    root = mkdtemp(pattern.data());
    std::string bundle = root + "/App.app";
    fs::create_directories(bundle + "/Contents");
    PropertyList(PropertyList::Dictionary{{"CFBundleIdentifier", PropertyList(kBundleId)}})
        .writeFile(bundle + "/Contents/Info.plist", PropertyList::Format::xml);
    foundation::testing::setUserDirectoriesRoot(root);
    foundation::testing::setMainBundlePath(bundle);
    foundation::testing::resetUserDefaults();
    PreferencesPlugin::registerWithRegistrar(dart.registrar("PreferencesPlugin"));
    for (int i = 0; i < kKeys; ++i) {
      EXPECT_EQ(code(kApi + "set", {Value(key(i)), Value(std::to_string(i)), options()}), "");
    }
  }
  void TearDown() override {
    foundation::testing::setLogCapture(false);
    foundation::testing::setMainBundlePath(std::nullopt);
    foundation::testing::setUserDirectoriesRoot(std::nullopt);
    foundation::testing::resetUserDefaults();
    fs::remove_all(root);
  }

  static std::string key(int i) { return "k" + std::to_string(i); }
  std::string folder() const { return root + "/.config/" + kBundleId + "/preferences"; }
  std::string domainFile() const { return folder() + "/" + kBundleId + ".plist"; }

  // The error code of the reply, "" for a success, "?" for a reply of neither shape.
  std::string code(const std::string& channel, ValueList arguments) {
    auto reply = dart.sendMessage(channel, Value(std::move(arguments)), GetMessagesCodec());
    last_reply = reply ? *reply : Value();
    const ValueList* list = reply ? reply->asList() : nullptr;
    if (list != nullptr && list->size() == 1) return "";
    if (list != nullptr && list->size() == 3 && (*list)[0].asString())
      return *(*list)[0].asString();
    return "?";
  }

  std::set<std::string> files() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder()))
      names.insert(entry.path().filename());
    return names;
  }

  // Every key is stored as it was, for this run and for a restart.
  void expectEveryKey() {
    for (bool restarted : {false, true}) {
      if (restarted) foundation::testing::resetUserDefaults();
      ASSERT_EQ(code(kApi + "getAll", {Value(), options()}), "") << last_reply.debugString();
      const Value& all = (*last_reply.asList())[0];
      ASSERT_NE(all.asMap(), nullptr);
      EXPECT_EQ(all.asMap()->size(), size_t{kKeys});
      for (int i = 0; i < kKeys; ++i) {
        const Value* value = all.asMap()->find(std::string_view(key(i)));
        EXPECT_TRUE(value != nullptr && *value == Value(std::to_string(i))) << key(i);
      }
    }
    EXPECT_EQ(files(), (std::set<std::string>{std::string(kBundleId) + ".plist",
                                              "." + std::string(kBundleId) + ".plist.lock"}));
  }

  // Some captured log line names `cause`, and none holds `wrong`.
  static void expectLogNames(const std::string& cause, const std::string& wrong) {
    bool named = false;
    for (const auto& line : foundation::testing::takeLogLines()) {
      EXPECT_EQ(line.find(wrong), std::string::npos) << line;
      named = named || line.find(cause) != std::string::npos;
    }
    EXPECT_TRUE(named) << "no log line names the cause";
  }

  std::string root;
  Value last_reply;
  std::shared_ptr<FlutterEngine> engine = FlutterEngine::create();
  flutter::testing::TestDartSide dart{engine};
};

TEST_F(PreferencesLimitsTest, WithNoDescriptorLeftEveryCallAnswersAnErrorAndNothingIsSetAside) {
  foundation::testing::resetUserDefaults();
  foundation::testing::setLogCapture(true);
  // What each call answered, checked once descriptors are back: a failing check needs some.
  std::vector<std::pair<std::string, std::string>> answers;
  {
    foundation::testing::DescriptorsExhausted exhausted;
    ASSERT_TRUE(exhausted.active());
    answers.emplace_back("Read Error", code(kApi + "getValue", {Value(key(3)), options()}));
    answers.emplace_back("Read Error", code(kApi + "getAll", {Value(), options()}));
    answers.emplace_back("Read Error", code(kApi + "getKeys", {Value(), options()}));
    answers.emplace_back("Read Error", code(kLegacy + "getAll", {Value("k"), Value()}));
    answers.emplace_back("Read Error", code(kLegacy + "clear", {Value("k"), Value()}));
    answers.emplace_back("Read Error", code(kApi + "clear", {Value(), options()}));
    answers.emplace_back("Write Error", code(kApi + "set", {Value("new"), Value("v"), options()}));
    // One descriptor free, as under churn: the lock file opens, the domain's file does not.
    exhausted.release(1);
    answers.emplace_back("Write Error", code(kApi + "set", {Value("new"), Value("v"), options()}));
    answers.emplace_back("Write Error", code(kLegacy + "remove", {Value(key(0))}));
  }
  for (size_t i = 0; i < answers.size(); ++i) {
    EXPECT_EQ(answers[i].second, answers[i].first) << "call " << i;
  }
  expectLogNames("Too many open files", "another process");
  expectEveryKey();
}

TEST_F(PreferencesLimitsTest, AValuePastTheFileSizeLimitIsAWriteErrorAndLeavesNoTemporary) {
  {
    foundation::testing::FileSizeLimit limit(1'000'000);
    ASSERT_TRUE(limit.active());
    EXPECT_EQ(code(kApi + "set", {Value("big"), Value(std::string(2'000'000, 'x')), options()}),
              "Write Error");
    EXPECT_EQ(code(kLegacy + "setValue", {Value("big"), Value(std::string(2'000'000, 'y'))}),
              "Write Error");
    EXPECT_EQ(code(kApi + "getValue", {Value("big"), options()}), "");
    EXPECT_EQ(last_reply, Value(ValueList{Value()}));
  }
  expectEveryKey();
}

TEST_F(PreferencesLimitsTest, ADomainPastItsSizeLimitIsAWriteErrorThatNamesItsCause) {
  foundation::testing::setLogCapture(true);
  const std::string big(PropertyList::kMaximumFileBytes + 1, 'x');
  EXPECT_EQ(code(kApi + "set", {Value("big"), Value(big), options()}), "Write Error");
  EXPECT_EQ(code(kLegacy + "setValue", {Value("big"), Value(big)}), "Write Error");
  // A stale errno is no cause.
  expectLogNames("past the limit of 16777216 bytes", "(E");
  expectEveryKey();
}

TEST_F(PreferencesLimitsTest, CopiesSetAsideAreBounded) {
  for (int round = 0; round < 10; ++round) {
    std::ofstream(domainFile(), std::ios::trunc) << "not a property list " << round;
    foundation::testing::resetUserDefaults();
    EXPECT_EQ(code(kApi + "getAll", {Value(), options()}), "");
    EXPECT_EQ(last_reply, Value(ValueList{Value(ValueMap{})}));
  }
  std::set<std::string> aside;
  for (const auto& name : files()) {
    if (name.find(".corrupt") != std::string::npos) aside.insert(name);
  }
  EXPECT_LE(aside.size(), size_t{4});
  // The latest one set aside is among them.
  bool latest = false;
  for (const auto& name : aside) {
    std::ifstream copy(folder() + "/" + name);
    std::string text((std::istreambuf_iterator<char>(copy)), std::istreambuf_iterator<char>());
    latest = latest || text == "not a property list 9";
  }
  EXPECT_TRUE(latest);
}

}  // namespace
}  // namespace preferences_foundation
