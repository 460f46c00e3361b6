// The player, queue and item models, and the controls that stand for what the media does.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/avfoundation/avfoundation.h"
#include "platform/avfoundation/testing/av_foundation_controls.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/foundation/ns_notification_center.h"

namespace {

namespace av = avfoundation::testing;

std::shared_ptr<AVPlayerItem> makeItem(const std::string& name) {
  return AVPlayerItem::playerItemWithAsset(
      AVURLAsset::URLAssetWithURL(*NSURL::URLWithString("https://example.com/" + name), {}));
}

// Records every change it hears, as key and new value.
class Recorder : public NSKeyValueObserving {
 public:
  void observeValueForKeyPath(const std::string& keyPath, NSKeyValueObservable& object,
                              const NSKeyValueChangeDictionary& change, void*) override {
    keys.push_back(keyPath);
    if (onChange) onChange(keyPath, object, change);
  }
  std::vector<std::string> keys;
  std::function<void(const std::string&, NSKeyValueObservable&, const NSKeyValueChangeDictionary&)>
      onChange;
};

struct SeekOutcome {
  bool called = false;
  bool finished = false;
};

AVPlayerItem::SeekCompletion recordInto(SeekOutcome& outcome) {
  return [&outcome](bool finished) {
    outcome.called = true;
    outcome.finished = finished;
  };
}

class AVFoundationTest : public ::testing::Test {
 protected:
  void TearDown() override {
    av::setSeeksHeld(false);
    dispatch::testing::drainUntilIdle();
  }
};

TEST_F(AVFoundationTest, QueueInsertsRemovesAndAdvances) {
  auto a = makeItem("a"), b = makeItem("b"), c = makeItem("c");
  auto player = std::make_shared<AVQueuePlayer>(std::vector{a, b, a});
  EXPECT_EQ(player->items(), (std::vector{a, b}));
  EXPECT_EQ(player->currentItem(), a);
  EXPECT_FALSE(player->canInsertItem(a, nullptr));
  EXPECT_FALSE(player->canInsertItem(c, makeItem("stranger")));
  player->insertItem(c, a);
  EXPECT_EQ(player->items(), (std::vector{a, c, b}));

  auto recorder = std::make_shared<Recorder>();
  std::vector<std::shared_ptr<AVPlayerItem>> seen;
  recorder->onChange = [&seen](const std::string&, NSKeyValueObservable&,
                               const NSKeyValueChangeDictionary& change) {
    seen.push_back(std::any_cast<std::shared_ptr<AVPlayerItem>>(change.newValue));
  };
  player->addObserver(recorder, "currentItem", NSKeyValueObservingOptionNew, nullptr);
  player->removeItem(c);  // not current: no change
  player->advanceToNextItem();
  EXPECT_EQ(player->currentItem(), b);
  player->replaceCurrentItemWithItem(a);
  EXPECT_EQ(player->items(), (std::vector{a}));
  player->removeAllItems();
  EXPECT_EQ(player->currentItem(), nullptr);
  EXPECT_EQ(seen, (std::vector<std::shared_ptr<AVPlayerItem>>{b, a, nullptr}));
  player->removeObserver(recorder.get(), "currentItem");
  EXPECT_EQ(av::queuePlayers().back(), player);
}

TEST_F(AVFoundationTest, TimeControlStatusFollowsRateReadinessAndBuffer) {
  auto item = makeItem("a");
  auto player = std::make_shared<AVQueuePlayer>(std::vector{item});
  EXPECT_EQ(player->timeControlStatus(), AVPlayerTimeControlStatusPaused);
  player->setRate(1.0f);
  EXPECT_EQ(player->timeControlStatus(), AVPlayerTimeControlStatusWaitingToPlayAtSpecifiedRate);
  av::makeItemReady(*item, CMTimeMake(10, 1));
  EXPECT_EQ(player->timeControlStatus(), AVPlayerTimeControlStatusWaitingToPlayAtSpecifiedRate);
  av::setPlaybackBufferEmpty(*item, false);
  EXPECT_EQ(player->timeControlStatus(), AVPlayerTimeControlStatusPlaying);
  av::stallCurrentItem(*player);
  EXPECT_EQ(player->timeControlStatus(), AVPlayerTimeControlStatusWaitingToPlayAtSpecifiedRate);
  player->pause();
  EXPECT_EQ(player->timeControlStatus(), AVPlayerTimeControlStatusPaused);
  av::setTimeControlStatus(*player, AVPlayerTimeControlStatusPlaying);
  EXPECT_EQ(player->timeControlStatus(), AVPlayerTimeControlStatusPlaying);
}

TEST_F(AVFoundationTest, EverySeekCompletesOnceAndANewerOneSupersedesIt) {
  auto item = makeItem("a");
  av::makeItemReady(*item, CMTimeMake(10, 1));
  SeekOutcome first, second, third;
  av::setSeeksHeld(true);
  item->seekToTime(CMTimeMake(3, 1), recordInto(first));
  item->seekToTime(CMTimeMake(4, 1), recordInto(second));
  EXPECT_EQ(av::pendingSeekTime(*item), CMTimeMake(4, 1));
  EXPECT_FALSE(first.called);  // completions arrive on the main queue
  dispatch::testing::drainUntilIdle();
  EXPECT_TRUE(first.called);
  EXPECT_FALSE(first.finished);
  EXPECT_TRUE(av::completePendingSeek(*item));
  EXPECT_FALSE(av::completePendingSeek(*item));
  dispatch::testing::drainUntilIdle();
  EXPECT_TRUE(second.finished);
  EXPECT_EQ(item->currentTime(), CMTimeMake(4, 1));

  // Beyond the end lands on the end; before the start on zero; unheld seeks finish by themselves.
  av::setSeeksHeld(false);
  item->seekToTime(kCMTimePositiveInfinity, kCMTimeZero, kCMTimeZero, recordInto(third));
  dispatch::testing::drainUntilIdle();
  EXPECT_TRUE(third.finished);
  EXPECT_EQ(item->currentTime(), CMTimeMake(10, 1));
  item->seekToTime(CMTimeMake(-5, 1), nullptr);
  dispatch::testing::drainUntilIdle();
  EXPECT_EQ(item->currentTime(), kCMTimeZero);
}

TEST_F(AVFoundationTest, LeavingTheQueueCancelsAPendingSeek) {
  auto a = makeItem("a"), b = makeItem("b");
  auto player = std::make_shared<AVQueuePlayer>(std::vector{a, b});
  av::setSeeksHeld(true);
  SeekOutcome removed, replaced, dropped;
  b->seekToTime(CMTimeMake(1, 1), recordInto(removed));
  player->removeItem(b);
  a->seekToTime(CMTimeMake(1, 1), recordInto(replaced));
  player->replaceCurrentItemWithItem(b);
  b->seekToTime(CMTimeMake(1, 1), recordInto(dropped));
  player->removeAllItems();
  dispatch::testing::drainUntilIdle();
  for (const auto* outcome : {&removed, &replaced, &dropped}) {
    EXPECT_TRUE(outcome->called);
    EXPECT_FALSE(outcome->finished);
  }
}

TEST_F(AVFoundationTest, ItemEndIsPostedBeforeThePlayerActsOnIt) {
  auto a = makeItem("a"), b = makeItem("b");
  av::makeItemReady(*a, CMTimeMake(30, 1));
  auto player = std::make_shared<AVQueuePlayer>(std::vector{a, b});
  player->setActionAtItemEnd(AVPlayerActionAtItemEndAdvance);
  std::vector<std::string> currentAtEnd;
  auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
      AVPlayerItemDidPlayToEndTimeNotification, a.get(), nullptr, [&](const NSNotification&) {
        currentAtEnd.push_back(player->currentItem() == a ? "a" : "?");
        // Set for the next item: this one still advances.
        player->setActionAtItemEnd(AVPlayerActionAtItemEndPause);
      });
  av::finishCurrentItem(*player);
  NSNotificationCenter::defaultCenter()->removeObserver(token);
  EXPECT_EQ(currentAtEnd, (std::vector<std::string>{"a"}));
  EXPECT_EQ(a->currentTime(), CMTimeMake(30, 1));
  EXPECT_EQ(player->currentItem(), b);

  player->play();
  av::finishCurrentItem(*player);
  EXPECT_EQ(player->currentItem(), b);
  EXPECT_EQ(player->rate(), 0.0f);
}

TEST_F(AVFoundationTest, ObservationIsSynchronousAndReentrant) {
  auto item = makeItem("a");
  auto recorder = std::make_shared<Recorder>();
  recorder->onChange = [](const std::string& key, NSKeyValueObservable& object,
                          const NSKeyValueChangeDictionary&) {
    // A change made from inside an observation is heard at once, nested.
    if (key == "status") av::setPlaybackBufferEmpty(static_cast<AVPlayerItem&>(object), false);
  };
  for (const char* key : {"status", "duration", "playbackBufferEmpty"}) {
    item->addObserver(recorder, key, NSKeyValueObservingOptionNew, nullptr);
  }
  av::makeItemReady(*item, CMTimeMake(5, 1));
  EXPECT_EQ(recorder->keys,
            (std::vector<std::string>{"duration", "status", "playbackBufferEmpty"}));
  EXPECT_FALSE(item->isPlaybackBufferEmpty());

  av::failItem(*item, NSError{"net", 7, "Broken"});
  EXPECT_EQ(item->status(), AVPlayerItemStatusFailed);
  ASSERT_TRUE(item->error());
  EXPECT_EQ(item->error()->code, 7);
}

TEST_F(AVFoundationTest, ItemsKeepTheirAssetOptionsAndOneCopyOfEachOutput) {
  AVURLAssetOptions options{{AVURLAssetHTTPUserAgentKey, std::string("Quill/1")}};
  auto asset = AVURLAsset::URLAssetWithURL(NSURL::fileURLWithPath("/music/a b.mp3"), options);
  EXPECT_EQ(asset->URL().path(), "/music/a b.mp3");
  EXPECT_EQ(std::any_cast<std::string>(asset->options().at(AVURLAssetHTTPUserAgentKey)), "Quill/1");

  auto item = AVPlayerItem::playerItemWithAsset(asset);
  auto output = std::make_shared<AVPlayerItemMetadataOutput>(std::nullopt);
  item->addOutput(output);
  item->addOutput(output);
  EXPECT_EQ(item->outputs().size(), 1u);
  item->removeOutput(output.get());
  EXPECT_TRUE(item->outputs().empty());
  EXPECT_EQ(CMTimeRangeGetEnd(CMTimeRangeMake(CMTimeMake(600, 1), CMTimeMake(60, 1))),
            CMTimeMake(660, 1));
}

}  // namespace
