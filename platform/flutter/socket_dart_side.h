// The socket transport: an out-of-process Dart side reaches the engine over a Unix stream socket.
// It serves one Dart side at a time (the next connection waits until the current one ends) and
// relays frames between it and the engine's messenger: messages from the Dart side reach their
// handlers on the main thread, and the host's replies, events and calls go back as frames.
//
// The main thread's run loop reads the Dart side's small frames itself, so a call wakes the host
// once; long frames, writes the sender leaves, accepting and closing run on the transport's I/O
// thread. A connection that breaks the frame protocol is closed
// with one log line; the transport keeps accepting. When a connection ends, the host's messages
// it left unanswered get no reply (nullopt), so nothing waits for them forever.
//
// What the Dart side sends waits for the main thread within a bound (kMaxWaitingFrames frames and
// kMaxWaitingBytes bytes read but not yet handled there): past it the I/O thread reads no more
// from the socket, and it reads again once the main thread has handled half of what waited. A Dart
// side that sends faster than the host answers is so slowed to the host's pace, never served out
// of memory.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/flutter/engine_messenger.h"
#include "platform/flutter/flutter_dart_side.h"
#include "platform/flutter/socket_connection.h"
#include "platform/flutter/socket_listener.h"
#include "platform/flutter/wake_signal.h"

namespace flutter {

// The environment variable that names the socket's path.
inline constexpr const char* kDartSideSocketVariable = "DART_SIDE_SOCKET";

// A frame read from the Dart side: its message, or its reply with the host's call that waits for it.
struct SocketDartSideFrame {
  SocketFrame frame;
  FlutterBinaryReply hostReply;
};

class SocketDartSide final : public FlutterDartSide {
 public:
  // Listens at `path` and relays to `messenger`; null, after one log line saying why, when the
  // path is refused.
  static std::shared_ptr<SocketDartSide> serve(const std::string& path,
                                               std::weak_ptr<EngineMessenger> messenger);
  ~SocketDartSide() override;
  SocketDartSide(const SocketDartSide&) = delete;
  SocketDartSide& operator=(const SocketDartSide&) = delete;

  // What may wait for the main thread, read from the Dart side but not yet handled there: its
  // messages and its replies to the host's, each counted with its payload and channel name and
  // kWaitingFrameOverhead bytes for what holding it costs besides.
  static constexpr size_t kMaxWaitingFrames = 1024;
  static constexpr size_t kMaxWaitingBytes = 16 << 20;
  static constexpr size_t kWaitingFrameOverhead = 256;
  // The name the transport's I/O thread runs under, so that tools can tell its CPU from others'.
  static constexpr const char* kIoThreadName = "dart-side-io";
  // Counts what waits for the main thread (in the source file).
  class InputBudget;

  const std::string& path() const { return path_; }

  // On the main thread.
  void messageFromHost(const std::string& channel, FlutterBinaryMessage message,
                       FlutterBinaryReply reply) override;

  // Ends the connection and stops listening; the socket file is removed. Idempotent.
  void stop();

 private:
  SocketDartSide(SocketListener listener, std::weak_ptr<EngineMessenger> messenger);

  // The I/O thread.
  void run();
  void serveOne(const std::shared_ptr<SocketConnection>& connection);
  // Hands the frames the I/O thread gathered to the main thread, in order, and empties `batch`.
  void dispatchBatch(const std::shared_ptr<SocketConnection>& connection,
                     std::vector<SocketDartSideFrame>& batch);
  // Lets the main thread's run loop read the connection's socket.
  void watchOnMainThread(const std::shared_ptr<SocketConnection>& connection);
  void setConnection(std::shared_ptr<SocketConnection> connection);
  void closeConnection(const std::shared_ptr<SocketConnection>& connection,
                       const SocketConnection::CloseReason& reason);

  std::string path_;
  std::optional<SocketListener> listener_;
  std::weak_ptr<EngineMessenger> messenger_;
  std::shared_ptr<WakeSignal> wake_ = std::make_shared<WakeSignal>();
  std::shared_ptr<InputBudget> input_budget_;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::shared_ptr<SocketConnection> connection_;  // the Dart side being served, if any
  std::thread thread_;
};

}  // namespace flutter
