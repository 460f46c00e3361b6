#include "platform/flutter/socket_dart_side.h"

#include <poll.h>
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>

#include "platform/dispatch/dispatch.h"
#include "platform/dispatch/main_queue.h"
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

// What the Dart side's frames hold while they wait for the main thread. The I/O thread takes, the
// main thread gives back; the I/O thread, stopped at the bound, is woken once half of it is free.
class SocketDartSide::InputBudget {
 public:
  explicit InputBudget(std::shared_ptr<WakeSignal> wake) : wake_(std::move(wake)) {}

  static size_t cost(const SocketFrame& frame) {
    return kWaitingFrameOverhead + frame.channel.size() + (frame.payload ? frame.payload->size() : 0);
  }

  // I/O thread: whether the next frame may be read. Once the bound is reached the answer stays
  // false until the main thread has handled half of what waits, and then wakes the I/O thread.
  bool mayRead() {
    if (stopped_.load()) {
      if (!resumable()) return false;
      stopped_.store(false);
    }
    if (frames_.load() < kMaxWaitingFrames && bytes_.load() < kMaxWaitingBytes) return true;
    stopped_.store(true);
    // Checked again: the main thread may have handled what waited before it saw `stopped_`.
    if (!resumable()) return false;
    stopped_.store(false);
    return true;
  }
  void take(size_t cost) {
    frames_.fetch_add(1);
    bytes_.fetch_add(cost);
  }

  // Blocks of frames handed to the main thread and not yet finished there: the main thread reads
  // no more until they are, so that frames keep their order.
  void batchStarted() { batches_.fetch_add(1); }
  void batchFinished() { batches_.fetch_sub(1); }
  bool batchesWaiting() const { return batches_.load() > 0; }

  // Main thread, once the frame has been handled.
  void give(size_t cost) {
    frames_.fetch_sub(1);
    bytes_.fetch_sub(cost);
    if (stopped_.load() && resumable() && stopped_.exchange(false)) wake_->notify();
  }

 private:
  bool resumable() const {
    return frames_.load() <= kMaxWaitingFrames / 2 && bytes_.load() <= kMaxWaitingBytes / 2;
  }

  std::shared_ptr<WakeSignal> wake_;
  std::atomic<size_t> frames_{0};
  std::atomic<size_t> bytes_{0};
  std::atomic<bool> stopped_{false};
  std::atomic<int> batches_{0};
};

namespace {

// The Dart side's frames of one read, handled on the main thread in order. Work that must not
// wait (a termination request) goes first: the batch makes way for it between two frames and
// goes on after it, ahead of everything else that waits.
struct MainThreadBatch {
  std::weak_ptr<EngineMessenger> messenger;
  std::weak_ptr<SocketConnection> connection;
  std::shared_ptr<SocketDartSide::InputBudget> budget;
  std::vector<SocketDartSideFrame> frames;
  size_t next = 0;
};

void handleBatch(const std::shared_ptr<MainThreadBatch>& batch);

// What reading on the main thread needs, none of it owned by the transport's object.
struct MainThreadReader {
  std::weak_ptr<EngineMessenger> messenger;
  std::weak_ptr<SocketConnection> connection;
  std::shared_ptr<SocketDartSide::InputBudget> budget;
  std::shared_ptr<WakeSignal> wake;
};

// Sorts a frame read from the Dart side into `frames`; a reason to close for a kind only the host
// sends. A reply takes the host's call waiting for it as it is read, so that a connection closed
// meanwhile cannot answer that call a second time.
std::optional<SocketConnection::CloseReason> collectFrame(
    SocketConnection& connection, SocketDartSide::InputBudget& budget, SocketFrame frame,
    std::vector<SocketDartSideFrame>& frames) {
  switch (frame.kind) {
    case SocketFrameKind::messageFromDartSide:
      budget.take(SocketDartSide::InputBudget::cost(frame));
      frames.push_back({std::move(frame), nullptr});
      return std::nullopt;
    case SocketFrameKind::replyFromDartSide:
      // Replies to messages the host wanted no answer to, or to unknown ids, are dropped.
      if (auto reply = connection.takeHostReply(frame.id)) {
        budget.take(SocketDartSide::InputBudget::cost(frame));
        frames.push_back({std::move(frame), std::move(reply)});
      }
      return std::nullopt;
    case SocketFrameKind::replyFromHost:
    case SocketFrameKind::messageFromHost:
      break;
  }
  return "the Dart side sent a frame of kind " + std::to_string(static_cast<int>(frame.kind)) +
         ", which only the host sends";
}

// On the main thread, when the socket is readable: reads what has come and handles it at once.
void readOnMainThread(const MainThreadReader& reader) {
  auto connection = reader.connection.lock();
  if (!connection) return;
  auto batch = std::make_shared<MainThreadBatch>();
  batch->messenger = reader.messenger;
  batch->connection = connection;
  batch->budget = reader.budget;
  bool handed_over = false;
  auto reason = connection->readOnMainThread(
      [&](SocketFrame frame) {
        return collectFrame(*connection, *reader.budget, std::move(frame), batch->frames);
      },
      handed_over);
  // The I/O thread closes, or reads the long frame that has begun.
  if (reason || handed_over) reader.wake->notify();
  if (batch->frames.empty()) return;
  reader.budget->batchStarted();
  handleBatch(batch);
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
    : path_(listener.path()),
      listener_(std::move(listener)),
      messenger_(std::move(messenger)),
      input_budget_(std::make_shared<InputBudget>(wake_)) {
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
  pthread_setname_np(pthread_self(), kIoThreadName);
  while (!stopping_) {
    pollfd fds[] = {{wake_->fd(), POLLIN, 0}, {listener_->fd(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      NSLog("The Dart side's socket stopped: poll failed: %s", std::strerror(errno));
      return;
    }
    if (fds[0].revents & POLLIN) wake_->clear();
    if (stopping_ || (fds[1].revents & POLLIN) == 0) continue;
    libsystem::UniqueFd socket = listener_->accept();
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
    watchOnMainThread(connection);
    serveOne(connection);
  }
}

void SocketDartSide::serveOne(const std::shared_ptr<SocketConnection>& connection) {
  // The frames of one read reach the main thread as one block.
  std::vector<SocketDartSideFrame> batch;
  auto handler = [this, &connection, &batch](SocketFrame frame) {
    return collectFrame(*connection, *input_budget_, std::move(frame), batch);
  };
  auto may_read = [this] { return input_budget_->mayRead(); };
  // Frames read but left in the decoder for want of room; handed on once there is room again.
  bool frames_left = false;
  // The Dart side has gone while reading waits for room: its socket is left out of poll (which
  // would report its end again and again) until the main thread wakes this thread.
  bool ended_while_waiting = false;
  // Reading just passed to this thread: what the decoder holds is handed on before any wait.
  bool was_reading_here = false;
  bool drain_decoder = false;
  while (!stopping_) {
    // This thread reads only while a long frame comes; the main thread reads the rest.
    const bool io_reads = connection->ioThreadReads();
    if (io_reads && !was_reading_here) drain_decoder = true;
    was_reading_here = io_reads;
    // Past the output's bound the Dart side's messages wait in its socket until it takes some:
    // their answers would only add to it. Past the input's bound they wait there until the main
    // thread has handled what waits for it. Its end is still seen (POLLHUP).
    const bool accepted = connection->acceptsInput();
    const bool reading = io_reads && accepted && input_budget_->mayRead();
    const bool writing = connection->hasPendingOutput();
    const short wanted = (reading ? POLLIN : 0) | (writing ? POLLOUT : 0);
    const bool watched = reading || writing || (io_reads && !ended_while_waiting);
    const int socket_fd = watched ? connection->fd() : -1;
    pollfd fds[] = {{wake_->fd(), POLLIN, 0}, {socket_fd, wanted, 0}};
    // While output waits, poll wakes when the Dart side would be deemed not reading; frames left
    // in the decoder are handed on without waiting.
    const int timeout =
        reading && (frames_left || drain_decoder) ? 0 : pollTimeout(connection->stallDeadline());
    if (::poll(fds, 2, timeout) < 0) {
      if (errno == EINTR) continue;
      closeConnection(connection, std::string("poll failed: ") + std::strerror(errno));
      return;
    }
    if (fds[0].revents & POLLIN) wake_->clear();
    auto reason = connection->sendFault();
    if (!reason) reason = connection->readFault();
    const bool input_ready = (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
    if (!reason && reading && (frames_left || drain_decoder || input_ready)) {
      ended_while_waiting = false;
      drain_decoder = false;
      reason = connection->readAvailable(handler, may_read, frames_left);
      dispatchBatch(connection, batch);
      if (!reason && connection->handBackReading()) {
        // After the frames handed on before, so that they keep their order.
        dispatch_async(dispatch_get_main_queue(),
                       [reader = MainThreadReader{messenger_, connection, input_budget_, wake_}] {
                         if (auto handed = reader.connection.lock()) {
                           handed->resumeMainThreadReading();
                           readOnMainThread(reader);
                         }
                       });
      }
    } else if (io_reads && !reading && (fds[1].revents & (POLLHUP | POLLERR)) != 0) {
      ended_while_waiting = true;
    }
    // Writing at once, rather than after the next poll, keeps a round trip to one wake-up.
    if (!reason && connection->hasPendingOutput()) reason = connection->writePending();
    if (!reason) reason = connection->stallFault();
    if (reason) {
      closeConnection(connection, *reason);
      return;
    }
    // The main thread's loop looks at the socket again once the output is back within its bound.
    if (!accepted && connection->acceptsInput()) dispatch::MainQueue::shared()->wake();
  }
  closeConnection(connection, "the host is stopping");
}

namespace {

void handleBatch(const std::shared_ptr<MainThreadBatch>& batch) {
  // The answers given while the batch runs go out together, in one write.
  auto connection = batch->connection.lock();
  if (connection) connection->holdWrites();
  auto main_queue = dispatch::MainQueue::shared();
  while (batch->next < batch->frames.size()) {
    auto& [frame, host_reply] = batch->frames[batch->next++];
    const size_t cost = SocketDartSide::InputBudget::cost(frame);
    if (host_reply) {
      host_reply(std::move(frame.payload));
      host_reply = nullptr;
    } else if (auto target = batch->messenger.lock()) {
      auto reply = [weak_connection = batch->connection, id = frame.id,
                    channel = frame.channel](FlutterBinaryMessage answer) {
        replyToDartSide(weak_connection, id, channel, std::move(answer));
      };
      target->deliverFromDartSide(frame.channel, std::move(frame.payload), std::move(reply));
    } else {
      replyToDartSide(batch->connection, frame.id, frame.channel, std::nullopt);
    }
    frame = SocketFrame{};
    batch->budget->give(cost);
    if (batch->next < batch->frames.size() && main_queue->urgentWaiting()) {
      main_queue->resumeFirst([batch] { handleBatch(batch); });
      if (connection) connection->releaseWrites();
      return;
    }
  }
  batch->budget->batchFinished();
  if (connection) connection->releaseWrites();
}

}  // namespace

void SocketDartSide::dispatchBatch(const std::shared_ptr<SocketConnection>& connection,
                                   std::vector<SocketDartSideFrame>& batch) {
  if (batch.empty()) return;
  auto work = std::make_shared<MainThreadBatch>();
  work->messenger = messenger_;
  work->connection = connection;
  work->budget = input_budget_;
  work->frames = std::move(batch);
  input_budget_->batchStarted();
  dispatch_async(dispatch_get_main_queue(), [work] { handleBatch(work); });
  batch.clear();
}

void SocketDartSide::watchOnMainThread(const std::shared_ptr<SocketConnection>& connection) {
  MainThreadReader reader{messenger_, connection, input_budget_, wake_};
  // The main thread reads this connection only after what was queued for it before, such as the
  // answers to calls an earlier connection left: the watched socket may be looked at ahead of
  // queued blocks, and a new Dart side must not overtake what the last one's leaving set off.
  auto started = std::make_shared<std::atomic<bool>>(false);
  dispatch::MainQueue::shared()->watchReadable(
      connection->fd(),
      [weak_connection = std::weak_ptr(connection), budget = input_budget_, started] {
        auto watched = weak_connection.lock();
        return started->load() && watched && watched->mainThreadMayRead() &&
               !budget->batchesWaiting();
      },
      [reader] { readOnMainThread(reader); });
  dispatch_async(dispatch_get_main_queue(), [started] { started->store(true); });
}

void SocketDartSide::setConnection(std::shared_ptr<SocketConnection> connection) {
  std::lock_guard lock(mutex_);
  connection_ = std::move(connection);
}

void SocketDartSide::closeConnection(const std::shared_ptr<SocketConnection>& connection,
                                     const SocketConnection::CloseReason& reason) {
  dispatch::MainQueue::shared()->stopWatching();
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
