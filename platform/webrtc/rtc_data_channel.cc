#include "platform/webrtc/rtc_data_channel.h"

#include <algorithm>

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
  const uint64_t size = buffer.data().size();
  uint64_t previous;
  {
    std::lock_guard lock(mutex_);
    if (state_ != RTCDataChannelStateOpen) return false;
    remote = remote_.lock();
    if (!remote) return false;
    previous = buffered_amount_;
    buffered_amount_ += size;
  }
  if (size > 0) notifyBufferedAmount(previous);
  // The bytes stay buffered until the remote side has taken them.
  dispatch_async(remote->queue_, [self = shared_from_this(), remote, buffer, size] {
    remote->receive(buffer);
    if (size > 0) self->drainBufferedAmount(size);
  });
  return true;
}

void RTCDataChannel::close() {
  std::shared_ptr<RTCDataChannel> remote;
  {
    std::lock_guard lock(mutex_);
    if (state_ == RTCDataChannelStateClosing || state_ == RTCDataChannelStateClosed) return;
    state_ = RTCDataChannelStateClosing;
    remote = remote_.lock();
  }
  // "closing" is reported and "closed" reached on the channel's thread, so each notification
  // reads the state it reports; both go to the delegate of the moment, even if it is let go of
  // right after this call.
  dispatch_async(queue_, [self = shared_from_this(), bound = delegate()] {
    self->notifyState(bound);
    {
      std::lock_guard lock(self->mutex_);
      self->state_ = RTCDataChannelStateClosed;
    }
    self->notifyState(bound);
  });
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
  // The delegate of the moment hears of the change even if it is replaced or released before
  // the notification runs, as a channel closed and forgotten at once still reports "closed".
  dispatch_async(queue_, [self = shared_from_this(), bound = delegate()] {
    if (auto target = bound ? bound : self->delegate()) target->dataChannelDidChangeState(*self);
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
  notifyBufferedAmount(previous);
}

void RTCDataChannel::drainBufferedAmount(uint64_t sent) {
  uint64_t previous;
  {
    std::lock_guard lock(mutex_);
    previous = buffered_amount_;
    buffered_amount_ -= std::min(sent, buffered_amount_);
  }
  notifyBufferedAmount(previous);
}

void RTCDataChannel::notifyBufferedAmount(uint64_t previous) {
  dispatch_async(queue_, [self = shared_from_this(), bound = delegate(), previous] {
    if (auto target = bound ? bound : self->delegate()) {
      target->dataChannelDidChangeBufferedAmount(*self, previous);
    }
  });
}

void RTCDataChannel::remoteClosed() {
  const auto bound = delegate();
  {
    std::lock_guard lock(mutex_);
    // A close of this side is under way, or done: it reports for itself.
    if (state_ == RTCDataChannelStateClosing || state_ == RTCDataChannelStateClosed) return;
    state_ = RTCDataChannelStateClosing;
  }
  notifyState(bound);
  {
    std::lock_guard lock(mutex_);
    state_ = RTCDataChannelStateClosed;
  }
  notifyState(bound);
}

void RTCDataChannel::notifyState(const std::shared_ptr<RTCDataChannelDelegate>& bound) {
  if (auto target = bound ? bound : delegate()) target->dataChannelDidChangeState(*this);
}
