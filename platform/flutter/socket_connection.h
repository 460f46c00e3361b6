// One connected Dart side of the socket transport: its socket, the frames read from it, the bytes
// waiting to be written to it, and the host's messages it has yet to answer.
//
// A message too large for a frame fails alone, with a log line naming its channel: a reply
// becomes the error kSocketReplyTooLargeCode, a host message is dropped (its caller gets no
// reply). The connection stays.
//
// What waits for the Dart side is bounded (kMaxPendingOutput). A frame that would pass the bound
// fails alone too: a reply becomes the small error kSocketTransportBusyCode, a host message is
// dropped; each burst of them is counted in one log line. Small replies are always queued, past
// the bound, so that every call is answered; while the bound is passed the I/O thread reads no
// more from the Dart side, which keeps those small replies bounded too. The Dart side is deemed
// not reading only when output has waited and the socket has taken none of it for the stall time.
//
// Reading belongs to the main thread while the frames are small: its run loop waits on the socket
// itself, so a call costs the host one wake-up. A frame longer than kMainThreadFrameLength is read
// by the transport's I/O thread instead, which hands reading back once the frame has come, so the
// main thread never copies a large value; reading is always one thread's at a time. Sending frames and host messages may happen on
// any thread: a frame is written at once by the thread that sends it when nothing waits before
// it, and what the socket does not take waits for the I/O thread. Payloads are queued as they
// are, never copied into their frames. Once the connection is closed sends are refused, and a
// host message that wants a reply gets none (nullopt) at once.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/flutter/flutter_binary_messenger.h"
#include "platform/flutter/socket_frame.h"
#include "platform/flutter/wake_signal.h"
#include "platform/system/unique_fd.h"

namespace flutter {

// Error code of the answer to a call whose reply does not fit in a frame.
inline constexpr const char* kSocketReplyTooLargeCode = "reply_too_large";
// Error code of the answer to a call whose reply does not fit in what may wait for the Dart side.
inline constexpr const char* kSocketTransportBusyCode = "transport_busy";
// How long output may wait untaken before the Dart side is deemed not reading.
inline constexpr std::chrono::milliseconds kDefaultSocketStallTime{10000};

class SocketConnection {
 public:
  using Clock = std::chrono::steady_clock;
  // What may wait for the Dart side (frames written but not yet taken by its socket), counted at
  // what holding them costs: their buffers' capacity and bookkeeping.
  static constexpr size_t kMaxPendingOutput = 2 * size_t{kMaxSocketFrameLength};
  // A reply frame this small is queued whatever waits, so that every call is answered: the error
  // that stands for a larger reply is this small.
  static constexpr size_t kAlwaysQueuedReplySize = 4096;
  // The longest frame the main thread reads itself; it copies at most one read's chunk of a
  // longer one before the I/O thread takes over.
  static constexpr uint32_t kMainThreadFrameLength = 64 * 1024;

  // A reason to close the connection; empty when the Dart side simply went away.
  using CloseReason = std::string;
  // Handles one frame; a reason to close when the frame breaks the protocol.
  using FrameHandler = std::function<std::optional<CloseReason>(SocketFrame frame)>;

  SocketConnection(libsystem::UniqueFd socket, std::shared_ptr<WakeSignal> wake,
                   std::chrono::milliseconds stallTime = kDefaultSocketStallTime);
  SocketConnection(const SocketConnection&) = delete;
  SocketConnection& operator=(const SocketConnection&) = delete;

  // Any thread.
  // Queues the host's reply to the Dart side's message `id` on `channel` (named in the log
  // line if the reply is too large for a frame), or the error that stands for it; ignored once
  // the connection is closed.
  void sendReply(uint32_t id, const std::string& channel, FlutterBinaryMessage reply);
  // Sends a message from the host; `reply` (if any) waits for the Dart side's answer.
  void sendFromHost(const std::string& channel, FlutterBinaryMessage message,
                    FlutterBinaryReply reply);
  // Between these, frames sent wait and go out together at releaseWrites, in one write.
  void holdWrites();
  void releaseWrites();
  // The reply waiting for the Dart side's answer to `id`; null if none waits.
  FlutterBinaryReply takeHostReply(uint32_t id);

  // I/O thread, which `wake` wakes when output waits for the socket to take it.
  int fd() const { return socket_.get(); }
  bool hasPendingOutput() const;
  // What the output waiting for the Dart side holds in memory, as counted against
  // kMaxPendingOutput.
  size_t heldOutput() const { return held_output_.load(); }
  // False while the output waiting passes the bound: the Dart side's messages are left unread
  // until it has taken some.
  bool acceptsInput() const;
  // When the Dart side is deemed not reading unless its socket takes a byte before; nullopt
  // while no output waits for it.
  std::optional<Clock::time_point> stallDeadline() const;
  // Set when writing failed.
  std::optional<CloseReason> sendFault() const;
  // Set when the Dart side is deemed not reading: stallDeadline has passed.
  std::optional<CloseReason> stallFault() const;
  // Reads what has arrived and hands whole frames to `handler`, in order, while `mayRead`
  // answers true (it is asked before each frame and each read): once it answers false, the frames
  // already read stay in the decoder, and `framesLeft` is set, until a later call hands them on
  // before it reads more. Answers a reason to close when the Dart side left or broke the protocol.
  std::optional<CloseReason> readAvailable(const FrameHandler& handler,
                                           const std::function<bool()>& mayRead,
                                           bool& framesLeft);
  // Whether the I/O thread reads now (a long frame is coming), rather than the main thread.
  bool ioThreadReads() const { return reader_.load() == Reader::ioThread; }
  // I/O thread, after reading: gives reading back unless a long frame is still coming; the main
  // thread takes it with resumeMainThreadReading, after the frames read before.
  bool handBackReading();
  // A reason to close found by the main thread's reading; the I/O thread closes.
  std::optional<CloseReason> readFault() const;

  // Main thread.
  // Whether the main thread may read now: reading is its own, nothing ended it, and the output
  // is within its bound.
  bool mainThreadMayRead() const;
  void resumeMainThreadReading() { reader_.store(Reader::mainThread); }
  // As readAvailable, without blocking, at most kReadChunksPerTurn chunks. Once a long frame
  // begins, reading passes to the I/O thread and `handedOver` is set. A reason to close is kept
  // for readFault and answered.
  std::optional<CloseReason> readOnMainThread(const FrameHandler& handler, bool& handedOver);

  // Writes what the socket takes now. Answers a reason to close when writing failed.
  std::optional<CloseReason> writePending();
  // Closes the socket and answers the replies still waiting for the Dart side.
  std::vector<FlutterBinaryReply> close();

 private:
  // Frames refused since the output last passed the bound; logged, once, when the burst ends.
  struct Refused {
    size_t replies = 0;
    size_t messages = 0;
    size_t bytes = 0;
  };
  static constexpr Clock::rep kNotWaiting = std::numeric_limits<Clock::rep>::min();

  // Whether a frame costing `cost` more keeps the output within the bound.
  bool fitsLocked(size_t cost) const { return held_output_ + cost <= kMaxPendingOutput; }
  // Whether so much output was held since the last trim that freeing it should give memory back;
  // starts the count again.
  bool takeTrimLocked();
  void logRefusedLocked();
  // Queues a frame and, when nothing waited before it, writes what the socket takes now. Answers
  // whether the I/O thread must be woken: output is left for it, or the connection has failed.
  bool queueLocked(FlutterBytes head, FlutterBinaryMessage payload);
  // Writes what the socket takes now; answers whether the I/O thread must be woken.
  bool writeNowLocked();
  // Writes what waits until the socket is full; with `oneTurn`, at most kSenderWriteBytes (a
  // sending thread's share: the rest is the I/O thread's). A reason to close when writing failed.
  std::optional<CloseReason> writeLocked(bool oneTurn = false);

  enum class Reader : uint8_t { mainThread, ioThread, handingBack };
  // Reads from the socket into the decoder until it would block or `turns` chunks have come,
  // handing whole frames on; `stop` is asked before each frame and each read. `read_mutex_` held.
  std::optional<CloseReason> readLocked(const FrameHandler& handler,
                                        const std::function<bool()>& stop, bool& stopped);

  libsystem::UniqueFd socket_;
  std::shared_ptr<WakeSignal> wake_;
  std::chrono::milliseconds stall_time_;
  // Reading: the decoder and the socket's input, and closing, which ends them.
  mutable std::mutex read_mutex_;
  SocketFrameDecoder decoder_;
  std::atomic<Reader> reader_{Reader::mainThread};
  std::optional<CloseReason> read_fault_;  // under read_mutex_
  std::atomic<bool> has_read_fault_{false};

  mutable std::mutex mutex_;
  bool closed_ = false;
  std::deque<FlutterBytes> output_;     // frame heads and payloads, in order
  size_t output_offset_ = 0;            // bytes of output_.front() already written
  std::atomic<size_t> output_size_{0};  // bytes in output_ not yet written
  std::atomic<size_t> held_output_{0};  // what output_'s buffers cost to hold
  size_t held_peak_ = 0;                // the most held since the allocator was last trimmed
  // Since when the socket has taken nothing of the waiting output (kNotWaiting: it took all).
  std::atomic<Clock::rep> waiting_since_{kNotWaiting};
  Refused refused_;
  std::optional<CloseReason> send_fault_;
  int writes_held_ = 0;
  // Mirror output_ and send_fault_ for the I/O thread's checks on every turn, which would
  // otherwise wait for a sender holding the lock through its write.
  std::atomic<bool> has_output_{false};
  std::atomic<bool> has_send_fault_{false};
  std::atomic<uint32_t> next_host_message_id_{1};
  std::map<uint32_t, FlutterBinaryReply> host_replies_;
};

}  // namespace flutter
