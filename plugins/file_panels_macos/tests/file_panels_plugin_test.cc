// The file selector: its message layer byte for byte, and its panels through the channels.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/appkit/appkit.h"
#include "platform/appkit/testing/file_panel_controls.h"
#include "platform/flutter/flutter.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "plugins/file_panels_macos/file_panels_plugin.h"

namespace file_panels_macos {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;
using flutter::testing::TestDartSide;
namespace controls = appkit::testing;

const std::string kOpen = "dev.flutter.pigeon.file_panels_macos.FilePanelsApi.displayOpenPanel";
const std::string kSave = "dev.flutter.pigeon.file_panels_macos.FilePanelsApi.displaySavePanel";

uint64_t hashOf(const Value& value) {
  Hasher hasher;
  deepHash(value, hasher);
  return hasher.finalize();
}

TEST(FilePanelsMessagesTest, RecordsByteForByte) {
  auto codec = MessagesPigeonCodec();
  SavePanelOptions save;
  save.allowedFileTypes = AllowedTypes{{"txt"}, {}, {}};
  save.canCreateDirectories = false;
  OpenPanelOptions open{true, false, true, save};
  FlutterBytes expected = {131, 12, 4, 1, 2, 1,                      // three Booleans
                           130, 12, 5,                               // SavePanelOptions
                           129, 12, 3, 12, 1, 7, 3, 't', 'x', 't',  // AllowedTypes
                           12, 0, 12, 0, 0, 0, 0, 2};
  EXPECT_EQ(codec->encode(wrapRecord(open)), expected);
  auto decoded = codec->decode(expected).asCustom<RecordValue<OpenPanelOptions>>();
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->record(), open);
  // Nil optional fields decode as absent; short or mistyped records are refused.
  auto bare = codec->decode(FlutterBytes{130, 12, 5, 0, 0, 0, 0, 0});
  EXPECT_EQ(bare.asCustom<RecordValue<SavePanelOptions>>()->record(), SavePanelOptions{});
  EXPECT_THROW(codec->decode(FlutterBytes{130, 12, 4, 0, 0, 0, 0}), FlutterCodecError);
  EXPECT_THROW(codec->decode(FlutterBytes{129, 12, 3, 12, 1, 3, 1, 0, 0, 0, 12, 0, 12, 0}),
               FlutterCodecError);
  EXPECT_EQ(AllowedTypes({{"a"}, {}, {"u"}}).description(),
            "AllowedTypes(extensions: [\"a\"], mimeTypes: [], utis: [\"u\"])");
}

TEST(FilePanelsMessagesTest, DeepEqualityAndHash) {
  double nan = std::nan("");
  EXPECT_TRUE(deepEquals(Value(ValueList{nan}), Value(ValueList{nan})));
  EXPECT_TRUE(deepEquals(Value(std::vector<double>{nan, 0.0}), Value(std::vector<double>{nan, -0.0})));
  EXPECT_EQ(hashOf(Value(ValueList{nan})), hashOf(Value(ValueList{-nan})));
  EXPECT_TRUE(deepEquals(Value(0.0), Value(-0.0)));
  EXPECT_EQ(hashOf(Value(0.0)), hashOf(Value(-0.0)));
  EXPECT_FALSE(deepEquals(Value(int32_t{1}), Value(int64_t{1})));
  Value ab = ValueMap{{"a", 1.0}, {"b", ValueList{"x"}}};
  Value ba = ValueMap{{"b", ValueList{"x"}}, {"a", 1.0}};
  EXPECT_TRUE(deepEquals(ab, ba));
  EXPECT_EQ(hashOf(ab), hashOf(ba));
  EXPECT_TRUE(deepEquals(Value(), Value()));
  EXPECT_FALSE(deepEquals(Value(), Value(false)));

  AllowedTypes one{{"a", "b"}, {}, {}}, same{{"a", "b"}, {}, {}}, swapped{{"b", "a"}, {}, {}};
  EXPECT_EQ(one, same);
  EXPECT_EQ(one.hash(), same.hash());
  EXPECT_NE(one, swapped);
}

class FilePanelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    controls::resetFilePanels();
    controller_ = std::make_shared<FlutterViewController>();
    window_ = std::make_shared<NSWindow>(NSMakeRect(0, 0, 800, 600), NSWindowStyleMaskTitled,
                                         NSBackingStoreBuffered, false);
    window_->setContentViewController(controller_);
    FilePanelsPlugin::registerWithRegistrar(*controller_->registrarForPlugin("FilePanelsPlugin"));
    dart_ = std::make_unique<TestDartSide>(controller_->engine());
  }
  void TearDown() override {
    dart_.reset();
    controller_->engine()->shutDown();
    controls::resetFilePanels();
    foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
  }
  // Sends the request and answers its sheet with `urls` (none: cancel).
  std::pair<Value, std::shared_ptr<NSSavePanel>> request(
      const std::string& channel, Value options, std::optional<std::vector<NSURL>> urls) {
    auto pending = dart_->sendBinary(channel, MessagesPigeonCodec()->encode(ValueList{options}));
    dart_->runUntil([&] { return pending.ready() || !controls::openPanels().empty(); });
    auto panels = controls::openPanels();
    if (panels.empty()) return {Value("no sheet"), nullptr};
    EXPECT_EQ(panels.back().presentation, controls::PanelPresentation::sheet);
    if (urls) {
      controls::confirmPanel(*panels.back().panel, *urls);
    } else {
      controls::cancelPanel(*panels.back().panel);
    }
    auto reply = pending.wait();
    return {reply ? MessagesPigeonCodec()->decode(*reply) : Value("no reply"),
            panels.back().panel};
  }

  std::shared_ptr<FlutterViewController> controller_;
  std::shared_ptr<NSWindow> window_;
  std::unique_ptr<TestDartSide> dart_;
};

TEST_F(FilePanelsTest, OpenAndSaveAnswersAndOptions) {
  SavePanelOptions base;
  base.nameFieldStringValue = "ignored";
  base.directoryPath = "/tmp";
  base.prompt = "Pick";
  base.allowedFileTypes = AllowedTypes{{"png", "zzz"}, {"application/pdf"}, {"public.movie"}};
  auto [cancelled, panel] = request(kOpen, wrapRecord(OpenPanelOptions{true, true, false, base}),
                                    std::nullopt);
  EXPECT_EQ(cancelled, Value(ValueList{ValueList{}}));
  EXPECT_EQ(panel->nameFieldStringValue(), "");
  EXPECT_EQ(panel->prompt(), "Pick");
  EXPECT_EQ(panel->directoryURL()->path(), "/tmp");
  EXPECT_TRUE(panel->canCreateDirectories());
  auto types = panel->allowedContentTypes();
  ASSERT_EQ(types.size(), 3u);
  EXPECT_EQ(types[0], UTType::movie());
  EXPECT_EQ(types[1].identifier(), "public.png");
  EXPECT_EQ(types[2], UTType::pdf());

  auto [chosen, _] = request(kOpen, wrapRecord(OpenPanelOptions{true, false, true, {}}),
                             std::vector<NSURL>{NSURL::fileURLWithPath("/b"),
                                                NSURL::fileURLWithPath("/a")});
  EXPECT_EQ(chosen, Value(ValueList{ValueList{"/b", "/a"}}));

  SavePanelOptions save = base;
  save.canCreateDirectories = false;
  auto [saved, save_panel] =
      request(kSave, wrapRecord(save), std::vector<NSURL>{NSURL::fileURLWithPath("/x y")});
  EXPECT_EQ(saved, Value(ValueList{"/x y"}));
  EXPECT_EQ(save_panel->nameFieldStringValue(), "ignored");
  EXPECT_FALSE(save_panel->canCreateDirectories());
  auto [none, __] = request(kSave, wrapRecord(SavePanelOptions{}), std::nullopt);
  EXPECT_EQ(none, Value(ValueList{Value()}));

  foundation::testing::setEmulatedOperatingSystemVersion({10, 15, 0});
  auto [legacy, legacy_panel] = request(kSave, wrapRecord(base), std::nullopt);
  EXPECT_EQ(legacy_panel->allowedFileTypes(),
            (std::vector<std::string>{"png", "zzz", "public.movie"}));
  EXPECT_TRUE(legacy_panel->allowedContentTypes().empty());
}

TEST_F(FilePanelsTest, WithoutAWindowThePanelRunsModally) {
  // A Flutter view in no window.
  dart_.reset();
  controller_->engine()->shutDown();
  controller_ = std::make_shared<FlutterViewController>();
  FilePanelsPlugin::registerWithRegistrar(*controller_->registrarForPlugin("FilePanelsPlugin"));
  dart_ = std::make_unique<TestDartSide>(controller_->engine());

  controls::queueModalAnswer(NSModalResponseOK, {NSURL::fileURLWithPath("/chosen")});
  auto reply = dart_->sendMessage(kSave, ValueList{wrapRecord(SavePanelOptions{})},
                                  MessagesPigeonCodec());
  EXPECT_EQ(reply, Value(ValueList{"/chosen"}));
  EXPECT_EQ(controls::shownPanels().back().presentation, controls::PanelPresentation::modal);
  // Nothing queued: the modal run is cancelled.
  reply = dart_->sendMessage(kOpen, ValueList{wrapRecord(OpenPanelOptions{})},
                             MessagesPigeonCodec());
  EXPECT_EQ(reply, Value(ValueList{ValueList{}}));
}

TEST_F(FilePanelsTest, MalformedMessagesAndSuffixedChannels) {
  for (Value message : {Value(), Value(ValueList{}), Value(ValueList{"options"})}) {
    auto reply = dart_->sendMessage(kOpen, message, MessagesPigeonCodec());
    ASSERT_TRUE(reply && reply->asList() && reply->asList()->size() == 3);
    EXPECT_EQ((*reply->asList())[0], Value("invalid-argument"));
  }
  auto plugin = std::make_shared<FilePanelsPlugin>(nullptr, nullptr);
  FilePanelsApiSetup::setUp(controller_->engine()->binaryMessenger(), plugin, "second");
  FilePanelsApiSetup::setUp(controller_->engine()->binaryMessenger(), nullptr, "second");
  EXPECT_FALSE(dart_->sendMessage(kSave + ".second", ValueList{wrapRecord(SavePanelOptions{})},
                                  MessagesPigeonCodec(), std::chrono::milliseconds(200)));
}

}  // namespace
}  // namespace file_panels_macos
