#include "platform/flutter/socket_connection.h"

#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "platform/flutter/flutter_standard_codec.h"
#include "platform/foundation/ns_log.h"

namespace flutter {
namespace {
constexpr size_t kReadChunkSize = 64 * 1024;
// Chunks read before returning to poll, so that a Dart side that never stops writing cannot keep
// the thread from writing replies or stopping.
constexpr int kReadChunksPerTurn = 16;
}  // namespace

SocketConnection::SocketConnection(UniqueFd socket, std::shared_ptr<WakeSignal> wake)
    : socket_(std::move(socket)), wake_(std::move(wake)) {}

void SocketConnection::sendReply(uint32_t id, const std::string& channel,
                                 FlutterBinaryMessage reply) {
  const size_t size = reply ? reply->size() : 0;
  auto bytes = encodeSocketFrame({SocketFrameKind::replyFromHost, id, {}, std::move(reply)});
  if (!bytes) {
    NSLog("The reply to a message on '%s' is %zu bytes, over the frame limit of %u; the call is "
          "answered with the error %s",
          channel.c_str(), size, kMaxSocketFrameLength, kSocketReplyTooLargeCode);
    FlutterError error{kSocketReplyTooLargeCode,
                       "The reply of " + std::to_string(size) +
                           " bytes exceeds the transport's frame limit of " +
                           std::to_string(kMaxSocketFrameLength) + " bytes",
                       nullptr};
    bytes = encodeSocketFrame({SocketFrameKind::replyFromHost, id, {},
                               FlutterStandardMethodCodec::sharedInstance()->encodeErrorEnvelope(error)});
  }
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    queueLocked(*bytes);
  }
  wake_->notify();
}

void SocketConnection::sendFromHost(const std::string& channel, FlutterBinaryMessage message,
                                    FlutterBinaryReply reply) {
  const size_t size = message ? message->size() : 0;
  // Encoded outside the lock: a frame may be large.
  const uint32_t id = next_host_message_id_.fetch_add(1);
  auto bytes =
      encodeSocketFrame({SocketFrameKind::messageFromHost, id, channel, std::move(message)});
  if (!bytes) {
    NSLog("A message from the host on '%s' is %zu bytes, over the frame limit of %u; it is "
          "dropped",
          channel.c_str(), size, kMaxSocketFrameLength);
    if (reply) reply(std::nullopt);
    return;
  }
  bool closed;
  {
    std::lock_guard lock(mutex_);
    closed = closed_;
    if (!closed) {
      // Only replies the host waits for are kept: the Dart side answers every message, and the
      // answers to the others are dropped on arrival.
      if (reply) host_replies_[id] = std::move(reply);
      queueLocked(*bytes);
    }
  }
  if (closed) {
    if (reply) reply(std::nullopt);
    return;
  }
  wake_->notify();
}

FlutterBinaryReply SocketConnection::takeHostReply(uint32_t id) {
  std::lock_guard lock(mutex_);
  auto found = host_replies_.find(id);
  if (found == host_replies_.end()) return nullptr;
  auto reply = std::move(found->second);
  host_replies_.erase(found);
  return reply;
}

void SocketConnection::queueLocked(const FlutterBytes& bytes) {
  if (send_fault_) return;
  if (output_.size() - output_offset_ + bytes.size() > kMaxPendingOutput) {
    send_fault_ = "the Dart side is not reading; over " + std::to_string(kMaxPendingOutput) +
                  " bytes wait for it";
    return;
  }
  if (output_offset_ > output_.size() / 2) {
    output_.erase(output_.begin(), output_.begin() + static_cast<ptrdiff_t>(output_offset_));
    output_offset_ = 0;
  }
  output_.insert(output_.end(), bytes.begin(), bytes.end());
}

bool SocketConnection::hasPendingOutput() const {
  std::lock_guard lock(mutex_);
  return output_offset_ < output_.size();
}

std::optional<SocketConnection::CloseReason> SocketConnection::sendFault() const {
  std::lock_guard lock(mutex_);
  return send_fault_;
}

std::optional<SocketConnection::CloseReason> SocketConnection::readAvailable(
    const FrameHandler& handler) {
  std::array<uint8_t, kReadChunkSize> chunk;
  for (int turn = 0; turn < kReadChunksPerTurn; ++turn) {
    ssize_t received = ::recv(socket_.get(), chunk.data(), chunk.size(), 0);
    if (received < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return std::nullopt;
      if (errno == ECONNRESET) return CloseReason();
      return CloseReason("reading failed: ") + std::strerror(errno);
    }
    if (received == 0) {
      if (decoder_.hasPartialFrame()) return CloseReason("the connection ended inside a frame");
      return CloseReason();
    }
    decoder_.append(std::span<const uint8_t>(chunk.data(), static_cast<size_t>(received)));
    while (auto frame = decoder_.next()) {
      if (auto reason = handler(std::move(*frame))) return reason;
    }
    if (decoder_.hasFault()) return decoder_.fault();
  }
  return std::nullopt;
}

std::optional<SocketConnection::CloseReason> SocketConnection::writePending() {
  std::lock_guard lock(mutex_);
  while (output_offset_ < output_.size()) {
    ssize_t written = ::send(socket_.get(), output_.data() + output_offset_,
                             output_.size() - output_offset_, MSG_NOSIGNAL);
    if (written < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return std::nullopt;
      if (errno == EPIPE || errno == ECONNRESET) return CloseReason();
      return CloseReason("writing failed: ") + std::strerror(errno);
    }
    output_offset_ += static_cast<size_t>(written);
  }
  output_.clear();
  output_offset_ = 0;
  return std::nullopt;
}

std::vector<FlutterBinaryReply> SocketConnection::close() {
  std::vector<FlutterBinaryReply> unanswered;
  std::lock_guard lock(mutex_);
  if (closed_) return unanswered;
  closed_ = true;
  socket_.reset();
  output_.clear();
  output_offset_ = 0;
  for (auto& [id, reply] : host_replies_) unanswered.push_back(std::move(reply));
  host_replies_.clear();
  return unanswered;
}

}  // namespace flutter

