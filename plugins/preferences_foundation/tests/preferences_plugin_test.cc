// The preferences plug-in driven through its two message-channel APIs.
#include "plugins/preferences_foundation/preferences_plugin.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <limits>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include "platform/flutter/testing/test_dart_side.h"
#include "platform/foundation/ns_user_defaults.h"
#include "platform/foundation/testing/foundation_controls.h"

namespace preferences_foundation {
namespace {

namespace fs = std::filesystem;
using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

constexpr const char* kBundleId = "com.example.prefs";
const std::string kApi = "dev.flutter.pigeon.preferences_foundation.UserDefaultsApi.";
const std::string kLegacy = "dev.flutter.pigeon.preferences_foundation.LegacyUserDefaultsApi.";

Value options(std::optional<std::string> suite = std::nullopt) {
  return Value(std::make_shared<PreferencesPigeonOptions>(std::move(suite)));
}

Value strings(std::initializer_list<const char*> keys) {
  ValueList list;
  for (const char* key : keys) list.emplace_back(key);
  return Value(std::move(list));
}

class PreferencesPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "prefs-test-XXXXXX").string();
    root = mkdtemp(pattern.data());
    foundation::testing::setUserDirectoriesRoot(root);
    foundation::testing::resetUserDefaults();
    useBundleIdentifier(kBundleId);
    PreferencesPlugin::registerWithRegistrar(dart.registrar("PreferencesPlugin"));
  }
  void TearDown() override {
    foundation::testing::setMainBundlePath(std::nullopt);
    foundation::testing::setUserDirectoriesRoot(std::nullopt);
    foundation::testing::resetUserDefaults();
    fs::remove_all(root);
  }

  void useBundleIdentifier(std::optional<std::string> identifier) {
    std::string bundle = root + "/App" + std::to_string(bundles++) + ".app";
    fs::create_directories(bundle + "/Contents");
    PropertyList::Dictionary info;
    if (identifier) info["CFBundleIdentifier"] = PropertyList(*identifier);
    PropertyList(info).writeFile(bundle + "/Contents/Info.plist", PropertyList::Format::xml);
    foundation::testing::setMainBundlePath(bundle);
  }

  std::optional<Value> send(const std::string& channel, ValueList arguments) {
    return dart.sendMessage(channel, Value(std::move(arguments)), GetMessagesCodec());
  }
  // The value of a success reply; fails the test on anything else.
  Value ok(const std::string& channel, ValueList arguments) {
    auto reply = send(channel, std::move(arguments));
    EXPECT_TRUE(reply && reply->asList() && reply->asList()->size() == 1)
        << channel << ": " << (reply ? reply->debugString() : "no reply");
    return reply && reply->asList() && reply->asList()->size() == 1 ? (*reply->asList())[0] : Value();
  }
  std::string domainFile(const std::string& domain = kBundleId) const {
    return root + "/.config/" + kBundleId + "/preferences/" + domain + ".plist";
  }

  std::string root;
  int bundles = 0;
  std::shared_ptr<FlutterEngine> engine = FlutterEngine::create();
  flutter::testing::TestDartSide dart{engine};
};

TEST_F(PreferencesPluginTest, ChannelNamesTakeASuffixAndHandlersCanBeRemoved) {
  auto messenger = engine->binaryMessenger();
  UserDefaultsApiSetup::setUpUserDefaultsApi(messenger, std::make_shared<PreferencesPlugin>(), "two");
  EXPECT_EQ(ok(kApi + "getAll.two", {Value(), options()}), Value(ValueMap{}));
  EXPECT_FALSE(send(kApi + "getAll.", {Value(), options()}).has_value());

  for (auto api : {"set", "clear", "getAll", "getValue", "getKeys"}) {
    EXPECT_TRUE(send(kApi + api, {}).has_value()) << api;
  }
  UserDefaultsApiSetup::setUpUserDefaultsApi(messenger, nullptr, "");
  LegacyUserDefaultsApiSetup::setUpLegacyUserDefaultsApi(messenger, nullptr, "");
  for (auto api : {"set", "clear", "getAll", "getValue", "getKeys"}) {
    EXPECT_FALSE(send(kApi + api, {}).has_value()) << api;
  }
  for (auto api : {"remove", "setBool", "setDouble", "setValue", "getAll", "clear"}) {
    EXPECT_FALSE(send(kLegacy + api, {}).has_value()) << api;
  }
  EXPECT_TRUE(send(kApi + "getAll.two", {Value(), options()}).has_value());
}

TEST_F(PreferencesPluginTest, CodecCarriesOptionsAsType129AndRejectsBadRecords) {
  auto codec = GetMessagesCodec();
  EXPECT_EQ(codec->encode(options()), (FlutterBytes{129, 12, 1, 0}));
  auto decoded = codec->decode(codec->encode(options("suite")));
  ASSERT_NE(decoded.asCustom<PreferencesPigeonOptions>(), nullptr);
  EXPECT_EQ(*decoded.asCustom<PreferencesPigeonOptions>(), PreferencesPigeonOptions("suite"));
  EXPECT_NE(PreferencesPigeonOptions("a").hash(), PreferencesPigeonOptions().hash());
  EXPECT_EQ(PreferencesPigeonOptions().description(), "PreferencesPigeonOptions(suiteName: nil)");

  for (const FlutterBytes& bad : {FlutterBytes{129}, FlutterBytes{129, 12, 1},
                                  FlutterBytes{129, 7, 1, 'a'}, FlutterBytes{129, 12, 0},
                                  FlutterBytes{129, 12, 1, 3, 1, 0, 0, 0}}) {
    EXPECT_THROW(codec->decode(bad), FlutterCodecError);
  }
  // Through the channel an undecodable message is answered, never handed to the plug-in.
  auto reply = dart.sendBinary(kApi + "getAll", FlutterBytes{12, 2, 0, 129, 12, 0}).wait();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ((*codec->decode(*reply).asList())[0], Value("malformed_message"));
  // Wrong shapes of well-formed messages get an error reply too.
  auto wrong = send(kApi + "getValue", {Value(int32_t{3}), options()});
  ASSERT_TRUE(wrong && wrong->asList()->size() == 3);
  EXPECT_EQ((*wrong->asList())[0], Value("invalid-argument"));
  auto absent_value = send(kApi + "set", {Value("k"), Value(), options()});
  EXPECT_EQ((*absent_value->asList())[0], Value("invalid-argument"));
}

TEST_F(PreferencesPluginTest, ListingsKeepOnlySupportedValuesAndHonourAllowLists) {
  ok(kApi + "set", {Value("flag"), Value(true), options()});
  ok(kApi + "set", {Value("count"), Value(int32_t{3}), options()});
  ok(kApi + "set", {Value("ratio"), Value(0.5), options()});
  ok(kApi + "set", {Value("name"), Value("n"), options()});
  ok(kApi + "set", {Value("empty"), Value(ValueList{}), options()});
  ok(kApi + "set", {Value("nested"), Value(ValueList{Value(ValueList{Value("x")})}), options()});
  ValueMap inner{{Value("a"), Value(int32_t{1})}};
  ok(kApi + "set", {Value("map"), Value(inner), options()});
  ok(kApi + "set", {Value("mapInList"), Value(ValueList{Value(inner)}), options()});
  ok(kApi + "set", {Value("bytes"), Value(std::vector<uint8_t>{1}), options()});

  auto all = ok(kApi + "getAll", {Value(), options()});
  EXPECT_EQ(all.asMap()->size(), 6u);
  for (const char* hidden : {"map", "mapInList", "bytes"}) EXPECT_FALSE(all.asMap()->contains(hidden));
  EXPECT_EQ(*all.find("empty"), Value(ValueList{}));
  EXPECT_EQ(ok(kApi + "getValue", {Value("map"), options()}), Value());
  EXPECT_EQ(ok(kApi + "getValue", {Value("count"), options()}), Value(int32_t{3}));

  EXPECT_EQ(ok(kApi + "getAll", {strings({}), options()}), Value(ValueMap{}));
  EXPECT_EQ(ok(kApi + "getKeys", {strings({"flag", "absent", "map"}), options()}), strings({"flag"}));

  ok(kApi + "clear", {strings({"flag", "absent"}), options()});
  EXPECT_EQ(ok(kApi + "getValue", {Value("flag"), options()}), Value());
  ok(kApi + "clear", {Value(), options()});
  EXPECT_EQ(ok(kApi + "getKeys", {Value(), options()}), Value(ValueList{}));
  EXPECT_EQ(ok(kApi + "getValue", {Value("map"), options()}), Value());
}

TEST_F(PreferencesPluginTest, LegacyApiUsesPrefixesOnTheStandardDefaults) {
  EXPECT_EQ(ok(kLegacy + "setBool", {Value("flutter.on"), Value(true)}), Value());
  EXPECT_EQ(ok(kLegacy + "setDouble", {Value("flutter.ratio"), Value(1.5)}), Value());
  EXPECT_EQ(ok(kLegacy + "setValue", {Value("flutter.list"), strings({"a"})}), Value());
  ok(kLegacy + "setValue", {Value("other"), Value("x")});
  ok(kLegacy + "setValue", {Value("flutter.map"), Value(ValueMap{{Value("k"), Value("v")}})});

  auto flutter_keys = ok(kLegacy + "getAll", {Value("flutter."), Value()});
  EXPECT_EQ(flutter_keys.asMap()->size(), 3u);
  EXPECT_EQ(*flutter_keys.find("flutter.ratio"), Value(1.5));
  EXPECT_EQ(ok(kLegacy + "getAll", {Value(""), Value()}).asMap()->size(), 4u);
  EXPECT_EQ(ok(kLegacy + "getAll", {Value("flutter."), strings({"flutter.on", "other"})}).asMap()->size(), 1u);
  EXPECT_EQ(ok(kLegacy + "clear", {Value("nothing."), Value()}), Value(true));

  EXPECT_EQ(ok(kLegacy + "clear", {Value("flutter."), Value()}), Value(true));
  EXPECT_EQ(ok(kLegacy + "getAll", {Value(""), Value()}).asMap()->size(), 1u);
  // The unsupported value is not in the listing, so clearing leaves it.
  EXPECT_TRUE(NSUserDefaults::standardUserDefaults()->objectForKey("flutter.map").has_value());
  ok(kLegacy + "remove", {Value("flutter.map")});
  EXPECT_FALSE(NSUserDefaults::standardUserDefaults()->objectForKey("flutter.map").has_value());
  EXPECT_EQ(ok(kApi + "getValue", {Value("other"), options()}), Value("x"));
}

TEST_F(PreferencesPluginTest, RefusedSuitesAreArgumentErrorsOnEveryOperation) {
  const std::string refused[] = {"", "a/b", ".hidden", "..", kBundleId, "NSGlobalDomain",
                                 std::string(256, 's'), std::string("a\0b", 3)};
  for (const std::string& suite : refused) {
    const ValueList expected{Value("Argument Error"),
                             Value("The provided Suite Name '" + suite + "' does not exist"),
                             Value("")};
    const std::pair<const char*, ValueList> calls[] = {
        {"set", {Value("k"), Value(true), options(suite)}},
        {"clear", {Value(), options(suite)}},
        {"getAll", {Value(), options(suite)}},
        {"getValue", {Value("k"), options(suite)}},
        {"getKeys", {Value(), options(suite)}},
    };
    for (const auto& [operation, arguments] : calls) {
      EXPECT_EQ(send(kApi + operation, arguments), Value(expected)) << operation << " " << suite.size();
    }
  }
  EXPECT_FALSE(fs::exists(root + "/.config/" + kBundleId + "/preferences"));
}

TEST_F(PreferencesPluginTest, SuitesShareStateAndStayApart) {
  ok(kApi + "set", {Value("k"), Value("in suite"), options("group.shared")});
  EXPECT_EQ(ok(kApi + "getValue", {Value("k"), options("group.shared")}), Value("in suite"));
  EXPECT_EQ(ok(kApi + "getValue", {Value("k"), options()}), Value());
  EXPECT_EQ(ok(kApi + "getKeys", {Value(), options("group.shared")}), strings({"k"}));
  EXPECT_EQ(ok(kApi + "getKeys", {Value(), options("group.unused")}), Value(ValueList{}));
}

TEST_F(PreferencesPluginTest, SearchListReadsGlobalAndRegisteredValuesWithoutListingThem) {
  auto defaults = NSUserDefaults::standardUserDefaults();
  defaults->setPersistentDomain({{"global", PropertyList("g")}}, NSGlobalDomain);
  defaults->registerDefaults({{"registered", PropertyList(int64_t{7})}, {"own", PropertyList("r")}});
  ok(kApi + "set", {Value("own"), Value("mine"), options()});

  EXPECT_EQ(ok(kApi + "getValue", {Value("global"), options()}), Value("g"));
  EXPECT_EQ(ok(kApi + "getValue", {Value("registered"), options()}), Value(int32_t{7}));
  EXPECT_EQ(ok(kApi + "getValue", {Value("own"), options()}), Value("mine"));
  EXPECT_EQ(ok(kApi + "getKeys", {Value(), options()}), strings({"own"}));
  // Clearing removes from the own domain only: the others still show through.
  ok(kApi + "clear", {Value(), options()});
  EXPECT_EQ(ok(kApi + "getValue", {Value("own"), options()}), Value("r"));
  EXPECT_EQ(ok(kApi + "getValue", {Value("global"), options()}), Value("g"));
}

TEST_F(PreferencesPluginTest, WithoutABundleIdentifierListingsAreEmpty) {
  useBundleIdentifier(std::nullopt);
  ok(kLegacy + "setValue", {Value("k"), Value("v")});
  EXPECT_EQ(ok(kApi + "getAll", {Value(), options()}), Value(ValueMap{}));
  EXPECT_EQ(ok(kApi + "getKeys", {Value(), options()}), Value(ValueList{}));
  EXPECT_EQ(ok(kLegacy + "getAll", {Value(""), Value()}), Value(ValueMap{}));
  EXPECT_EQ(ok(kApi + "getValue", {Value("k"), options()}), Value("v"));
}

TEST_F(PreferencesPluginTest, ValuesSurviveARestartExactly) {
  const std::string with_zero("a\0b", 3);
  const std::pair<const char*, Value> values[] = {
      {"nan", Value(std::nan(""))},
      {"inf", Value(std::numeric_limits<double>::infinity())},
      {"-inf", Value(-std::numeric_limits<double>::infinity())},
      {"emoji", Value("😀 é")},
      {"zero", Value(with_zero)},
      {"big", Value(std::numeric_limits<int64_t>::max())},
      {"small", Value(std::numeric_limits<int64_t>::min())},
      {"one", Value(int32_t{1})},
      {"oneDouble", Value(1.0)},
      {"true", Value(true)},
      {"list", Value(ValueList{Value(int32_t{1}), Value(true), Value(1.0)})},
  };
  for (const auto& [key, value] : values) ok(kApi + "set", {Value(key), value, options()});
  foundation::testing::resetUserDefaults();

  auto all = ok(kApi + "getAll", {Value(), options()});
  ASSERT_EQ(all.asMap()->size(), std::size(values));
  EXPECT_TRUE(std::isnan(all.find("nan")->get<double>()));
  for (size_t i = 1; i < std::size(values); ++i) {
    EXPECT_EQ(*all.find(values[i].first), values[i].second) << values[i].first;
  }
  std::ifstream file(domainFile(), std::ios::binary);
  std::string magic(8, '\0');
  file.read(magic.data(), 8);
  EXPECT_EQ(magic, "bplist00");
  EXPECT_EQ(fs::status(domainFile()).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(fs::status(fs::path(domainFile()).parent_path()).permissions() & fs::perms::all,
            fs::perms::owner_all);
}

// The preferences folder and its parent are made private; a change takes access for others away
// but never gives any back that the user took (a folder narrowed to 0500 stays so).
TEST_F(PreferencesPluginTest, FolderModesAreMadePrivateButNeverLoosened) {
  auto modeOf = [](const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
  };
  const std::string folder = fs::path(domainFile()).parent_path();
  const std::string parent = fs::path(folder).parent_path();
  ok(kApi + "set", {Value("a"), Value(int32_t{1}), options()});
  EXPECT_EQ(modeOf(folder), 0700u);
  EXPECT_EQ(modeOf(parent), 0700u);

  ASSERT_EQ(::chmod(folder.c_str(), 0500), 0);
  ASSERT_EQ(::chmod(parent.c_str(), 0500), 0);
  send(kApi + "set", {Value("b"), Value(int32_t{2}), options()});
  EXPECT_EQ(modeOf(folder), 0500u);
  EXPECT_EQ(modeOf(parent), 0500u);

  ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
  ASSERT_EQ(::chmod(parent.c_str(), 0511), 0);
  send(kApi + "set", {Value("c"), Value(int32_t{3}), options()});
  EXPECT_EQ(modeOf(folder), 0700u);
  EXPECT_EQ(modeOf(parent), 0500u);
  ::chmod(parent.c_str(), 0700);
  ::chmod(folder.c_str(), 0700);
}

TEST_F(PreferencesPluginTest, CorruptFileIsSetAsideAndNeverOverwritten) {
  ok(kApi + "set", {Value("k"), Value("v"), options()});
  std::ofstream(domainFile(), std::ios::trunc) << "bplist00 but not really";
  foundation::testing::resetUserDefaults();

  EXPECT_EQ(ok(kApi + "getAll", {Value(), options()}), Value(ValueMap{}));
  ASSERT_TRUE(fs::exists(domainFile() + ".corrupt"));
  ok(kApi + "set", {Value("fresh"), Value(int32_t{1}), options()});
  foundation::testing::resetUserDefaults();
  EXPECT_EQ(ok(kApi + "getKeys", {Value(), options()}), strings({"fresh"}));
  std::ifstream aside(domainFile() + ".corrupt");
  std::string contents((std::istreambuf_iterator<char>(aside)), std::istreambuf_iterator<char>());
  EXPECT_EQ(contents, "bplist00 but not really");
}

TEST_F(PreferencesPluginTest, AWriteThatDoesNotReachTheDiskIsAnErrorAndChangesNothing) {
  ok(kApi + "set", {Value("k"), Value("old"), options()});
  ok(kApi + "set", {Value("gone"), Value(int32_t{1}), options()});
  using foundation::testing::FileSystemFault;
  auto expect_write_error = [&](const std::string& channel, ValueList arguments,
                                std::optional<FileSystemFault> fault = std::nullopt) {
    if (fault) {
      foundation::testing::injectFileSystemFault(*fault);
    } else {
      foundation::testing::failNextPropertyListWrite();
    }
    auto reply = send(channel, std::move(arguments));
    ASSERT_TRUE(reply && reply->asList() && reply->asList()->size() == 3)
        << channel << ": " << (reply ? reply->debugString() : "no reply");
    EXPECT_EQ((*reply->asList())[0], Value("Write Error")) << channel;
  };
  expect_write_error(kApi + "set", {Value("k"), Value("new"), options()});
  expect_write_error(kApi + "clear", {strings({"k", "gone"}), options()});
  expect_write_error(kApi + "clear", {Value(), options()});
  expect_write_error(kLegacy + "remove", {Value("gone")});
  expect_write_error(kLegacy + "setBool", {Value("k"), Value(true)});
  expect_write_error(kLegacy + "setDouble", {Value("k"), Value(2.0)});
  expect_write_error(kLegacy + "setValue", {Value("k"), Value("v")});
  expect_write_error(kLegacy + "clear", {Value(""), Value()});
  // A file renamed into place whose directory cannot then be flushed is put back.
  for (auto fault : {FileSystemFault::kDirectoryOpen, FileSystemFault::kDirectorySync}) {
    expect_write_error(kApi + "set", {Value("k"), Value("new"), options()}, fault);
    expect_write_error(kApi + "clear", {Value(), options()}, fault);
  }

  // What this run reads is what a restart reads.
  auto expect_unchanged = [&] {
    EXPECT_EQ(ok(kApi + "getValue", {Value("k"), options()}), Value("old"));
    EXPECT_EQ(ok(kApi + "getValue", {Value("gone"), options()}), Value(int32_t{1}));
  };
  expect_unchanged();
  foundation::testing::resetUserDefaults();
  expect_unchanged();
  // No temporary is left: only the domain's file and its lock file.
  std::set<std::string> files;
  for (const auto& entry : fs::directory_iterator(fs::path(domainFile()).parent_path())) {
    files.insert(entry.path().filename());
  }
  EXPECT_EQ(files, (std::set<std::string>{std::string(kBundleId) + ".plist",
                                          "." + std::string(kBundleId) + ".plist.lock"}));
}

TEST_F(PreferencesPluginTest, SuiteNamesLeaveRoomForTheFileAndItsTemporary) {
  // 238 bytes, ".plist" and the temporary's "." and ".tmpXXXXXX" make the longest name allowed.
  const std::string longest(238, 's');
  ok(kApi + "set", {Value("k"), Value("v"), options(longest)});
  foundation::testing::resetUserDefaults();
  EXPECT_EQ(ok(kApi + "getValue", {Value("k"), options(longest)}), Value("v"));
  for (size_t length : {239, 250, 255}) {
    const std::string suite(length, 's');
    auto reply = send(kApi + "set", {Value("k"), Value("v"), options(suite)});
    EXPECT_EQ(reply,
              Value(ValueList{Value("Argument Error"),
                              Value("The provided Suite Name '" + suite + "' does not exist"),
                              Value("")}))
        << length;
  }
}

TEST_F(PreferencesPluginTest, TemporariesLeftByACrashAreRemovedWhenTheDomainOpens) {
  ok(kApi + "set", {Value("k"), Value("v"), options()});
  const std::string folder = fs::path(domainFile()).parent_path();
  const std::string hidden = folder + "/." + kBundleId + ".plist";
  // Temporaries of this naming and of the earlier one ("<file>.tmp-XXXXXX").
  const std::string stale[] = {hidden + ".tmpa1B2c3", domainFile() + ".tmp-a1B2c3"};
  const std::string busy[] = {hidden + ".tmpzzzzzz", domainFile() + ".tmp-zzzzzz"};
  const std::vector<std::string> not_ours = {
      folder + "/unrelated.tmp-a1B2c3", domainFile() + ".tmp-a1B2c3d", domainFile() + ".tmp-",
      hidden + ".tmpa1B2c", hidden + ".tmp-a1B2c3", hidden + ".tmpa1.2c3"};
  for (const std::string& path : stale) std::ofstream(path) << "partial";
  for (const std::string& path : busy) std::ofstream(path) << "partial";
  for (const std::string& path : not_ours) std::ofstream(path) << "x";
  // Another host writing the same domain holds its temporary locked.
  std::vector<int> writers;
  for (const std::string& path : busy) {
    writers.push_back(::open(path.c_str(), O_RDONLY));
    ASSERT_EQ(::flock(writers.back(), LOCK_EX), 0);
  }

  foundation::testing::resetUserDefaults();
  EXPECT_EQ(ok(kApi + "getValue", {Value("k"), options()}), Value("v"));
  for (const std::string& path : stale) EXPECT_FALSE(fs::exists(path)) << path;
  for (const std::string& path : busy) EXPECT_TRUE(fs::exists(path)) << path;
  for (const std::string& path : not_ours) EXPECT_TRUE(fs::exists(path)) << path;
  EXPECT_TRUE(fs::exists(hidden + ".lock"));
  for (int writer : writers) ::close(writer);
}

TEST_F(PreferencesPluginTest, NoSuiteIsTakenForATemporaryOfAnotherDomain) {
  // Stored as "<bundle identifier>.plist.tmp-.plist", which looks like what a writer of the
  // application's own domain once named its temporaries.
  const std::string suite = std::string(kBundleId) + ".plist.tmp-";
  ok(kApi + "set", {Value("k"), Value("v"), options(suite)});
  ok(kApi + "set", {Value("own"), Value("v"), options()});
  foundation::testing::resetUserDefaults();
  EXPECT_EQ(ok(kApi + "getValue", {Value("own"), options()}), Value("v"));
  EXPECT_EQ(ok(kApi + "getValue", {Value("k"), options(suite)}), Value("v"));
}

TEST_F(PreferencesPluginTest, ADomainFileThatIsNotARegularFileNeverBlocks) {
  fs::create_directories(fs::path(domainFile()).parent_path());
  ASSERT_EQ(::mkfifo(domainFile().c_str(), 0600), 0);
  foundation::testing::resetUserDefaults();
  // Should the read block, the watchdog gives it an end of file, and the test fails.
  std::mutex mutex;
  std::condition_variable answered_cv;
  bool answered = false;
  bool had_to_unblock = false;
  std::thread watchdog([&] {
    std::unique_lock lock(mutex);
    if (answered_cv.wait_for(lock, std::chrono::seconds(5), [&] { return answered; })) return;
    had_to_unblock = true;
    ::close(::open(domainFile().c_str(), O_RDWR | O_NONBLOCK));
  });
  auto all = ok(kApi + "getAll", {Value(), options()});
  {
    std::lock_guard lock(mutex);
    answered = true;
  }
  answered_cv.notify_one();
  watchdog.join();
  EXPECT_FALSE(had_to_unblock);
  EXPECT_EQ(all, Value(ValueMap{}));
  // The FIFO is set aside like any unreadable file; the domain works from then on.
  ok(kApi + "set", {Value("k"), Value("v"), options()});
  EXPECT_TRUE(fs::is_regular_file(domainFile()));
}

namespace {

struct QuotaExceeded : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Fails every call with an exception of its own, as a faulty implementation might.
class ThrowingApi : public UserDefaultsApi {
 public:
  ErrorOr<Void> set(const std::string&, const Value&, const PreferencesPigeonOptions&) override {
    throw std::out_of_range("index 4");
  }
  ErrorOr<Void> clear(const std::optional<ValueList>&, const PreferencesPigeonOptions&) override {
    throw QuotaExceeded("too many");
  }
  ErrorOr<ValueMap> getAll(const std::optional<ValueList>&,
                           const PreferencesPigeonOptions&) override {
    return ValueMap{};
  }
  ErrorOr<Value> getValue(const std::string&, const PreferencesPigeonOptions&) override {
    return Value();
  }
  ErrorOr<ValueList> getKeys(const std::optional<ValueList>&,
                             const PreferencesPigeonOptions&) override {
    return ValueList{};
  }
};

}  // namespace

TEST_F(PreferencesPluginTest, AnyOtherErrorNamesItsPlainTypeAndListsTheStack) {
  UserDefaultsApiSetup::setUpUserDefaultsApi(engine->binaryMessenger(),
                                             std::make_shared<ThrowingApi>(), "throws");
  const std::pair<std::string, ValueList> calls[] = {
      {"set", {Value("k"), Value(true), options()}},
      {"clear", {Value(), options()}},
  };
  const std::pair<const char*, const char*> expected[] = {{"index 4", "out_of_range"},
                                                          {"too many", "QuotaExceeded"}};
  for (size_t i = 0; i < std::size(calls); ++i) {
    auto reply = send(kApi + calls[i].first + ".throws", calls[i].second);
    ASSERT_TRUE(reply && reply->asList() && reply->asList()->size() == 3);
    const ValueList& error = *reply->asList();
    EXPECT_EQ(error[0], Value(expected[i].first));
    EXPECT_EQ(error[1], Value(expected[i].second));
    const std::string& stack = *error[2].asString();
    EXPECT_TRUE(stack.starts_with("Stacktrace: [\"")) << stack;
    EXPECT_TRUE(stack.ends_with("\"]")) << stack;
    EXPECT_NE(stack.find("\", \""), std::string::npos) << stack;
    EXPECT_EQ(stack.find('\n'), std::string::npos) << stack;
  }
}

TEST_F(PreferencesPluginTest, ValuesAPropertyListCannotHoldAreRefused) {
  const Value refused[] = {Value(std::vector<int32_t>{1}),
                           Value(ValueMap{{Value(int32_t{1}), Value("x")}}),
                           Value(ValueList{Value()})};
  for (const Value& value : refused) {
    auto reply = send(kApi + "set", {Value("k"), value, options()});
    ASSERT_TRUE(reply && reply->asList()->size() == 3);
    EXPECT_EQ((*reply->asList())[0], Value("Argument Error"));
    auto legacy = send(kLegacy + "setValue", {Value("k"), value});
    EXPECT_EQ(legacy->asList()->size(), 3u);
  }
  EXPECT_FALSE(NSUserDefaults::standardUserDefaults()->objectForKey("k").has_value());
  EXPECT_FALSE(fs::exists(domainFile()));
}

}  // namespace
}  // namespace preferences_foundation
