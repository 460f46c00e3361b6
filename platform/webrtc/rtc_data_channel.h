// A data channel of a peer connection. State changes, messages and buffered-amount changes reach
// the delegate on a thread of the framework. A message sent counts in the buffered amount until
// the remote side has taken it.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/dispatch/dispatch.h"
#include "platform/webrtc/rtc_data_buffer.h"
#include "platform/webrtc/rtc_data_channel_configuration.h"

enum RTCDataChannelState : int {
  RTCDataChannelStateConnecting = 0,
  RTCDataChannelStateOpen = 1,
  RTCDataChannelStateClosing = 2,
  RTCDataChannelStateClosed = 3,
};

class RTCDataChannel;

class RTCDataChannelDelegate {
 public:
  virtual ~RTCDataChannelDelegate() = default;
  virtual void dataChannelDidChangeState(RTCDataChannel& dataChannel) = 0;
  virtual void dataChannelDidReceiveMessageWithBuffer(RTCDataChannel& dataChannel,
                                                      const RTCDataBuffer& buffer) = 0;
  virtual void dataChannelDidChangeBufferedAmount(RTCDataChannel& dataChannel, uint64_t amount) = 0;
};

class RTCDataChannel : public std::enable_shared_from_this<RTCDataChannel> {
 public:
  // Made by peer connections; notifications go through `queue`.
  RTCDataChannel(std::string label, RTCDataChannelConfiguration configuration,
                 dispatch_queue_t queue);
  RTCDataChannel(const RTCDataChannel&) = delete;
  RTCDataChannel& operator=(const RTCDataChannel&) = delete;

  const std::string& label() const { return label_; }
  int channelId() const;
  bool isOrdered() const { return configuration_.isOrdered; }
  int maxRetransmits() const { return configuration_.maxRetransmits; }
  bool isNegotiated() const { return configuration_.isNegotiated; }
  const std::string& protocol() const { return configuration_.protocol; }
  RTCDataChannelState readyState() const;
  uint64_t bufferedAmount() const;

  std::shared_ptr<RTCDataChannelDelegate> delegate() const;
  void setDelegate(std::weak_ptr<RTCDataChannelDelegate> delegate);

  // False unless the channel is open; the message then reaches the remote channel.
  bool sendData(const RTCDataBuffer& buffer);
  void close();

 private:
  friend class RTCPeerConnection;
  friend class RTCDataChannelControl;

  void setChannelId(int channelId);
  // Pairs this channel with the remote one and opens it.
  void connect(const std::shared_ptr<RTCDataChannel>& remote);
  void changeState(RTCDataChannelState state);
  void receive(const RTCDataBuffer& buffer);
  void changeBufferedAmount(uint64_t amount);
  // The remote side took `sent` bytes.
  void drainBufferedAmount(uint64_t sent);
  // Tells the delegate, passing the amount before the change.
  void notifyBufferedAmount(uint64_t previous);
  // The remote side went away. Runs on the channel's thread.
  void remoteClosed();
  // Tells `bound`, or the current delegate when there is none, on the calling thread.
  void notifyState(const std::shared_ptr<RTCDataChannelDelegate>& bound);

  std::string label_;
  RTCDataChannelConfiguration configuration_;
  dispatch_queue_t queue_;
  mutable std::mutex mutex_;
  int channel_id_;
  RTCDataChannelState state_ = RTCDataChannelStateConnecting;
  uint64_t buffered_amount_ = 0;
  std::weak_ptr<RTCDataChannelDelegate> delegate_;
  std::weak_ptr<RTCDataChannel> remote_;
};
