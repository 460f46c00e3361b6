#include "platform/flutter/socket_dart_side.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>

#include "platform/dispatch/dispatch.h"
#include "platform/flutter/testing/socket_controls.h"
#include "platform/foundation/ns_log.h"

namespace flutter {
namespace {

// How long to wait before accepting again when the process is out of descriptors.
constexpr int kAcceptBackoffMilliseconds = 100;

// Answers, on the main thread, host messages that will never get a reply.
void answerWithNoReply(std::vector<FlutterBinaryReply> replies) {
  if (replies.empty()) return;
  dispatch_async(dispatch_get_main_queue(), [replies = std::move(replies)] {
    for (const auto& reply : replies) reply(std::nullopt);
  });
}

// Milliseconds until `deadline`, rounded up so that poll does not wake just before it; -1 (no
// limit) without one.
int pollTimeout(std::optional<SocketConnection::Clock::time_point> deadline) {
  if (!deadline) return -1;
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(*deadline - SocketConnection::Clock::now());
  return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INT32_MAX));
}

// A reply to a Dart side that has gone is dropped.
void replyToDartSide(const std::weak_ptr<SocketConnection>& weakConnection, uint32_t id,
                     const std::string& channel, FlutterBinaryMessage reply) {
  if (auto connection = weakConnection.lock()) connection->sendReply(id, channel, std::move(reply));
}

}  // namespace

std::shared_ptr<SocketDartSide> SocketDartSide::serve(const std::string& path,
                                                      std::weak_ptr<EngineMessenger> messenger) {
  std::string error;
  auto listener = SocketListener::open(path, error);
  if (!listener) {
    NSLog("Not serving the Dart side: %s", error.c_str());
    return nullptr;
  }
  try {
    std::shared_ptr<SocketDartSide> dart_side(
        new SocketDartSide(std::move(*listener), std::move(messenger)));
    NSLog("Serving the Dart side on %s", path.c_str());
    return dart_side;
  } catch (const std::exception& failure) {
    NSLog("Not serving the Dart side: %s", failure.what());
    return nullptr;
  }
}

SocketDartSide::SocketDartSide(SocketListener listener, std::weak_ptr<EngineMessenger> messenger)
    : path_(listener.path()), listener_(std::move(listener)), messenger_(std::move(messenger)) {
  thread_ = std::thread([this] { run(); });
}

SocketDartSide::~SocketDartSide() { stop(); }

void SocketDartSide::stop() {
  stopping_ = true;
  wake_->notify();
  if (thread_.joinable()) thread_.join();
  listener_.reset();
}

void SocketDartSide::messageFromHost(const std::string& channel, FlutterBinaryMessage message,
                                     FlutterBinaryReply reply) {
  std::shared_ptr<SocketConnection> connection;
  {
    std::lock_guard lock(mutex_);
    connection = connection_;
  }
  if (!connection) {
    if (reply) reply(std::nullopt);
    return;
  }
  connection->sendFromHost(channel, std::move(message), std::move(reply));
}

void SocketDartSide::run() {
  while (!stopping_) {
    pollfd fds[] = {{wake_->fd(), POLLIN, 0}, {listener_->fd(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      NSLog("The Dart side's socket stopped: poll failed: %s", std::strerror(errno));
      return;
    }
    if (fds[0].revents & POLLIN) wake_->clear();
    if (stopping_ || (fds[1].revents & POLLIN) == 0) continue;
    UniqueFd socket = listener_->accept();
    if (!socket) {
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        NSLog("Cannot accept a Dart side: %s", std::strerror(errno));
        pollfd wake = {wake_->fd(), POLLIN, 0};
        ::poll(&wake, 1, kAcceptBackoffMilliseconds);
      }
      continue;
    }
    auto connection =
        std::make_shared<SocketConnection>(std::move(socket), wake_, testing::socketStallTime());
    setConnection(connection);
    NSLog("A Dart side connected");
    serveOne(connection);
  }
}

void SocketDartSide::serveOne(const std::shared_ptr<SocketConnection>& connection) {
  // The Dart side's messages of one read reach the main thread as one block.
  std::vector<SocketFrame> batch;
  auto handler = [this, &connection, &batch](SocketFrame frame) {
    return handleFrame(connection, std::move(frame), batch);
  };
  while (!stopping_) {
    // Past the output's bound the Dart side's messages wait in its socket until it takes some:
    // their answers would only add to it. Its end is still seen (POLLHUP).
    const short wanted =
        (connection->acceptsInput() ? POLLIN : 0) | (connection->hasPendingOutput() ? POLLOUT : 0);
    pollfd fds[] = {{wake_->fd(), POLLIN, 0}, {connection->fd(), wanted, 0}};
    // While output waits, poll wakes when the Dart side would be deemed not reading.
    if (::poll(fds, 2, pollTimeout(connection->stallDeadline())) < 0) {
      if (errno == EINTR) continue;
      closeConnection(connection, std::string("poll failed: ") + std::strerror(errno));
      return;
    }
    if (fds[0].revents & POLLIN) wake_->clear();
    auto reason = connection->sendFault();
    if (!reason && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      reason = connection->readAvailable(handler);
      dispatchBatch(connection, batch);
    }
    // Writing at once, rather than after the next poll, keeps a round trip to one wake-up.
    if (!reason && connection->hasPendingOutput()) reason = connection->writePending();
    if (!reason) reason = connection->stallFault();
    if (reason) {
      closeConnection(connection, *reason);
      return;
    }
  }
  closeConnection(connection, "the host is stopping");
}

void SocketDartSide::dispatchBatch(const std::shared_ptr<SocketConnection>& connection,
                                   std::vector<SocketFrame>& batch) {
  if (batch.empty()) return;
  std::weak_ptr<SocketConnection> weak_connection = connection;
  dispatch_async(dispatch_get_main_queue(), [messenger = messenger_, weak_connection,
                                             frames = std::move(batch)]() mutable {
    // The answers given while the batch runs go out together, in one write.
    auto connection = weak_connection.lock();
    if (connection) connection->holdWrites();
    for (auto& frame : frames) {
      auto reply = [weak_connection, id = frame.id,
                    channel = frame.channel](FlutterBinaryMessage answer) {
        replyToDartSide(weak_connection, id, channel, std::move(answer));
      };
      if (auto target = messenger.lock()) {
        target->deliverFromDartSide(frame.channel, std::move(frame.payload), std::move(reply));
      } else {
        replyToDartSide(weak_connection, frame.id, frame.channel, std::nullopt);
      }
    }
    if (connection) connection->releaseWrites();
  });
  batch.clear();
}

std::optional<SocketConnection::CloseReason> SocketDartSide::handleFrame(
    const std::shared_ptr<SocketConnection>& connection, SocketFrame frame,
    std::vector<SocketFrame>& batch) {
  switch (frame.kind) {
    case SocketFrameKind::messageFromDartSide:
      batch.push_back(std::move(frame));
      return std::nullopt;
    case SocketFrameKind::replyFromDartSide:
      // Messages read before the reply reach the main thread before it.
      dispatchBatch(connection, batch);
      if (auto reply = connection->takeHostReply(frame.id)) {
        dispatch_async(dispatch_get_main_queue(),
                       [reply = std::move(reply), payload = std::move(frame.payload)]() mutable {
                         reply(std::move(payload));
                       });
      }
      return std::nullopt;
    case SocketFrameKind::replyFromHost:
    case SocketFrameKind::messageFromHost:
      break;
  }
  return "the Dart side sent a frame of kind " + std::to_string(static_cast<int>(frame.kind)) +
         ", which only the host sends";
}

void SocketDartSide::setConnection(std::shared_ptr<SocketConnection> connection) {
  std::lock_guard lock(mutex_);
  connection_ = std::move(connection);
}

void SocketDartSide::closeConnection(const std::shared_ptr<SocketConnection>& connection,
                                     const SocketConnection::CloseReason& reason) {
  setConnection(nullptr);
  // Logged before the socket closes, so that the line is there when the Dart side sees the end.
  if (reason.empty()) {
    NSLog("The Dart side disconnected");
  } else {
    NSLog("Closed the Dart side's connection: %s", reason.c_str());
  }
  answerWithNoReply(connection->close());
}

}  // namespace flutter
