// The file-picking plug-in through its channel: the entitlement gate, the panels' settings and
// the answers' shapes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/appkit/appkit.h"
#include "platform/appkit/testing/file_panel_controls.h"
#include "platform/appkit/testing/window_system_controls.h"
#include "platform/flutter/flutter.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "platform/security/testing/sec_task_controls.h"
#include "plugins/file_dialog/file_dialog_plugin.h"

namespace file_dialog {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;
using flutter::testing::MethodReply;
using flutter::testing::TestDartSide;
namespace controls = appkit::testing;
namespace fs = std::filesystem;

constexpr const char* kChannel = "pendrathorn.flutter.plugins.filedialog";
const std::string kReadOnly = "com.apple.security.files.user-selected.read-only";
const std::string kReadWrite = "com.apple.security.files.user-selected.read-write";

class FileDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    controls::resetWindowSystem();
    controls::resetFilePanels();
    security::testing::resetTaskEntitlements();
    root_ = fs::temp_directory_path() / ("file_dialog_test_" + std::to_string(::getpid()));
    fs::create_directories(root_);
    foundation::testing::setUserDirectoriesRoot(root_.string());
    window_ = std::make_shared<NSWindow>(NSMakeRect(0, 0, 800, 600), NSWindowStyleMaskTitled,
                                         NSBackingStoreBuffered, false);
    controller_ = std::make_shared<FlutterViewController>();
    window_->setContentViewController(controller_);
    FileDialogPlugin::registerWithRegistrar(*controller_->registrarForPlugin("FileDialogPlugin"));
    dart_ = std::make_unique<TestDartSide>(controller_->engine());
  }

  void TearDown() override {
    dart_.reset();
    controller_->engine()->shutDown();
    controls::resetFilePanels();
    security::testing::resetTaskEntitlements();
    foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
    foundation::testing::setUserDirectoriesRoot(std::nullopt);
    fs::remove_all(root_);
  }

  // Calls the method and waits until its panel is shown (or the call is answered).
  std::pair<TestDartSide::PendingCall, std::shared_ptr<NSSavePanel>> open(const std::string& method,
                                                                          Value arguments = {}) {
    auto pending = dart_->invokeMethodAsync(kChannel, method, std::move(arguments));
    dart_->runUntil([&] { return pending.ready() || !controls::openPanels().empty(); });
    auto panels = controls::openPanels();
    return {pending, panels.empty() ? nullptr : panels.back().panel};
  }

  MethodReply gated(const std::string& method) {
    auto [pending, panel] = open(method);
    EXPECT_EQ(panel, nullptr) << method;
    if (panel) controls::cancelPanel(*panel);
    return pending.wait();
  }

  void expectPanelReached(const std::string& method) {
    auto [pending, panel] = open(method);
    ASSERT_NE(panel, nullptr) << method;
    controls::cancelPanel(*panel);
    auto reply = pending.wait();
    ASSERT_TRUE(reply.isSuccess()) << method;
    EXPECT_TRUE(reply.value.isNull());
  }

  std::string makeFile(const std::string& name, size_t size) {
    auto path = root_ / name;
    std::ofstream(path) << std::string(size, 'x');
    return path.string();
  }

  fs::path root_;
  std::shared_ptr<NSWindow> window_;
  std::shared_ptr<FlutterViewController> controller_;
  std::unique_ptr<TestDartSide> dart_;
};

TEST_F(FileDialogTest, TheGateAnswersItsErrorsWithoutShowingAPanel) {
  security::testing::removeEntitlement(kReadWrite);
  security::testing::setEntitlement(kReadOnly, true);
  for (const char* method : {"any", "image", "dir", "getDirectoryPath", "pickFileAndDirectoryPaths"}) {
    expectPanelReached(method);
  }
  for (const char* method : {"save", "saveFile"}) {
    EXPECT_EQ(gated(method).error.code, "ENTITLEMENT_REQUIRED_WRITE");
  }
  // False and non-Boolean values count as missing.
  security::testing::setEntitlement(kReadWrite, false);
  security::testing::setEntitlement(kReadOnly, "yes");
  auto reply = gated("any");
  EXPECT_EQ(reply.error.code, "ENTITLEMENT_NOT_FOUND");
  EXPECT_EQ(reply.error.message,
            "Either the Read-Only or Read-Write entitlement is required for this action.");
  security::testing::failTaskCreation(true);
  reply = gated("dir");
  EXPECT_EQ(reply.error.code, "ENTITLEMENT_CHECK_FAILED");
  EXPECT_EQ(reply.error.message, "Failed to verify file_dialog entitlements.");
  EXPECT_TRUE(controls::shownPanels().size() == 5);

  // "clear" changes nothing; "skipEntitlementsChecks" lets everything through.
  EXPECT_TRUE(dart_->invokeMethod(kChannel, "clear", Value(int32_t{3})).value.isNull());
  EXPECT_EQ(gated("save").error.code, "ENTITLEMENT_CHECK_FAILED");
  EXPECT_TRUE(dart_->invokeMethod(kChannel, "skipEntitlementsChecks").isSuccess());
  expectPanelReached("save");
  expectPanelReached("any");
}

TEST_F(FileDialogTest, UnknownNamesAreNotImplementedAndTheEventStreamIsQuiet) {
  for (const char* method : {"Save", "", "pick"}) {
    EXPECT_TRUE(dart_->invokeMethod(kChannel, method).isNotImplemented()) << method;
  }
  EXPECT_TRUE(dart_->listen("pendrathorn.flutter.plugins.filedialogevent").isSuccess());
  expectPanelReached("any");
  EXPECT_TRUE(dart_->events("pendrathorn.flutter.plugins.filedialogevent").empty());
  EXPECT_TRUE(dart_->cancel("pendrathorn.flutter.plugins.filedialogevent").isSuccess());
}

TEST_F(FileDialogTest, OpenFilesPanelReadsArgumentsAndAnswersFileInfoMaps) {
  auto small = makeFile("a.txt", 3), big = makeFile("b c.txt", 2000);
  // "allowMultipleSelection" wins over "allowMultiple" when it is a Boolean.
  auto [single, panel] =
      open("any", ValueMap{{"allowMultipleSelection", false}, {"allowMultiple", true},
                           {"dialogTitle", "Pick"}, {"initialDirectory", "/no/such"}});
  auto open_panel = std::dynamic_pointer_cast<NSOpenPanel>(panel);
  ASSERT_NE(open_panel, nullptr);
  EXPECT_FALSE(open_panel->allowsMultipleSelection());
  EXPECT_EQ(open_panel->title(), "Pick");
  EXPECT_EQ(open_panel->message(), "Pick");
  EXPECT_EQ(open_panel->directoryURL()->path(), "/no/such");
  EXPECT_FALSE(open_panel->canChooseDirectories());
  EXPECT_EQ(controls::openPanels().back().presentation, controls::PanelPresentation::sheet);
  EXPECT_EQ(controls::openPanels().back().sheetWindow, window_);
  ASSERT_TRUE(controls::confirmPanel(*panel, {NSURL::fileURLWithPath(small)}));
  EXPECT_EQ(single.wait().value,
            Value(ValueList{ValueMap{{"path", small}, {"name", "a.txt"}, {"size", int64_t{3}}}}));

  auto [several, second] = open(
      "any", ValueMap{{"allowMultipleSelection", "yes"}, {"allowMultiple", true},
                      {"initialDirectory", ""}});
  EXPECT_TRUE(std::dynamic_pointer_cast<NSOpenPanel>(second)->allowsMultipleSelection());
  // An empty directory counts as absent: a sandboxed process opens at its home.
  EXPECT_EQ(second->directoryURL()->path(), root_.string());
  std::string missing = (root_ / "gone.txt").string();
  controls::confirmPanel(*second, {NSURL::fileURLWithPath(big), NSURL::fileURLWithPath(missing)});
  auto reply = several.wait();
  ASSERT_EQ(reply.value.asList()->size(), 2u);
  EXPECT_EQ(*(*reply.value.asList())[0].find("size"), Value(int64_t{2000}));
  EXPECT_EQ(*(*reply.value.asList())[0].find("name"), Value("b c.txt"));
  EXPECT_EQ(*(*reply.value.asList())[1].find("size"), Value(int64_t{0}));

  // An empty confirmation answers nil, like a cancel.
  auto [empty, third] = open("image");
  controls::confirmPanel(*third, {});
  EXPECT_TRUE(empty.wait().value.isNull());
}

TEST_F(FileDialogTest, DirectoryAndMixedPanelsAnswerPaths) {
  auto [mixed, panel] = open("pickFileAndDirectoryPaths", ValueMap{{"dialogTitle", "Both"}});
  auto open_panel = std::dynamic_pointer_cast<NSOpenPanel>(panel);
  EXPECT_TRUE(open_panel->allowsMultipleSelection());
  EXPECT_TRUE(open_panel->canChooseDirectories());
  controls::confirmPanel(*panel, {NSURL::fileURLWithPath(root_.string(), true)});
  EXPECT_EQ(mixed.wait().value, Value(ValueList{root_.string()}));

  auto [directory, dir_panel] = open("dir", ValueMap{{"dialogTitle", "Folder"}});
  EXPECT_FALSE(std::dynamic_pointer_cast<NSOpenPanel>(dir_panel)->canChooseFiles());
  EXPECT_EQ(dir_panel->titleVisibility(), NSWindowTitleVisible);
  controls::confirmPanel(*dir_panel, {NSURL::fileURLWithPath(root_.string(), true)});
  EXPECT_EQ(directory.wait().value, Value(root_.string()));
}

TEST_F(FileDialogTest, TypeFiltersOnBothSidesOfMacOS11) {
  auto filterOf = [&](const std::string& method, Value arguments) {
    auto [pending, panel] = open(method, std::move(arguments));
    controls::cancelPanel(*panel);
    pending.wait();
    return panel;
  };
  auto pdfOnly = ValueMap{{"allowedExtensions", ValueList{"pdf"}}};
  auto image = filterOf("image", pdfOnly);
  EXPECT_EQ(image->allowedContentTypes(), std::vector<UTType>{UTType::image()});
  EXPECT_TRUE(image->allowedFileTypes().empty());
  EXPECT_EQ(filterOf("media", {})->allowedContentTypes().size(), 4u);
  EXPECT_TRUE(filterOf("custom", ValueMap{{"allowedExtensions", ValueList{"zzz"}}})
                  ->allowedContentTypes()
                  .empty());
  auto save = filterOf("save", ValueMap{{"fileName", "report.pdf"}});
  EXPECT_EQ(save->allowedContentTypes(), std::vector<UTType>{UTType::pdf()});
  EXPECT_EQ(save->title(), "");
  EXPECT_EQ(save->nameFieldStringValue(), "report.pdf");
  EXPECT_TRUE(filterOf("save", ValueMap{{"fileName", "notes"}})->allowedContentTypes().empty());

  foundation::testing::setEmulatedOperatingSystemVersion({10, 15, 0});
  EXPECT_EQ(filterOf("image", pdfOnly)->allowedFileTypes(), std::vector<std::string>{"pdf"});
  auto media = filterOf("media", {})->allowedFileTypes();
  EXPECT_EQ(media.size(), 14u);
  EXPECT_EQ(std::count(media.begin(), media.end(), "heic"), 0);
  EXPECT_EQ(std::count(media.begin(), media.end(), "mp3"), 0);
  EXPECT_EQ(filterOf("audio", {})->allowedFileTypes().size(), 7u);
  EXPECT_TRUE(filterOf("any", {})->allowedFileTypes().empty());
  EXPECT_EQ(filterOf("save", ValueMap{{"fileName", "x.pdf"}})->allowedFileTypes(),
            std::vector<std::string>{"pdf"});
}

TEST_F(FileDialogTest, WithoutAHostWindowThePanelIsNotShownAndTheAnswerIsNil) {
  dart_.reset();
  controller_->engine()->shutDown();
  controller_ = std::make_shared<FlutterViewController>();
  FileDialogPlugin::registerWithRegistrar(*controller_->registrarForPlugin("FileDialogPlugin"));
  dart_ = std::make_unique<TestDartSide>(controller_->engine());
  auto [pending, panel] = open("any");
  EXPECT_EQ(panel, nullptr);
  auto reply = pending.wait();
  EXPECT_TRUE(reply.isSuccess());
  EXPECT_TRUE(reply.value.isNull());
}

TEST_F(FileDialogTest, TheEntitlementTableRowByRow) {
  const std::vector<std::string> readers = {"any",   "image", "video",    "audio",
                                            "custom", "media", "pickFiles", "dir",
                                            "getDirectoryPath", "pickFileAndDirectoryPaths"};
  const std::vector<std::string> writers = {"save", "saveFile"};
  // The default bundle declares user-selected read-write files: every row passes.
  for (const auto& method : readers) expectPanelReached(method);
  for (const auto& method : writers) expectPanelReached(method);

  // Nothing granted: readers and writers answer their own errors and no panel is shown.
  security::testing::removeEntitlement(kReadWrite);
  security::testing::removeEntitlement(kReadOnly);
  size_t shown = controls::shownPanels().size();
  for (const auto& method : readers) {
    EXPECT_EQ(gated(method).error.code, "ENTITLEMENT_NOT_FOUND") << method;
  }
  for (const auto& method : writers) {
    auto reply = gated(method);
    EXPECT_EQ(reply.error.code, "ENTITLEMENT_REQUIRED_WRITE") << method;
    EXPECT_EQ(reply.error.message, "The Read-Write entitlement is required for this action.");
    EXPECT_TRUE(reply.error.details.isNull());
  }
  // Read-only does not grant writing, even with read-write present but not a Boolean.
  security::testing::setEntitlement(kReadOnly, true);
  security::testing::setEntitlement(kReadWrite, int32_t{1});
  EXPECT_EQ(gated("saveFile").error.code, "ENTITLEMENT_REQUIRED_WRITE");
  // Read-write alone grants both.
  security::testing::removeEntitlement(kReadOnly);
  security::testing::setEntitlement(kReadWrite, true);
  shown = controls::shownPanels().size();
  expectPanelReached("saveFile");
  expectPanelReached("dir");
  EXPECT_EQ(controls::shownPanels().size(), shown + 2);
  // A task that cannot be created fails every row the same way, arguments notwithstanding.
  security::testing::failTaskCreation(true);
  shown = controls::shownPanels().size();
  for (const auto& method : {"pickFiles", "saveFile"}) {
    auto [pending, panel] = open(method, ValueMap{{"dialogTitle", "T"}});
    EXPECT_EQ(panel, nullptr);
    EXPECT_EQ(pending.wait().error.code, "ENTITLEMENT_CHECK_FAILED") << method;
  }
  EXPECT_EQ(controls::shownPanels().size(), shown);
}

TEST_F(FileDialogTest, MultipleSelectionArgumentsAndUntrustedShapes) {
  auto allowsMultiple = [&](Value arguments) {
    auto [pending, panel] = open("pickFiles", std::move(arguments));
    auto open_panel = std::dynamic_pointer_cast<NSOpenPanel>(panel);
    EXPECT_NE(open_panel, nullptr);
    if (!open_panel) return false;
    controls::cancelPanel(*panel);
    EXPECT_TRUE(pending.wait().value.isNull());
    return open_panel->allowsMultipleSelection();
  };
  EXPECT_TRUE(allowsMultiple(ValueMap{{"allowMultiple", true}}));
  EXPECT_TRUE(allowsMultiple(ValueMap{{"allowMultipleSelection", true}, {"allowMultiple", false}}));
  EXPECT_FALSE(allowsMultiple(ValueMap{{"allowMultipleSelection", false}, {"allowMultiple", true}}));
  EXPECT_FALSE(allowsMultiple(ValueMap{{"allowMultiple", int32_t{1}}}));
  EXPECT_FALSE(allowsMultiple(ValueMap{}));
  // Arguments that are not a map, or keys and values of the wrong types, read as absent.
  EXPECT_FALSE(allowsMultiple(Value(ValueList{"allowMultiple", true})));
  EXPECT_FALSE(allowsMultiple(Value("allowMultiple")));
  EXPECT_FALSE(allowsMultiple(ValueMap{{int32_t{7}, true}, {"dialogTitle", 3.5}}));

  auto [pending, panel] = open("custom", ValueMap{{"allowedExtensions", ValueList{"pdf", 1}},
                                                  {"dialogTitle", ValueList{}}});
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(panel->allowedContentTypes().empty());
  EXPECT_EQ(panel->title(), "");
  controls::cancelPanel(*panel);
  EXPECT_TRUE(pending.wait().value.isNull());
}

TEST_F(FileDialogTest, SaveAndDirectoryPanelsAnswerAPathOrNil) {
  auto [saved, panel] = open("saveFile", ValueMap{{"dialogTitle", "Save it"},
                                                  {"fileName", "a.pdf"},
                                                  {"allowedExtensions", ValueList{"txt"}}});
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(std::dynamic_pointer_cast<NSOpenPanel>(panel), nullptr);
  EXPECT_EQ(panel->title(), "Save it");
  EXPECT_TRUE(panel->canCreateDirectories());
  EXPECT_TRUE(panel->isExtensionHidden());
  // The listed extensions win over the file name's.
  ASSERT_EQ(panel->allowedContentTypes().size(), 1u);
  EXPECT_NE(panel->allowedContentTypes()[0], UTType::pdf());
  std::string target = (root_ / "out file.txt").string();
  controls::confirmPanel(*panel, {NSURL::fileURLWithPath(target)});
  EXPECT_EQ(saved.wait().value, Value(target));

  auto [cancelled, save_panel] = open("save");
  controls::cancelPanel(*save_panel);
  auto reply = cancelled.wait();
  EXPECT_TRUE(reply.isSuccess());
  EXPECT_TRUE(reply.value.isNull());

  auto [directory, dir_panel] = open("getDirectoryPath");
  controls::cancelPanel(*dir_panel);
  EXPECT_TRUE(directory.wait().value.isNull());
  auto [nothing, mixed_panel] = open("pickFileAndDirectoryPaths");
  controls::confirmPanel(*mixed_panel, {});
  EXPECT_TRUE(nothing.wait().value.isNull());
  // Several files and folders answer their paths in the order chosen.
  auto [several, several_panel] = open("pickFileAndDirectoryPaths");
  controls::confirmPanel(*several_panel, {NSURL::fileURLWithPath("/z"),
                                          NSURL::fileURLWithPath(root_.string(), true)});
  EXPECT_EQ(several.wait().value, Value(ValueList{"/z", root_.string()}));
}

TEST_F(FileDialogTest, TypeFiltersAtTheVersionBoundary) {
  auto panelFor = [&](const std::string& method, Value arguments) {
    auto [pending, panel] = open(method, std::move(arguments));
    controls::cancelPanel(*panel);
    pending.wait();
    return panel;
  };
  foundation::testing::setEmulatedOperatingSystemVersion({11, 0, 0});
  EXPECT_EQ(panelFor("video", {})->allowedContentTypes(),
            (std::vector<UTType>{UTType::movie(), UTType::video()}));
  auto custom = panelFor("custom", ValueMap{{"allowedExtensions", ValueList{"pdf", "zzz"}}});
  EXPECT_EQ(custom->allowedContentTypes(), std::vector<UTType>{UTType::pdf()});
  EXPECT_TRUE(custom->allowedFileTypes().empty());
  EXPECT_TRUE(panelFor("any", {})->allowedContentTypes().empty());

  foundation::testing::setEmulatedOperatingSystemVersion({10, 15, 7});
  auto legacy = panelFor("custom", ValueMap{{"allowedExtensions", ValueList{"pdf", "zzz"}}});
  EXPECT_EQ(legacy->allowedFileTypes(), (std::vector<std::string>{"pdf", "zzz"}));
  EXPECT_TRUE(legacy->allowedContentTypes().empty());
  EXPECT_EQ(panelFor("video", {})->allowedFileTypes().size(), 8u);
  EXPECT_EQ(panelFor("image", {})->allowedFileTypes().size(), 7u);
  EXPECT_TRUE(panelFor("save", ValueMap{{"fileName", "notes"}})->allowedFileTypes().empty());
  EXPECT_EQ(panelFor("save", ValueMap{{"fileName", "a.b/c.tar.gz"}})->allowedFileTypes(),
            std::vector<std::string>{"gz"});
  EXPECT_TRUE(panelFor("save", ValueMap{{"fileName", ".hidden"}})->allowedFileTypes().empty());
}

}  // namespace
}  // namespace file_dialog
