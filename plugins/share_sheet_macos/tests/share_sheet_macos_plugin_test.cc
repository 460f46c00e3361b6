// The sharing plug-in through its channel: what is offered, the subject and the answers.
#include <gtest/gtest.h>

#include "platform/appkit/appkit.h"
#include "platform/appkit/testing/sharing_controls.h"
#include "platform/flutter/flutter.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "plugins/share_sheet_macos/share_sheet_macos_plugin.h"

namespace share_sheet_macos {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;
using flutter::testing::TestDartSide;
namespace controls = appkit::testing;

constexpr const char* kChannel = "dev.velmora.desktop/share";

class ShareSheetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    controls::resetSharingPickers();
    controller_ = std::make_shared<FlutterViewController>();
    ShareSheetMacosPlugin::registerWithRegistrar(
        *controller_->registrarForPlugin("ShareSheetMacosPlugin"));
    dart_ = std::make_unique<TestDartSide>(controller_->engine());
  }
  void TearDown() override {
    dart_.reset();
    controller_->engine()->shutDown();
    controls::resetSharingPickers();
  }
  std::pair<TestDartSide::PendingCall, std::shared_ptr<NSSharingServicePicker>> share(
      Value arguments) {
    size_t before = controls::shownSharingPickers().size();
    auto pending = dart_->invokeMethodAsync(kChannel, "share", std::move(arguments));
    dart_->runUntil(
        [&] { return pending.ready() || controls::shownSharingPickers().size() > before; });
    auto pickers = controls::shownSharingPickers();
    return {pending, pickers.size() > before ? pickers.back() : nullptr};
  }

  std::shared_ptr<FlutterViewController> controller_;
  std::unique_ptr<TestDartSide> dart_;
};

TEST_F(ShareSheetTest, OffersTheUriThenThePathsThenTheText) {
  auto [uri, uri_picker] = share(ValueMap{{"uri", "https://x.test"}, {"text", "t"}});
  EXPECT_EQ(uri_picker->items(), std::vector<NSSharingItem>{std::string("https://x.test")});
  auto [paths, paths_picker] =
      share(ValueMap{{"uri", int32_t{1}}, {"paths", ValueList{"/a/b.txt", "/c"}}, {"text", "t"}});
  ASSERT_EQ(paths_picker->items().size(), 2u);
  EXPECT_EQ(std::get<NSURL>(paths_picker->items()[0]).path(), "/a/b.txt");
  auto [text, text_picker] = share(ValueMap{{"text", "hello"}, {"originX", 5.0},
                                            {"originWidth", 10.0}, {"originY", int32_t{3}}});
  EXPECT_EQ(text_picker->items(), std::vector<NSSharingItem>{std::string("hello")});
  EXPECT_EQ(text_picker->shownRect(), NSMakeRect(5, 0, 10, 0));
  EXPECT_EQ(text_picker->preferredEdge(), NSMaxYEdge);
  EXPECT_EQ(text_picker->shownView(), controller_->view());
  auto [empty, empty_picker] = share(ValueMap{{"paths", ValueList{}}});
  ASSERT_NE(empty_picker, nullptr);
  EXPECT_TRUE(empty_picker->items().empty());

  // Two open shares are answered once each, with their own choice.
  controls::chooseSharingService(*text_picker, "Mail");
  controls::dismissSharingPicker(*uri_picker);
  controls::chooseSharingService(*paths_picker, "AirDrop");
  controls::chooseSharingService(*empty_picker, "Notes");
  EXPECT_EQ(text.wait().value, Value("Mail"));
  EXPECT_EQ(uri.wait().value, Value(""));
  EXPECT_EQ(paths.wait().value, Value("AirDrop"));
  EXPECT_EQ(empty.wait().value, Value("Notes"));
  EXPECT_FALSE(controls::dismissSharingPicker(*uri_picker));
}

TEST_F(ShareSheetTest, SubjectsAndErrors) {
  auto [first, picker] = share(ValueMap{{"text", "t"}, {"subject", "plain"}});
  EXPECT_EQ(controls::chooseSharingService(*picker, "Mail")->subject(), "plain");
  first.wait();
  auto [second, preferred] =
      share(ValueMap{{"text", "t"}, {"subject", "plain"}, {kPreferredSubjectKey, "wins"}});
  EXPECT_EQ(controls::chooseSharingService(*preferred, "Mail")->subject(), "wins");
  second.wait();

  for (Value arguments : {Value(ValueMap{{"subject", "s"}}), Value(), Value("text")}) {
    auto reply = dart_->invokeMethod(kChannel, "share", arguments);
    EXPECT_EQ(reply.error.code, "error");
    EXPECT_EQ(reply.error.message, "No content to share");
  }
  EXPECT_TRUE(dart_->invokeMethod(kChannel, "other", ValueMap{}).isNotImplemented());
}

TEST_F(ShareSheetTest, MistypedContentFallsThroughAndEachShareIsAnsweredOnce) {
  // A path list with a non-string element counts as absent: the text is shared.
  auto [text, text_picker] = share(ValueMap{{"paths", ValueList{"/a", int32_t{2}}}, {"text", "t"}});
  ASSERT_NE(text_picker, nullptr);
  EXPECT_EQ(text_picker->items(), std::vector<NSSharingItem>{std::string("t")});
  // Mistyped everything: no content, and no picker.
  size_t shown = controls::shownSharingPickers().size();
  auto reply = dart_->invokeMethod(
      kChannel, "share", ValueMap{{"uri", 1.0}, {"paths", "/a"}, {"text", ValueList{"t"}}});
  EXPECT_EQ(reply.error.message, "No content to share");
  EXPECT_EQ(controls::shownSharingPickers().size(), shown);

  // Without a subject the chosen service keeps its own; the answer is its title.
  auto service = controls::chooseSharingService(*text_picker, "Messages");
  ASSERT_NE(service, nullptr);
  EXPECT_EQ(text.wait().value, Value("Messages"));
  // The picker has gone: neither a later choice nor a dismissal answers again.
  EXPECT_EQ(controls::chooseSharingService(*text_picker, "Mail"), nullptr);
  EXPECT_FALSE(controls::dismissSharingPicker(*text_picker));
  dart_->drain();

  auto [dismissed, picker] = share(ValueMap{{"uri", "mailto:x@y.test"}});
  EXPECT_TRUE(controls::dismissSharingPicker(*picker));
  auto answer = dismissed.wait();
  EXPECT_TRUE(answer.isSuccess());
  EXPECT_EQ(answer.value, Value(""));
  EXPECT_TRUE(controls::openSharingPickers().empty());
}

}  // namespace
}  // namespace share_sheet_macos
