#include "platform/webrtc/rtc_data_channel.h"

RTCDataChannel::RTCDataChannel(std::string label, RTCDataChannelConfiguration configuration,
                               dispatch_queue_t queue)
    : label_(std::move(label)),
      configuration_(std::move(configuration)),
      queue_(std::move(queue)),
      channel_id_(configuration_.channelId) {}

int RTCDataChannel::channelId() const {
  std::lock_guard lock(mutex_);
  return channel_id_;
}

RTCDataChannelState RTCDataChannel::readyState() const {
  std::lock_guard lock(mutex_);
  return state_;
}

uint64_t RTCDataChannel::bufferedAmount() const {
  std::lock_guard lock(mutex_);
  return buffered_amount_;
}

std::shared_ptr<RTCDataChannelDelegate> RTCDataChannel::delegate() const {
  std::lock_guard lock(mutex_);
  return delegate_.lock();
}

void RTCDataChannel::setDelegate(std::weak_ptr<RTCDataChannelDelegate> delegate) {
  std::lock_guard lock(mutex_);
  delegate_ = std::move(delegate);
}

bool RTCDataChannel::sendData(const RTCDataBuffer& buffer) {
  std::shared_ptr<RTCDataChannel> remote;
  {
    std::lock_guard lock(mutex_);
    if (state_ != RTCDataChannelStateOpen) return false;
    remote = remote_.lock();
  }
  if (!remote) return false;
  dispatch_async(remote->queue_, [remote, buffer] { remote->receive(buffer); });
  return true;
}

void RTCDataChannel::close() {
  std::shared_ptr<RTCDataChannel> remote;
  {
    std::lock_guard lock(mutex_);
    if (state_ == RTCDataChannelStateClosing || state_ == RTCDataChannelStateClosed) return;
    remote = remote_.lock();
  }
  changeState(RTCDataChannelStateClosing);
  changeState(RTCDataChannelStateClosed);
  if (remote) dispatch_async(remote->queue_, [remote] { remote->remoteClosed(); });
}

void RTCDataChannel::setChannelId(int channelId) {
  std::lock_guard lock(mutex_);
  channel_id_ = channelId;
}

void RTCDataChannel::connect(const std::shared_ptr<RTCDataChannel>& remote) {
  {
    std::lock_guard lock(mutex_);
    if (state_ != RTCDataChannelStateConnecting) return;
    remote_ = remote;
  }
  changeState(RTCDataChannelStateOpen);
}

void RTCDataChannel::changeState(RTCDataChannelState state) {
  {
    std::lock_guard lock(mutex_);
    if (state_ == state) return;
    state_ = state;
  }
  auto self = shared_from_this();
  dispatch_async(queue_, [self] {
    if (auto delegate = self->delegate()) delegate->dataChannelDidChangeState(*self);
  });
}

void RTCDataChannel::receive(const RTCDataBuffer& buffer) {
  if (readyState() != RTCDataChannelStateOpen) return;
  if (auto target = delegate()) target->dataChannelDidReceiveMessageWithBuffer(*this, buffer);
}

void RTCDataChannel::changeBufferedAmount(uint64_t amount) {
  uint64_t previous;
  {
    std::lock_guard lock(mutex_);
    previous = buffered_amount_;
    buffered_amount_ = amount;
  }
  auto self = shared_from_this();
  dispatch_async(queue_, [self, previous] {
    if (auto delegate = self->delegate())
      delegate->dataChannelDidChangeBufferedAmount(*self, previous);
  });
}

void RTCDataChannel::remoteClosed() {
  if (readyState() == RTCDataChannelStateClosed) return;
  changeState(RTCDataChannelStateClosing);
  changeState(RTCDataChannelStateClosed);
}
