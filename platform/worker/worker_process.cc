#include "platform/worker/worker_process.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "platform/worker/worker_hub.h"

namespace worker {

std::unique_ptr<WorkerProcess> WorkerProcess::start(WorkerOptions options, dispatch_queue_t queue,
                                                    MessageHandler onMessage, EndHandler onEnd) {
  options.maxBufferBytes = 0;  // this owner takes none
  BufferMessageHandler handler;
  if (onMessage) {
    handler = [onMessage = std::move(onMessage)](WorkerMessage message) {
      return onMessage(std::move(message.bytes));
    };
  }
  return start(std::move(options), std::move(queue), std::move(handler), std::move(onEnd));
}

std::unique_ptr<WorkerProcess> WorkerProcess::start(WorkerOptions options, dispatch_queue_t queue,
                                                    BufferMessageHandler onMessage,
                                                    EndHandler onEnd) {
  options.maxMessageBytes = std::min(options.maxMessageBytes, kMaxFrameLength);
  auto state = std::make_shared<State>(std::move(options), std::move(queue), std::move(onMessage),
                                       std::move(onEnd));
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    state->failed_errno = errno;
  } else {
    state->socket.reset(ends[0]);
    state->child_socket.reset(ends[1]);
  }
  WorkerHub::shared().add(state);
  return std::unique_ptr<WorkerProcess>(new WorkerProcess(std::move(state)));
}

WorkerProcess::~WorkerProcess() {
  {
    std::lock_guard lock(state_->mutex);
    state_->on_message = nullptr;
    state_->on_end = nullptr;
    state_->terminate_requested = true;
    state_->ended = true;
    state_->outbound.clear();
    state_->outbound_bytes = 0;
  }
  WorkerHub::shared().wake();
}

bool WorkerProcess::send(std::vector<uint8_t> message) {
  size_t limit = state_->options.maxMessageBytes;
  if (message.size() > limit) return false;
  {
    std::lock_guard lock(state_->mutex);
    size_t framed = kFrameHeaderBytes + message.size();
    if (state_->ended || state_->outbound_bytes + framed > 2 * (limit + kFrameHeaderBytes)) {
      return false;
    }
    state_->outbound.push_back(frameHeader(message.size()));
    state_->outbound.push_back(std::move(message));
    state_->outbound_bytes += framed;
  }
  WorkerHub::shared().wake();
  return true;
}

void WorkerProcess::resumeReading() {
  {
    std::lock_guard lock(state_->mutex);
    state_->reading_held = false;
  }
  WorkerHub::shared().wake();
}

void WorkerProcess::setDeadline(std::optional<std::chrono::steady_clock::time_point> deadline) {
  {
    std::lock_guard lock(state_->mutex);
    state_->deadline = deadline;
  }
  WorkerHub::shared().wake();
}

void WorkerProcess::setCpuDeadline(std::optional<std::chrono::nanoseconds> cpuTime) {
  {
    std::lock_guard lock(state_->mutex);
    // The hub arms it against the worker's CPU time when it next looks, at once.
    state_->cpu_allowance = cpuTime.value_or(std::chrono::nanoseconds(-1));
  }
  WorkerHub::shared().wake();
}

void WorkerProcess::terminate() {
  {
    std::lock_guard lock(state_->mutex);
    state_->terminate_requested = true;
  }
  WorkerHub::shared().wake();
}

pid_t WorkerProcess::pid() const { return state_->pid.load(); }

}  // namespace worker
