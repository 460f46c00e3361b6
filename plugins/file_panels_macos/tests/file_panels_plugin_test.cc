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

TEST(FilePanelsMessagesTest, AFullSaveRecordAndNestedValuesByteForByte) {
  auto codec = MessagesPigeonCodec();
  SavePanelOptions full;
  full.allowedFileTypes = AllowedTypes{{}, {"image/png"}, {}};
  full.directoryPath = "/tmp";
  full.nameFieldStringValue = "n";
  full.prompt = "p";
  full.canCreateDirectories = true;
  FlutterBytes expected = {130, 12, 5,                                   // SavePanelOptions
                           129, 12, 3, 12, 0,                            // AllowedTypes
                           12, 1, 7, 9, 'i', 'm', 'a', 'g', 'e', '/', 'p', 'n', 'g', 12, 0,
                           7, 4, '/', 't', 'm', 'p', 7, 1, 'n', 7, 1, 'p', 1};
  EXPECT_EQ(codec->encode(wrapRecord(full)), expected);
  auto decoded = codec->decode(expected).asCustom<RecordValue<SavePanelOptions>>();
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->record(), full);
  EXPECT_EQ(decoded->record().hash(), full.hash());
  // A record inside a standard list and map keeps its type code.
  EXPECT_EQ(codec->encode(Value(ValueList{wrapRecord(AllowedTypes{})})),
            (FlutterBytes{12, 1, 129, 12, 3, 12, 0, 12, 0, 12, 0}));
  // The wrong record where another is expected, a record that is not a list, and a mistyped
  // Boolean are refused.
  EXPECT_THROW(codec->decode(FlutterBytes{131, 12, 4, 1, 2, 1, 129, 12, 3, 12, 0, 12, 0, 12, 0}),
               FlutterCodecError);
  EXPECT_THROW(codec->decode(FlutterBytes{129, 7, 1, 'x'}), FlutterCodecError);
  EXPECT_THROW(codec->decode(FlutterBytes{130, 12, 5, 0, 0, 0, 0, 3, 1, 0, 0, 0}),
               FlutterCodecError);
  EXPECT_EQ(SavePanelOptions{}.description(),
            "SavePanelOptions(allowedFileTypes: nil, directoryPath: nil, nameFieldStringValue: "
            "nil, prompt: nil, canCreateDirectories: nil)");
}

TEST(FilePanelsMessagesTest, DeepEqualityAndHashInsideCollections) {
  double nan = std::nan("");
  Value left = ValueMap{{"k", ValueList{nan, 0.0}}, {0.0, "zero"}};
  Value right = ValueMap{{-0.0, "zero"}, {"k", ValueList{-nan, -0.0}}};
  EXPECT_TRUE(deepEquals(left, right));
  EXPECT_EQ(hashOf(left), hashOf(right));
  EXPECT_FALSE(deepEquals(Value(ValueList{1.0}), Value(ValueList{1.0, 1.0})));
  EXPECT_FALSE(deepEquals(Value(ValueMap{{"a", 1.0}}), Value(ValueMap{{"b", 1.0}})));
  EXPECT_FALSE(deepEquals(Value(ValueMap{{"a", 1.0}}), Value(ValueList{"a", 1.0})));
  EXPECT_TRUE(deepEquals(Value(std::vector<float>{std::nanf("")}),
                         Value(std::vector<float>{std::nanf("")})));
  EXPECT_FALSE(deepEquals(Value(std::vector<double>{1.0}), Value(std::vector<float>{1.0f})));
  EXPECT_NE(hashOf(Value(ValueList{"a", "b"})), hashOf(Value(ValueList{"b", "a"})));

  SavePanelOptions a, b;
  a.prompt = "x";
  EXPECT_NE(a, b);
  b.prompt = "x";
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.hash(), b.hash());
  EXPECT_EQ(hashOf(wrapRecord(a)), hashOf(wrapRecord(b)));
  EXPECT_TRUE(deepEquals(wrapRecord(OpenPanelOptions{true, false, true, a}),
                         wrapRecord(OpenPanelOptions{true, false, true, b})));
  EXPECT_FALSE(deepEquals(wrapRecord(OpenPanelOptions{true, false, true, a}),
                          wrapRecord(OpenPanelOptions{false, false, true, a})));
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

  // The host answers a message on a channel nobody handles at once, with an empty reply: waiting
  // for that reply, rather than for a silence, proves the message reached the host.
  void expectNoHandlerAt(const std::string& channel) {
    auto pending = dart_->sendBinary(
        channel, MessagesPigeonCodec()->encode(ValueList{wrapRecord(SavePanelOptions{})}));
    auto reply = pending.wait();
    EXPECT_TRUE(pending.ready()) << channel << " was not answered";
    EXPECT_FALSE(reply) << channel << " was handled";
    EXPECT_TRUE(controls::openPanels().empty()) << channel;
  }
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
  expectNoHandlerAt(kSave + ".second");
}

TEST_F(FilePanelsTest, RepliesByteForByte) {
  auto answer = [&](const std::string& channel, Value options,
                    std::optional<std::vector<NSURL>> urls) {
    auto pending = dart_->sendBinary(channel, MessagesPigeonCodec()->encode(ValueList{options}));
    dart_->runUntil([&] { return pending.ready() || !controls::openPanels().empty(); });
    auto panels = controls::openPanels();
    EXPECT_EQ(panels.size(), 1u);
    if (panels.empty()) return FlutterBytes{};
    if (urls) {
      controls::confirmPanel(*panels.back().panel, *urls);
    } else {
      controls::cancelPanel(*panels.back().panel);
    }
    auto reply = pending.wait();
    return reply ? *reply : FlutterBytes{};
  };
  EXPECT_EQ(answer(kSave, wrapRecord(SavePanelOptions{}), std::vector{NSURL::fileURLWithPath("/a")}),
            (FlutterBytes{12, 1, 7, 2, '/', 'a'}));
  EXPECT_EQ(answer(kSave, wrapRecord(SavePanelOptions{}), std::nullopt), (FlutterBytes{12, 1, 0}));
  EXPECT_EQ(answer(kOpen, wrapRecord(OpenPanelOptions{true, false, true, {}}),
                   std::vector{NSURL::fileURLWithPath("/b"), NSURL::fileURLWithPath("/a")}),
            (FlutterBytes{12, 1, 12, 2, 7, 2, '/', 'b', 7, 2, '/', 'a'}));
  EXPECT_EQ(answer(kOpen, wrapRecord(OpenPanelOptions{}), std::vector<NSURL>{}),
            (FlutterBytes{12, 1, 12, 0}));

  // The wrong record for the operation, and bytes that do not decode, answer an error reply.
  auto reply = dart_->sendMessage(kOpen, ValueList{wrapRecord(SavePanelOptions{})},
                                  MessagesPigeonCodec());
  ASSERT_TRUE(reply && reply->asList() && reply->asList()->size() == 3);
  EXPECT_EQ((*reply->asList())[0], Value("invalid-argument"));
  auto garbage = dart_->sendBinary(kSave, FlutterBytes{131, 12, 1}).wait();
  ASSERT_TRUE(garbage);
  auto decoded = MessagesPigeonCodec()->decode(*garbage);
  ASSERT_TRUE(decoded.asList() && decoded.asList()->size() == 3);
  EXPECT_TRUE(controls::shownPanels().size() == 4);
}

TEST_F(FilePanelsTest, SuffixedChannelsAnswerBesideThePlainOnes) {
  auto registrar = controller_->registrarForPlugin("Suffixed");
  auto plugin = std::make_shared<FilePanelsPlugin>(std::make_shared<DefaultViewProvider>(*registrar),
                                                   std::make_shared<DefaultPanelController>());
  FilePanelsApiSetup::setUp(controller_->engine()->binaryMessenger(), plugin, "second");
  for (const std::string& channel : {kSave + ".second", kSave}) {
    SavePanelOptions options;
    options.prompt = channel;
    auto [answer, panel] =
        request(channel, wrapRecord(options), std::vector{NSURL::fileURLWithPath("/s")});
    ASSERT_NE(panel, nullptr) << channel;
    EXPECT_EQ(panel->prompt(), channel);
    EXPECT_EQ(answer, Value(ValueList{"/s"}));
  }
  auto [opened, _] = request(kOpen + ".second", wrapRecord(OpenPanelOptions{}), std::nullopt);
  EXPECT_EQ(opened, Value(ValueList{ValueList{}}));
  // An empty suffix is the plain name; a different suffix is not answered.
  expectNoHandlerAt(kSave + ".third");
  FilePanelsApiSetup::setUp(controller_->engine()->binaryMessenger(), nullptr, "second");
  auto [plain, __] = request(kOpen, wrapRecord(OpenPanelOptions{}), std::nullopt);
  EXPECT_EQ(plain, Value(ValueList{ValueList{}}));
}

}  // namespace
}  // namespace file_panels_macos
