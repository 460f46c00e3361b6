// The URL launcher through its message channels, and its codec byte for byte.
#include "plugins/url_opener_macos/url_opener_plugin.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/appkit/testing/workspace_controls.h"
#include "platform/flutter/flutter.h"
#include "platform/flutter/testing/test_dart_side.h"

namespace url_opener_macos {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::testing::TestDartSide;
namespace controls = appkit::testing;

const std::string kPrefix = "dev.flutter.pigeon.url_opener_macos.UrlOpenerApi.";

class UrlOpenerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    controls::resetWorkspace();
    controller_ = std::make_shared<FlutterViewController>();
    UrlOpenerPlugin::registerWithRegistrar(*controller_->registrarForPlugin("UrlOpenerPlugin"));
    dart_ = std::make_unique<TestDartSide>(controller_->engine());
  }
  void TearDown() override {
    dart_.reset();
    controller_->engine()->shutDown();
    controls::resetWorkspace();
  }
  // The decoded result record of a successful reply.
  UrlOpenerBoolResult ask(const std::string& operation, const std::string& url) {
    auto reply = dart_->sendMessage(kPrefix + operation, ValueList{url}, MessagesPigeonCodec());
    EXPECT_TRUE(reply && reply->asList() && reply->asList()->size() == 1);
    auto record = (*reply->asList())[0].asCustom<UrlOpenerBoolResultValue>();
    EXPECT_TRUE(record);
    return record ? record->record() : UrlOpenerBoolResult{};
  }

  std::shared_ptr<FlutterViewController> controller_;
  std::unique_ptr<TestDartSide> dart_;
};

TEST_F(UrlOpenerTest, InvalidUnhandledAndRefusedUrls) {
  const UrlOpenerBoolResult invalid{false, UrlOpenerError::invalidUrl};
  const UrlOpenerBoolResult yes{true, std::nullopt}, no{false, std::nullopt};
  for (const char* operation : {"canLaunchUrl", "launchUrl"}) {
    EXPECT_EQ(ask(operation, ""), invalid);
    EXPECT_EQ(ask(operation, "not a url"), invalid);
    EXPECT_EQ(ask(operation, "nosuchscheme://x"), no);
  }
  EXPECT_EQ(ask("canLaunchUrl", "https://example.com/a"), yes);
  EXPECT_EQ(ask("launchUrl", "https://example.com/a"), yes);
  controls::setOpeningRefused(true);
  EXPECT_EQ(ask("canLaunchUrl", "https://example.com/b"), yes);
  EXPECT_EQ(ask("launchUrl", "https://example.com/b"), no);
  ASSERT_EQ(controls::openedURLs().size(), 1u);
  EXPECT_EQ(controls::openedURLs()[0].absoluteString(), "https://example.com/a");

  // A message without the URL string answers an error reply.
  auto reply = dart_->sendMessage(kPrefix + "launchUrl", Value(int32_t{1}), MessagesPigeonCodec());
  ASSERT_TRUE(reply && reply->asList() && reply->asList()->size() == 3);
  EXPECT_EQ((*reply->asList())[0], Value("invalid-argument"));
}

TEST_F(UrlOpenerTest, TextHoldingANulIsAnInvalidUrlAtEveryEntryPoint) {
  using namespace std::string_literals;
  const UrlOpenerBoolResult invalid{false, UrlOpenerError::invalidUrl};
  for (const char* operation : {"canLaunchUrl", "launchUrl"}) {
    for (const std::string& url :
         {"http://a\0b"s, "\0"s, "\0\0"s, "https://example.com/\0"s, "\0https://example.com"s,
          "mailto:a@b.c\0"s, "file:///tmp/a\0b"s}) {
      EXPECT_EQ(ask(operation, url), invalid) << operation << " " << url.size();
    }
  }
  EXPECT_TRUE(controls::openedURLs().empty());
  // An escaped NUL is text without one: a valid URL.
  EXPECT_EQ(ask("canLaunchUrl", "https://example.com/%00"),
            (UrlOpenerBoolResult{true, std::nullopt}));
}

// The host is a process that no test controls: it keeps nothing of what it opened. The check runs
// in a fresh process (re-executed), before anything could turn recording on.
TEST(UrlOpenerRecordsDeathTest, AProcessNoTestControlsKeepsNoOpenedUrl) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        auto controller = std::make_shared<FlutterViewController>();
        UrlOpenerPlugin::registerWithRegistrar(*controller->registrarForPlugin("UrlOpenerPlugin"));
        size_t opened = 0;
        {
          TestDartSide dart(controller->engine());
          const std::string url = "https://example.com/" + std::string(64 << 10, 'a');
          for (int i = 0; i < 200; ++i) {
            auto reply = dart.sendMessage(kPrefix + "launchUrl", ValueList{url + std::to_string(i)},
                                          MessagesPigeonCodec());
            auto* list = reply ? reply->asList() : nullptr;
            auto record = list && list->size() == 1
                              ? (*list)[0].asCustom<UrlOpenerBoolResultValue>()
                              : nullptr;
            if (record && record->record().value) ++opened;
          }
        }
        controller->engine()->shutDown();
        std::exit(opened == 200 && controls::openedURLs().empty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(UrlOpenerTest, RecordingKeepsOnlyTheLatestOpenedUrls) {
  for (int i = 0; i < 1000; ++i) ask("launchUrl", "https://example.com/" + std::to_string(i));
  auto opened = controls::openedURLs();
  ASSERT_FALSE(opened.empty());
  EXPECT_LE(opened.size(), 64u);
  EXPECT_EQ(opened.back().absoluteString(), "https://example.com/999");
  controls::setWorkspaceRecording(false);
  EXPECT_TRUE(controls::openedURLs().empty());
  ask("launchUrl", "https://example.com/a");
  EXPECT_TRUE(controls::openedURLs().empty());
}

TEST(UrlOpenerCodecTest, RecordsByteForByte) {
  auto codec = MessagesPigeonCodec();
  UrlOpenerBoolResult invalid{false, UrlOpenerError::invalidUrl};
  EXPECT_EQ(codec->encode(Value(std::make_shared<const UrlOpenerBoolResultValue>(invalid))),
            (FlutterBytes{130, 12, 2, 2, 129, 3, 0, 0, 0, 0}));
  EXPECT_EQ(codec->encode(Value(std::make_shared<const UrlOpenerBoolResultValue>(
                UrlOpenerBoolResult{true, std::nullopt}))),
            (FlutterBytes{130, 12, 2, 1, 0}));
  EXPECT_TRUE(codec->decode(FlutterBytes{129, 3, 5, 0, 0, 0}).isNull());
  EXPECT_TRUE(codec->decode(FlutterBytes{129, 3, 0, 0, 0, 0}).asCustom<UrlOpenerErrorValue>());
  EXPECT_THROW(codec->decode(FlutterBytes{130, 12, 1, 1}), FlutterCodecError);

  Hasher a, b;
  deepHash(Value(std::make_shared<const UrlOpenerBoolResultValue>(invalid)), a);
  deepHash(Value(std::make_shared<const UrlOpenerBoolResultValue>(invalid)), b);
  EXPECT_EQ(a.finalize(), b.finalize());
  EXPECT_EQ(invalid.description(),
            "UrlOpenerBoolResult(value: false, error: "
            "Optional(url_opener_macos.UrlOpenerError.invalidUrl))");
}

}  // namespace
}  // namespace url_opener_macos
