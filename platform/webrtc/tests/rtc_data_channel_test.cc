// Data channels of the model: what a send does to the buffered amount, and notifications that
// reach a delegate released right after the change.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "platform/webrtc/rtc_default_video_decoder_factory.h"
#include "platform/webrtc/rtc_default_video_encoder_factory.h"
#include "platform/webrtc/rtc_peer_connection.h"
#include "platform/webrtc/rtc_peer_connection_factory.h"
#include "platform/webrtc/testing/peer_connection_controls.h"

namespace {

class Recorder : public RTCDataChannelDelegate {
 public:
  void dataChannelDidChangeState(RTCDataChannel& channel) override {
    record("state " + std::to_string(channel.readyState()));
  }
  void dataChannelDidReceiveMessageWithBuffer(RTCDataChannel&,
                                              const RTCDataBuffer& buffer) override {
    record("message " + std::to_string(buffer.data().size()));
  }
  void dataChannelDidChangeBufferedAmount(RTCDataChannel& channel, uint64_t previous) override {
    record("buffered " + std::to_string(previous) + "->" +
           std::to_string(channel.bufferedAmount()));
  }
  bool waitFor(size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return log_.size() >= count; });
  }
  std::vector<std::string> log() {
    std::lock_guard lock(mutex_);
    return log_;
  }

 private:
  void record(std::string line) {
    std::lock_guard lock(mutex_);
    log_.push_back(std::move(line));
    changed_.notify_all();
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> log_;
};

// Hands its record to `out` when it goes away.
class ReleasedRecorder : public Recorder {
 public:
  explicit ReleasedRecorder(std::vector<std::string>* out) : out_(out) {}
  ~ReleasedRecorder() override { *out_ = log(); }

 private:
  std::vector<std::string>* out_;
};

TEST(RtcDataChannelTest, SendsCountUntilTakenAndClosingReachesAReleasedDelegate) {
  auto factory = RTCPeerConnectionFactory::initWithAudioDeviceModuleType(
      0, false, std::make_shared<RTCDefaultVideoEncoderFactory>(),
      std::make_shared<RTCDefaultVideoDecoderFactory>(), nullptr);
  auto left =
      factory->peerConnectionWithConfiguration(RTCConfiguration(), RTCMediaConstraints(), {});
  auto right =
      factory->peerConnectionWithConfiguration(RTCConfiguration(), RTCMediaConstraints(), {});
  RTCDataChannelConfiguration negotiated;
  negotiated.isNegotiated = true;
  negotiated.channelId = 9;
  auto sending = left->dataChannelForLabel("pair", negotiated);
  auto receiving = right->dataChannelForLabel("pair", negotiated);
  ASSERT_TRUE(webrtc::testing::connectPeerConnections(left, right));

  auto sender_log = std::make_shared<Recorder>();
  std::vector<std::string> receiver_record;
  auto receiver_log = std::make_shared<ReleasedRecorder>(&receiver_record);
  sending->setDelegate(sender_log);
  receiving->setDelegate(receiver_log);
  ASSERT_TRUE(sending->sendData(RTCDataBuffer(std::vector<uint8_t>(100, 1), true)));
  ASSERT_TRUE(sender_log->waitFor(2));
  ASSERT_TRUE(receiver_log->waitFor(1));
  EXPECT_EQ(sender_log->log()[0].substr(0, 12), "buffered 0->");
  EXPECT_EQ(sender_log->log()[1], "buffered 100->0");
  EXPECT_EQ(sending->bufferedAmount(), 0u);

  // Closed and let go of at once: the delegate of the moment still hears "closing", "closed".
  receiving->close();
  receiver_log.reset();
  webrtc::testing::waitForSignalingThread(*right);
  webrtc::testing::waitForSignalingThread(*left);
  EXPECT_EQ(receiver_record, (std::vector<std::string>{"message 100", "state 2", "state 3"}));
  ASSERT_TRUE(sender_log->waitFor(4));
  EXPECT_EQ(sender_log->log()[2], "state 2");
  EXPECT_EQ(sender_log->log()[3], "state 3");
}

}  // namespace
