#include "platform/flutter/socket_connection.h"

#include <malloc.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <algorithm>
#include <array>
#include <cstdint>
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
// Buffers handed to one sendmsg.
constexpr size_t kMaxWrittenBuffers = 64;
// A payload this small is copied behind its frame's head: one buffer is cheaper than two.
constexpr size_t kMergedPayloadSize = 4096;
// What a sending thread (the main thread, for replies) hands the socket itself at most. A Dart
// side that reads as fast as the host writes would otherwise keep it copying a large answer
// into the socket for as long as the answer lasts.
constexpr size_t kSenderWriteBytes = 64 * 1024;
// What one write hands the socket at most. The kernel gives a Unix socket's sender room back only
// once the reader has taken a whole write's piece (up to some 36 KiB), so a Dart side that reads
// slowly would free none for minutes; this way it frees some for every 4 KiB it takes.
constexpr size_t kWritePiece = 4096;
// What holding one buffer of output costs besides its capacity: the allocator's header and
// rounding, and its place in the queue.
constexpr size_t kHeldBufferOverhead = sizeof(FlutterBytes) + 32;
// Output freed past this gives the allocator's free memory back to the system.
constexpr size_t kTrimmedHeldOutput = 32u << 20;

size_t holdingCost(const FlutterBytes& buffer) { return buffer.capacity() + kHeldBufferOverhead; }

// What a frame costs once queued (queueLocked merges a small payload behind its head).
size_t frameHoldingCost(const FlutterBytes& head, const FlutterBinaryMessage& payload) {
  if (!payload) return holdingCost(head);
  if (payload->size() <= kMergedPayloadSize) {
    return std::max(head.capacity(), head.size() + payload->size()) + kHeldBufferOverhead;
  }
  return holdingCost(head) + holdingCost(*payload);
}

FlutterBinaryMessage errorReply(const char* code, std::string message) {
  return FlutterStandardMethodCodec::sharedInstance()->encodeErrorEnvelope(
      FlutterError{code, std::move(message), nullptr});
}
}  // namespace

SocketConnection::SocketConnection(libsystem::UniqueFd socket, std::shared_ptr<WakeSignal> wake,
                                   std::chrono::milliseconds stallTime)
    : socket_(std::move(socket)), wake_(std::move(wake)), stall_time_(stallTime) {}

void SocketConnection::sendReply(uint32_t id, const std::string& channel,
                                 FlutterBinaryMessage reply) {
  const size_t size = reply ? reply->size() : 0;
  auto head =
      encodeSocketFrameHead(SocketFrameKind::replyFromHost, id, {}, reply.has_value(), size);
  if (!head) {
    NSLog(
        "The reply to a message on '%s' is %zu bytes, over the frame limit of %u; the call is "
        "answered with the error %s",
        channel.c_str(), size, kMaxSocketFrameLength, kSocketReplyTooLargeCode);
    reply =
        errorReply(kSocketReplyTooLargeCode, "The reply of " + std::to_string(size) +
                                                 " bytes exceeds the transport's frame limit of " +
                                                 std::to_string(kMaxSocketFrameLength) + " bytes");
    head = encodeSocketFrameHead(SocketFrameKind::replyFromHost, id, {}, true, reply->size());
  }
  std::optional<size_t> refused_while_waiting;
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    const size_t frame = head->size() + (reply ? reply->size() : 0);
    if (frame <= kAlwaysQueuedReplySize || fitsLocked(frameHoldingCost(*head, reply))) {
      wake = queueLocked(std::move(*head), std::move(reply));
    } else {
      refused_while_waiting = held_output_;
      ++refused_.replies;
      refused_.bytes += frame;
    }
  }
  if (refused_while_waiting) {
    // The error is small enough to be queued whatever waits.
    reply = errorReply(kSocketTransportBusyCode,
                       "The reply of " + std::to_string(size) +
                           " bytes does not fit in what may wait for the Dart side (" +
                           std::to_string(*refused_while_waiting) + " of " +
                           std::to_string(kMaxPendingOutput) + " bytes wait)");
    head = encodeSocketFrameHead(SocketFrameKind::replyFromHost, id, {}, true, reply->size());
    std::lock_guard lock(mutex_);
    if (closed_) return;
    wake = queueLocked(std::move(*head), std::move(reply));
  }
  if (wake) wake_->notify();
}

void SocketConnection::sendFromHost(const std::string& channel, FlutterBinaryMessage message,
                                    FlutterBinaryReply reply) {
  const size_t size = message ? message->size() : 0;
  const uint32_t id = next_host_message_id_.fetch_add(1);
  auto head = encodeSocketFrameHead(SocketFrameKind::messageFromHost, id, channel,
                                    message.has_value(), size);
  if (!head) {
    NSLog(
        "A message from the host on '%s' is %zu bytes, over the frame limit of %u; it is "
        "dropped",
        channel.c_str(), size, kMaxSocketFrameLength);
    if (reply) reply(std::nullopt);
    return;
  }
  bool sent = false;
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    if (!closed_) {
      const size_t frame = head->size() + size;
      if (fitsLocked(frameHoldingCost(*head, message))) {
        // Only replies the host waits for are kept: the Dart side answers every message, and the
        // answers to the others are dropped on arrival.
        if (reply) host_replies_[id] = std::move(reply);
        wake = queueLocked(std::move(*head), std::move(message));
        sent = true;
      } else {
        ++refused_.messages;
        refused_.bytes += frame;
      }
    }
  }
  if (!sent) {
    if (reply) reply(std::nullopt);
    return;
  }
  if (wake) wake_->notify();
}

FlutterBinaryReply SocketConnection::takeHostReply(uint32_t id) {
  std::lock_guard lock(mutex_);
  auto found = host_replies_.find(id);
  if (found == host_replies_.end()) return nullptr;
  auto reply = std::move(found->second);
  host_replies_.erase(found);
  return reply;
}

bool SocketConnection::queueLocked(FlutterBytes head, FlutterBinaryMessage payload) {
  if (send_fault_) return false;
  const size_t size = head.size() + (payload ? payload->size() : 0);
  const bool idle = output_.empty();
  size_t cost = 0;
  if (payload && payload->size() <= kMergedPayloadSize) {
    head.reserve(head.size() + payload->size());
    head.insert(head.end(), payload->begin(), payload->end());
    cost = holdingCost(head);
    output_.push_back(std::move(head));
  } else {
    cost = holdingCost(head) + (payload ? holdingCost(*payload) : 0);
    output_.push_back(std::move(head));
    if (payload) output_.push_back(std::move(*payload));
  }
  output_size_ += size;
  held_output_ += cost;
  held_peak_ = std::max(held_peak_, held_output_.load());
  has_output_ = true;
  // Output already waiting means the I/O thread has been woken for it and writes this after it.
  if (!idle || writes_held_ > 0) return false;
  return writeNowLocked();
}

void SocketConnection::holdWrites() {
  std::lock_guard lock(mutex_);
  ++writes_held_;
}

void SocketConnection::releaseWrites() {
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    if (--writes_held_ > 0 || closed_ || send_fault_ || output_.empty()) return;
    wake = writeNowLocked();
  }
  if (wake) wake_->notify();
}

bool SocketConnection::writeNowLocked() {
  if (auto reason = writeLocked(/*oneTurn=*/true)) {
    // A Dart side that left is the I/O thread's to find, reading, so that it says how it left.
    if (!reason->empty()) {
      send_fault_ = std::move(reason);
      has_send_fault_ = true;
    }
    return true;
  }
  return !output_.empty();
}

std::optional<SocketConnection::CloseReason> SocketConnection::writeLocked(bool oneTurn) {
  bool progressed = false;
  // A sending thread's share; the I/O thread writes until the socket is full.
  size_t share = oneTurn ? kSenderWriteBytes : SIZE_MAX;
  while (!output_.empty() && share > 0) {
    std::array<iovec, kMaxWrittenBuffers> parts;
    size_t count = 0;
    size_t skip = output_offset_;
    const size_t piece = std::min(share, kWritePiece);
    size_t room = piece;
    for (auto buffer = output_.begin();
         buffer != output_.end() && count < parts.size() && room > 0; ++buffer) {
      const size_t size = std::min(buffer->size() - skip, room);
      parts[count++] = iovec{buffer->data() + skip, size};
      room -= size;
      skip = 0;
    }
    msghdr message{};
    message.msg_iov = parts.data();
    message.msg_iovlen = count;
    ssize_t written = ::sendmsg(socket_.get(), &message, MSG_NOSIGNAL);
    if (written < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) break;
      if (errno == EPIPE || errno == ECONNRESET) return CloseReason();
      return CloseReason("writing failed: ") + std::strerror(errno);
    }
    progressed = progressed || written > 0;
    auto left = static_cast<size_t>(written);
    output_size_ -= left;
    share -= std::min(share, left);
    while (left > 0) {
      const size_t unwritten = output_.front().size() - output_offset_;
      if (left < unwritten) {
        output_offset_ += left;
        break;
      }
      left -= unwritten;
      held_output_ -= holdingCost(output_.front());
      output_.pop_front();
      output_offset_ = 0;
    }
    // A short write: the socket is full.
    if (static_cast<size_t>(written) < piece - room) break;
  }
  if (output_.empty()) {
    has_output_ = false;
    waiting_since_ = kNotWaiting;
  } else if (progressed || waiting_since_ == kNotWaiting) {
    // The socket is full: the stall clock runs from its last progress.
    waiting_since_ = Clock::now().time_since_epoch().count();
  }
  // A burst ends once the Dart side has caught up by half the bound.
  if (held_output_ <= kMaxPendingOutput / 2) logRefusedLocked();
  return std::nullopt;
}

void SocketConnection::logRefusedLocked() {
  if (refused_.replies == 0 && refused_.messages == 0) return;
  std::string what;
  if (refused_.messages > 0) {
    what = std::to_string(refused_.messages) + (refused_.messages == 1
                                                    ? " message from the host was dropped"
                                                    : " messages from the host were dropped");
  }
  if (refused_.replies > 0) {
    what += (what.empty() ? "" : ", ") + std::to_string(refused_.replies) +
            (refused_.replies == 1 ? " reply was" : " replies were") + " answered with the error " +
            kSocketTransportBusyCode;
  }
  NSLog("Output for the Dart side reached its bound of %zu bytes: %s (%zu bytes refused)",
        kMaxPendingOutput, what.c_str(), refused_.bytes);
  refused_ = Refused{};
}

bool SocketConnection::hasPendingOutput() const { return has_output_.load(); }

bool SocketConnection::acceptsInput() const { return held_output_.load() < kMaxPendingOutput; }

std::optional<SocketConnection::Clock::time_point> SocketConnection::stallDeadline() const {
  const auto since = waiting_since_.load();
  if (since == kNotWaiting) return std::nullopt;
  return Clock::time_point(Clock::duration(since)) + stall_time_;
}

std::optional<SocketConnection::CloseReason> SocketConnection::sendFault() const {
  if (!has_send_fault_.load()) return std::nullopt;
  std::lock_guard lock(mutex_);
  return send_fault_;
}

std::optional<SocketConnection::CloseReason> SocketConnection::stallFault() const {
  const auto deadline = stallDeadline();
  if (!deadline || Clock::now() < *deadline) return std::nullopt;
  std::lock_guard lock(mutex_);
  // Checked again: another thread may have written some meanwhile.
  const auto since = waiting_since_.load();
  if (since == kNotWaiting ||
      Clock::now() < Clock::time_point(Clock::duration(since)) + stall_time_) {
    return std::nullopt;
  }
  return "the Dart side is not reading; it took none of the " +
         std::to_string(output_size_.load()) + " bytes waiting for it in " +
         std::to_string(stall_time_.count()) + " ms";
}

std::optional<SocketConnection::CloseReason> SocketConnection::readAvailable(
    const FrameHandler& handler, const std::function<bool()>& mayRead, bool& framesLeft) {
  std::lock_guard lock(read_mutex_);
  return readLocked(handler, [&] { return !mayRead(); }, framesLeft);
}

std::optional<SocketConnection::CloseReason> SocketConnection::readOnMainThread(
    const FrameHandler& handler, bool& handedOver) {
  handedOver = false;
  std::lock_guard lock(read_mutex_);
  if (!socket_ || read_fault_ || reader_.load() != Reader::mainThread) return std::nullopt;
  bool stopped = false;
  auto reason = readLocked(
      handler,
      [this] { return decoder_.partialFrameLength() > kMainThreadFrameLength; }, stopped);
  if (reason) {
    read_fault_ = reason;
    has_read_fault_ = true;
  } else if (stopped) {
    reader_ = Reader::ioThread;
    handedOver = true;
  }
  return reason;
}

bool SocketConnection::handBackReading() {
  std::lock_guard lock(read_mutex_);
  if (reader_.load() != Reader::ioThread ||
      decoder_.partialFrameLength() > kMainThreadFrameLength) {
    return false;
  }
  reader_ = Reader::handingBack;
  return true;
}

std::optional<SocketConnection::CloseReason> SocketConnection::readFault() const {
  if (!has_read_fault_.load()) return std::nullopt;
  std::lock_guard lock(read_mutex_);
  return read_fault_;
}

bool SocketConnection::mainThreadMayRead() const {
  return reader_.load() == Reader::mainThread && !has_read_fault_.load() && acceptsInput();
}

std::optional<SocketConnection::CloseReason> SocketConnection::readLocked(
    const FrameHandler& handler, const std::function<bool()>& stop, bool& stopped) {
  // Frames read before wait for room first, and the socket is read only once they have gone: so
  // the end of the connection is never taken for the end of a frame still in the decoder.
  stopped = false;
  auto handOn = [&]() -> std::optional<CloseReason> {
    while (!stop()) {
      auto frame = decoder_.next();
      if (!frame) {
        if (decoder_.hasFault()) return decoder_.fault();
        return std::nullopt;
      }
      if (auto reason = handler(std::move(*frame))) return reason;
    }
    stopped = true;
    return std::nullopt;
  };
  if (auto reason = handOn()) return reason;
  if (stopped) return std::nullopt;
  std::array<uint8_t, kReadChunkSize> chunk;
  for (int turn = 0; turn < kReadChunksPerTurn; ++turn) {
    ssize_t received = ::recv(socket_.get(), chunk.data(), chunk.size(), MSG_DONTWAIT);
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
    if (auto reason = handOn()) return reason;
    if (stopped) return std::nullopt;
    // A short read emptied the socket: poll tells when more arrives, without a futile read now.
    if (static_cast<size_t>(received) < chunk.size()) return std::nullopt;
  }
  return std::nullopt;
}

std::optional<SocketConnection::CloseReason> SocketConnection::writePending() {
  std::optional<CloseReason> reason;
  bool trim = false;
  {
    std::lock_guard lock(mutex_);
    reason = writeLocked();
    trim = output_.empty() && takeTrimLocked();
  }
  if (trim) ::malloc_trim(0);
  return reason;
}

bool SocketConnection::takeTrimLocked() {
  // Many small buffers freed leave the allocator's arenas holding their pages, which glibc gives
  // back only from the top of the heap unless asked.
  const bool due = held_peak_ >= kTrimmedHeldOutput;
  held_peak_ = held_output_;
  return due;
}

std::vector<FlutterBinaryReply> SocketConnection::close() {
  std::vector<FlutterBinaryReply> unanswered;
  bool trim = false;
  {
    // Reading ends first: the main thread may be reading the socket.
    std::lock_guard read_lock(read_mutex_);
    std::lock_guard lock(mutex_);
    if (closed_) return unanswered;
    closed_ = true;
    socket_.reset();
    output_.clear();
    output_offset_ = 0;
    output_size_ = 0;
    held_output_ = 0;
    has_output_ = false;
    waiting_since_ = kNotWaiting;
    logRefusedLocked();
    for (auto& [id, reply] : host_replies_) unanswered.push_back(std::move(reply));
    host_replies_.clear();
    trim = takeTrimLocked();
  }
  if (trim) ::malloc_trim(0);
  return unanswered;
}

}  // namespace flutter
