// The file saver through its channel: the proposed name, and replacing files safely.
#include "plugins/file_export/file_export_plugin.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/appkit/appkit.h"
#include "platform/appkit/testing/file_panel_controls.h"
#include "platform/flutter/flutter.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "platform/foundation/testing/blocking_fifo.h"
#include "platform/foundation/testing/foundation_controls.h"

namespace file_export {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;
using flutter::testing::MethodReply;
using flutter::testing::TestDartSide;
namespace controls = appkit::testing;
namespace fs = std::filesystem;

class FileExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    controls::resetFilePanels();
    root_ = fs::temp_directory_path() / ("file_export_test_" + std::to_string(::getpid()));
    fs::create_directories(root_);
    foundation::testing::setUserDirectoriesRoot(root_.string());
    controller_ = std::make_shared<FlutterViewController>();
    FileExportPlugin::registerWithRegistrar(*controller_->registrarForPlugin("FileExportPlugin"));
    dart_ = std::make_unique<TestDartSide>(controller_->engine());
  }
  void TearDown() override {
    dart_.reset();
    controller_->engine()->shutDown();
    controls::resetFilePanels();
    foundation::testing::setUserDirectoriesRoot(std::nullopt);
    fs::remove_all(root_);
  }

  std::pair<TestDartSide::PendingCall, std::shared_ptr<NSSavePanel>> save(Value arguments) {
    auto pending = dart_->invokeMethodAsync("file_export", "saveAs", std::move(arguments));
    dart_->runUntil([&] { return pending.ready() || !controls::openPanels().empty(); });
    auto panels = controls::openPanels();
    return {pending, panels.empty() ? nullptr : panels.back().panel};
  }
  // Saves with the panel confirmed at `target`.
  MethodReply saveTo(Value arguments, const fs::path& target) {
    auto [pending, panel] = save(std::move(arguments));
    EXPECT_NE(panel, nullptr);
    if (panel) controls::confirmPanel(*panel, {NSURL::fileURLWithPath(target.string())});
    return pending.wait();
  }
  std::string proposedName(Value arguments) {
    auto [pending, panel] = save(std::move(arguments));
    std::string name = panel->nameFieldStringValue();
    controls::cancelPanel(*panel);
    EXPECT_TRUE(pending.wait().value.isNull());
    return name;
  }
  static std::string read(const fs::path& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
  }
  void write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

  fs::path root_;
  MethodReply reply_;
  std::shared_ptr<FlutterViewController> controller_;
  std::unique_ptr<TestDartSide> dart_;
};

TEST_F(FileExportTest, ArgumentsAndTheProposedName) {
  EXPECT_TRUE(dart_->invokeMethod("file_export", "save", ValueMap{}).isNotImplemented());
  auto reply = dart_->invokeMethod("file_export", "saveAs");
  EXPECT_EQ(reply.error.code, "Invalid Arguments");
  EXPECT_EQ(dart_->invokeMethod("file_export", "saveAs", ValueMap{{int32_t{1}, "x"}}).error.code,
            "Invalid Arguments");

  EXPECT_EQ(proposedName(ValueMap{{"fileExtension", "pdf"}}), "file.pdf");
  EXPECT_EQ(proposedName(ValueMap{{"name", "report"}, {"fileExtension", ".pdf"}}), "report.pdf");
  EXPECT_EQ(proposedName(ValueMap{{"name", "report"}, {"fileExtension", ""}}), "report");
  EXPECT_EQ(proposedName(ValueMap{
                {"name", "report"}, {"fileExtension", "pdf"}, {"includeExtension", false}}),
            "report");
  auto [pending, panel] = save(ValueMap{});
  EXPECT_EQ(panel->directoryURL()->path(), (root_ / "Desktop").string());
  EXPECT_EQ(panel->level(), NSMainMenuWindowLevel);
  EXPECT_TRUE(panel->allowsOtherFileTypes());
  EXPECT_EQ(controls::openPanels().back().presentation, controls::PanelPresentation::modeless);
  controls::cancelPanel(*panel);
  EXPECT_TRUE(pending.wait().value.isNull());
}

TEST_F(FileExportTest, SavesBytesOrACopyReplacingTheTarget) {
  fs::path target = root_ / "my report.txt";
  write(target, "old");
  auto reply = saveTo(ValueMap{{"bytes", std::vector<uint8_t>{'n', 'e', 'w'}}}, target);
  ASSERT_TRUE(reply.isSuccess()) << reply.describe();
  EXPECT_EQ(reply.value, Value("file://" + root_.string() + "/my%20report.txt"));
  EXPECT_EQ(read(target), "new");

  // The source wins over the bytes.
  fs::path source = root_ / "source.txt";
  write(source, "copied");
  saveTo(ValueMap{{"bytes", std::vector<uint8_t>{'x'}}, {"sourcePath", source.string()}}, target);
  EXPECT_EQ(read(target), "copied");
  // Saving a file onto itself loses nothing.
  ASSERT_TRUE(saveTo(ValueMap{{"sourcePath", source.string()}}, source).isSuccess());
  EXPECT_EQ(read(source), "copied");
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator()), 2);
}

TEST_F(FileExportTest, FailuresKeepTheOldFileAndAnswerErrors) {
  fs::path target = root_ / "kept.txt";
  write(target, "precious");
  reply_ = saveTo(ValueMap{{"sourcePath", (root_ / "missing").string()}}, target);
  EXPECT_EQ(reply_.error.code, "save_failed");
  EXPECT_EQ(reply_.error.message, "Failed to save file");
  EXPECT_EQ(read(target), "precious");

  reply_ = saveTo(ValueMap{{"bytes", std::vector<uint8_t>{1}}}, root_ / "no" / "dir.txt");
  EXPECT_EQ(reply_.error.message, "Failed to save file");
}

TEST_F(FileExportTest, TheAnsweredUrlIsPercentEscapedAndMistypedSourcesYieldToBytes) {
  fs::path target = root_ / "a#b%c?d \xC3\xA9.txt";
  auto reply = saveTo(ValueMap{{"bytes", std::vector<uint8_t>{'1'}}}, target);
  ASSERT_TRUE(reply.isSuccess()) << reply.describe();
  EXPECT_EQ(reply.value, Value("file://" + root_.string() + "/a%23b%25c%3Fd%20%C3%A9.txt"));
  EXPECT_EQ(read(target), "1");

  // A source path that is not a string counts as absent: the bytes are written.
  reply =
      saveTo(ValueMap{{"bytes", std::vector<uint8_t>{'2'}}, {"sourcePath", int32_t{5}}}, target);
  ASSERT_TRUE(reply.isSuccess()) << reply.describe();
  EXPECT_EQ(read(target), "2");
  // Neither content: an error, and the target is untouched.
  reply = saveTo(ValueMap{{"sourcePath", ValueList{}}}, target);
  EXPECT_EQ(reply.error.code, "invalid_arguments");
  EXPECT_EQ(read(target), "2");
  // A cancelled panel answers nil and writes nothing.
  auto [pending, panel] = save(ValueMap{{"bytes", std::vector<uint8_t>{'3'}}});
  controls::cancelPanel(*panel);
  EXPECT_TRUE(pending.wait().value.isNull());
  EXPECT_EQ(read(target), "2");
}

TEST_F(FileExportTest, BytesOfAnyTypedDataAreSavedAndOtherTypesAreRefusedBeforeThePanel) {
  fs::path target = root_ / "typed.bin";
  auto reply = saveTo(ValueMap{{"bytes", std::vector<int32_t>{0x64636261}}}, target);
  ASSERT_TRUE(reply.isSuccess()) << reply.describe();
  EXPECT_EQ(read(target), "abcd");
  reply = saveTo(ValueMap{{"bytes", std::vector<double>{0.0}}}, target);
  ASSERT_TRUE(reply.isSuccess()) << reply.describe();
  EXPECT_EQ(fs::file_size(target), 8u);

  for (Value wrong : {Value("not typed data"), Value(int32_t{3}),
                      Value(ValueList{Value(int32_t{1})}), Value(ValueMap{})}) {
    auto [pending, panel] = save(ValueMap{{"bytes", wrong}});
    EXPECT_EQ(panel, nullptr) << "the panel opened for bytes of another type";
    if (panel) controls::confirmPanel(*panel, {NSURL::fileURLWithPath(target.string())});
    reply = pending.wait();
    EXPECT_EQ(reply.error.code, "invalid_arguments") << reply.describe();
  }
  EXPECT_EQ(fs::file_size(target), 8u);
  // An explicit null is no bytes: the panel opens, and confirming it finds no content.
  reply = saveTo(ValueMap{{"bytes", Value()}}, target);
  EXPECT_EQ(reply.error.code, "invalid_arguments");
}

TEST_F(FileExportTest, ASourceThatIsNotARegularFileFailsWithoutWaitingOrStreaming) {
  fs::path target = root_ / "kept.txt";
  write(target, "precious");
  foundation::testing::BlockingFifo fifo((root_ / "fifo").string());
  ASSERT_TRUE(fifo.created());
  reply_ = saveTo(ValueMap{{"sourcePath", fifo.path()}}, target);
  ASSERT_FALSE(fifo.rescued()) << "the copy waited for a writer";
  EXPECT_EQ(reply_.error.message, "Failed to save file");

  fs::path link = root_ / "zero";
  fs::create_symlink("/dev/zero", link);
  for (const std::string& source : {std::string("/dev/zero"), link.string()}) {
    reply_ = saveTo(ValueMap{{"sourcePath", source}}, target);
    EXPECT_EQ(reply_.error.message, "Failed to save file") << source;
  }
  // A folder holding a FIFO is not copied either, and nothing waits on it.
  fs::create_directories(root_ / "folder");
  write(root_ / "folder" / "a.txt", "a");
  foundation::testing::BlockingFifo inner((root_ / "folder" / "fifo").string());
  reply_ = saveTo(ValueMap{{"sourcePath", (root_ / "folder").string()}}, root_ / "copy");
  EXPECT_FALSE(inner.rescued());
  EXPECT_EQ(reply_.error.message, "Failed to save file");
  EXPECT_FALSE(fs::exists(root_ / "copy"));

  EXPECT_EQ(read(target), "precious");
  // Nothing is left behind: the target, the FIFO, the link and the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator()), 4);
}

TEST_F(FileExportTest, CopiesAFolderOverAnOldOne) {
  fs::path source = root_ / "src";
  fs::create_directories(source / "inner");
  write(source / "inner" / "f.txt", "fresh");
  fs::create_symlink("inner/f.txt", source / "link");
  fs::path target = root_ / "dest";
  fs::create_directories(target);
  write(target / "stale.txt", "stale");
  auto reply = saveTo(ValueMap{{"sourcePath", source.string()}}, target);
  ASSERT_TRUE(reply.isSuccess()) << reply.describe();
  EXPECT_EQ(read(target / "inner" / "f.txt"), "fresh");
  EXPECT_EQ(fs::read_symlink(target / "link"), "inner/f.txt");
  EXPECT_FALSE(fs::exists(target / "stale.txt"));
  EXPECT_EQ(read(source / "inner" / "f.txt"), "fresh");
  EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator()), 2);

  // Into itself: the copy holds the folder as it was, once.
  reply = saveTo(ValueMap{{"sourcePath", source.string()}}, source / "inner" / "again");
  ASSERT_TRUE(reply.isSuccess()) << reply.describe();
  EXPECT_EQ(read(source / "inner" / "again" / "inner" / "f.txt"), "fresh");
  EXPECT_FALSE(fs::exists(source / "inner" / "again" / "inner" / "again"));
}

}  // namespace
}  // namespace file_export
