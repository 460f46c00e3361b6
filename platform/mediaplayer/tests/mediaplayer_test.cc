// The MediaPlayer stand-in: images, info values, remote commands and the now-playing centre.
#include "platform/mediaplayer/mediaplayer.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/mediaplayer/testing/fifo_guard.h"
#include "platform/mediaplayer/testing/media_player_controls.h"
#include "platform/mediaplayer/testing/sample_image_writer.h"

namespace {

namespace fs = std::filesystem;
using mediaplayer::NSImage;
using mediaplayer::testing::sendRemoteCommand;
using mediaplayer::testing::targetCount;

class ImageFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "mediaplayer-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
  }
  void TearDown() override { fs::remove_all(directory_); }

  std::string path(const std::string& name) const { return (directory_ / name).string(); }
  void writeBytes(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }

  fs::path directory_;
};

TEST_F(ImageFiles, PngAndJpegImagesReportTheirPixelSize) {
  ASSERT_TRUE(mediaplayer::testing::writeSampleImage(path("a.png"), NSImage::Format::png, 3, 2));
  ASSERT_TRUE(mediaplayer::testing::writeSampleImage(path("b.jpg"), NSImage::Format::jpeg, 17, 9));

  auto png = NSImage::initWithContentsOfFile(path("a.png"));
  ASSERT_NE(png, nullptr);
  EXPECT_EQ(png->size(), CGSizeMake(3, 2));
  EXPECT_EQ(png->format(), NSImage::Format::png);

  auto jpeg = NSImage::initWithContentsOfFile(path("b.jpg"));
  ASSERT_NE(jpeg, nullptr);
  EXPECT_EQ(jpeg->size(), CGSizeMake(17, 9));
  EXPECT_EQ(jpeg->format(), NSImage::Format::jpeg);
}

TEST_F(ImageFiles, WhatIsNotAReadableImageLoadsNothing) {
  writeBytes("empty", "");
  writeBytes("text", "not an image at all");
  writeBytes("png-signature-only", "\x89PNG\r\n\x1a\n");
  writeBytes("jpeg-start-only", "\xFF\xD8\xFF\xE0");
  std::string bad_header("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
  writeBytes("png-truncated-header", bad_header + "\0\0");

  for (const char* name : {"empty", "text", "png-signature-only", "jpeg-start-only",
                           "png-truncated-header", "missing"}) {
    EXPECT_EQ(NSImage::initWithContentsOfFile(path(name)), nullptr) << name;
  }
  EXPECT_EQ(NSImage::initWithContentsOfFile(directory_.string()), nullptr);
}

TEST_F(ImageFiles, OnlyRegularFilesWithinTheLimitAreOpened) {
  ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
  EXPECT_TRUE(mediaplayer::testing::finishesWithoutAWriter(
      path("pipe"), [&] { EXPECT_EQ(NSImage::initWithContentsOfFile(path("pipe")), nullptr); }));
  EXPECT_EQ(NSImage::initWithContentsOfFile("/dev/zero"), nullptr);

  // A real image header, followed by more than the limit allows.
  ASSERT_TRUE(mediaplayer::testing::writeSampleImage(path("big.png"), NSImage::Format::png, 4, 4));
  ASSERT_NE(NSImage::initWithContentsOfFile(path("big.png")), nullptr);
  fs::resize_file(path("big.png"), NSImage::kMaxFileBytes + 1);
  EXPECT_EQ(NSImage::initWithContentsOfFile(path("big.png")), nullptr);
}

TEST_F(ImageFiles, PngPicturesPastTheSideBoundShowNoArtwork) {
  struct Picture {
    const char* name;
    int width, height;
    bool shown;
  };
  for (const Picture& picture : {Picture{"widest.png", 16384, 1, true},
                                 Picture{"too_wide.png", 16385, 1, false},
                                 Picture{"too_tall.png", 1, 16385, false}}) {
    ASSERT_TRUE(mediaplayer::testing::writeSampleImage(path(picture.name), NSImage::Format::png,
                                                       picture.width, picture.height));
    EXPECT_EQ(NSImage::initWithContentsOfFile(path(picture.name)) != nullptr, picture.shown)
        << picture.name;
  }
}

TEST(MPNowPlayingInfoValueTest, NumbersCompareByValueWhateverTheirKind) {
  EXPECT_EQ(MPNowPlayingInfoValue(int64_t{1}), MPNowPlayingInfoValue(1.0));
  EXPECT_EQ(MPNowPlayingInfoValue(true), MPNowPlayingInfoValue(int32_t{1}));
  EXPECT_EQ(MPNowPlayingInfoValue(0.0), MPNowPlayingInfoValue(false));
  EXPECT_NE(MPNowPlayingInfoValue(1.5), MPNowPlayingInfoValue(int64_t{1}));
  // Exact even where a double cannot hold the integer.
  EXPECT_NE(MPNowPlayingInfoValue(int64_t{9007199254740993}),
            MPNowPlayingInfoValue(9007199254740992.0));
  EXPECT_NE(MPNowPlayingInfoValue("1"), MPNowPlayingInfoValue(int64_t{1}));
  EXPECT_EQ(MPNowPlayingInfoValue("title"), MPNowPlayingInfoValue(std::string("title")));

  auto artwork = std::make_shared<MPMediaItemArtwork>(CGSizeMake(1, 1), nullptr);
  auto same_looking = std::make_shared<MPMediaItemArtwork>(CGSizeMake(1, 1), nullptr);
  EXPECT_EQ(MPNowPlayingInfoValue(artwork), MPNowPlayingInfoValue(artwork));
  EXPECT_NE(MPNowPlayingInfoValue(artwork), MPNowPlayingInfoValue(same_looking));
}

TEST(MPRemoteCommandTest, EveryTargetIsCalledIncludingDuplicatesWhileEnabled) {
  MPRemoteCommand command;
  EXPECT_TRUE(command.isEnabled());
  EXPECT_TRUE(sendRemoteCommand(command).empty());

  int calls = 0;
  auto handler = [&](const MPRemoteCommandEvent&) {
    ++calls;
    return MPRemoteCommandHandlerStatusSuccess;
  };
  auto first = command.addTargetWithHandler(handler);
  command.addTargetWithHandler(handler);
  command.addTargetWithHandler(
      [](const MPRemoteCommandEvent&) { return MPRemoteCommandHandlerStatusCommandFailed; });
  EXPECT_EQ(sendRemoteCommand(command),
            (std::vector<MPRemoteCommandHandlerStatus>{MPRemoteCommandHandlerStatusSuccess,
                                                       MPRemoteCommandHandlerStatusSuccess,
                                                       MPRemoteCommandHandlerStatusCommandFailed}));
  EXPECT_EQ(calls, 2);

  command.setEnabled(false);
  EXPECT_TRUE(sendRemoteCommand(command).empty());
  EXPECT_EQ(calls, 2);

  command.setEnabled(true);
  command.removeTarget(first);
  EXPECT_EQ(targetCount(command), 2u);
  command.removeTarget(std::nullopt);
  EXPECT_EQ(targetCount(command), 0u);
}

TEST(MPRemoteCommandTest, ATargetMayRemoveTargetsWhileTheCommandIsGiven) {
  MPRemoteCommand command;
  command.addTargetWithHandler([&](const MPRemoteCommandEvent&) {
    command.removeTarget(std::nullopt);
    return MPRemoteCommandHandlerStatusSuccess;
  });
  EXPECT_EQ(sendRemoteCommand(command).size(), 1u);
  EXPECT_EQ(targetCount(command), 0u);
}

TEST(MPNowPlayingInfoCenterTest, RecordsEveryPublicationInOrder) {
  auto center = MPNowPlayingInfoCenter::defaultCenter();
  mediaplayer::testing::takeNowPlayingInfoPublications();

  MPNowPlayingInfo info{{MPMediaItemPropertyTitle, "Song"},
                        {MPNowPlayingInfoPropertyPlaybackRate, 1.0}};
  center->setNowPlayingInfo(info);
  center->setNowPlayingInfo(info);
  center->setNowPlayingInfo(std::nullopt);
  center->setPlaybackState(MPNowPlayingPlaybackStatePaused);

  auto published = mediaplayer::testing::takeNowPlayingInfoPublications();
  ASSERT_EQ(published.size(), 3u);
  EXPECT_EQ(published[0], info);
  EXPECT_EQ(published[1], info);
  EXPECT_EQ(published[2], std::nullopt);
  EXPECT_EQ(center->nowPlayingInfo(), std::nullopt);
  EXPECT_EQ(center->playbackState(), MPNowPlayingPlaybackStatePaused);
  EXPECT_TRUE(mediaplayer::testing::takeNowPlayingInfoPublications().empty());
}

}  // namespace
