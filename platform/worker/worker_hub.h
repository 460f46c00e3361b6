// The one thread that starts, feeds, reads, kills and reaps every worker of the process. It is
// process-wide, like the processes it watches, and never ends: a worker's death signal is tied to
// the thread that started it, so that thread must outlive every worker.
#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/system/unique_fd.h"
#include "platform/worker/worker_frame.h"
#include "platform/worker/worker_process.h"

namespace worker {

// One of a worker's descriptors in the hub's wait set: the events asked for (none when it is out
// of the set) and those the last wait found.
struct Watch {
  uint32_t events = 0;
  uint32_t ready = 0;
};

// Why the hub killed a worker, if it did.
enum class KillCause { none, deadline, terminated, framing, channelClosed };

struct WorkerProcess::State {
  State(WorkerOptions options, dispatch_queue_t queue, BufferMessageHandler onMessage,
        EndHandler onEnd)
      : options(std::move(options)),
        queue(std::move(queue)),
        on_message(std::move(onMessage)),
        on_end(std::move(onEnd)),
        reader(this->options.maxMessageBytes, this->options.maxBufferBytes > 0) {}

  const WorkerOptions options;
  const dispatch_queue_t queue;
  std::atomic<pid_t> pid{0};

  // Shared with the owner's threads.
  std::mutex mutex;
  BufferMessageHandler on_message;
  EndHandler on_end;
  std::deque<std::vector<uint8_t>> outbound;  // frame heads and payloads, in order
  size_t outbound_bytes = 0;
  bool reading_held = false;  // a message is with the owner, or the owner holds on
  std::optional<std::chrono::steady_clock::time_point> deadline;
  // A CPU deadline the owner set and the hub has not armed yet: how much more CPU time the worker
  // may use, or a negative one to remove the deadline (see setCpuDeadline).
  std::optional<std::chrono::nanoseconds> cpu_allowance;
  bool terminate_requested = false;
  bool ended = false;  // no more sends are taken

  // The hub's alone.
  libsystem::UniqueFd socket;
  libsystem::UniqueFd child_socket;
  libsystem::UniqueFd pidfd;
  Watch socket_watch;
  Watch pidfd_watch;
  bool started = false;
  int failed_errno = 0;  // set when the executable could not be started
  bool socket_done = false;
  size_t outbound_offset = 0;
  std::optional<std::chrono::steady_clock::time_point> grace_deadline;
  // The worker's CPU time at which it is killed; armed from cpu_allowance.
  std::optional<std::chrono::nanoseconds> cpu_deadline;
  KillCause kill_cause = KillCause::none;
  std::optional<int> wait_status;
  FrameReader reader;
  // The descriptor that came with the header being read, for the buffer it announces; or, when it
  // could not be taken in for want of descriptors here, why (an errno).
  libsystem::UniqueFd descriptor;
  int descriptor_shortage = 0;
  // The last buffer the worker handed over, whose mapping serves again when it hands it over again.
  std::optional<MappedBuffer> last_buffer;
};

class WorkerHub {
 public:
  static WorkerHub& shared();
  // Watches the worker; one the hub has no thread for ends at once as unable to start.
  void add(std::shared_ptr<WorkerProcess::State> state);
  void wake();

 private:
  WorkerHub();
  void run();
  // Ends a worker the hub cannot watch before it starts: its owner hears why.
  void refuse(WorkerProcess::State& state, const std::shared_ptr<WorkerProcess::State>& owner,
              int error);
  // Makes the wake and wait descriptors that are missing (they may not be had at the descriptor
  // limit); answers the errno while there is no wait set.
  int ensureWaitSet();
  // Puts `fd` in the wait set for `events`, or takes it out for none. False if the kernel refused.
  bool watch(int fd, uint32_t events, Watch& entry);
  void unwatch(int fd, Watch& entry) { watch(fd, 0, entry); }
  void dropWaitSet();
  void spawn(WorkerProcess::State& state);
  void readFrom(const std::shared_ptr<WorkerProcess::State>& state);
  void writeTo(WorkerProcess::State& state);
  void kill(WorkerProcess::State& state, KillCause cause);
  // Kills a worker whose message (or buffer) is not as agreed and reads no more of it.
  void brokeFraming(WorkerProcess::State& state);
  void reap(WorkerProcess::State& state);
  // Hands the end to the owner once the worker is reaped and its messages are read.
  bool finishIfDone(const std::shared_ptr<WorkerProcess::State>& state);

  // Made once and never closed, so that a wake from any thread never writes to another file.
  std::atomic<int> wake_fd_{-1};
  // The hub thread's alone. The wait set is an epoll set: unlike poll(), its size is bounded by
  // no descriptor limit, so any number of workers is watched.
  libsystem::UniqueFd epoll_fd_;
  bool wake_watched_ = false;
  bool wait_failure_logged_ = false;
  std::mutex mutex_;
  bool running_ = false;  // whether the hub's thread started
  std::vector<std::shared_ptr<WorkerProcess::State>> added_;
  std::vector<std::shared_ptr<WorkerProcess::State>> workers_;  // the hub thread's alone
};

}  // namespace worker
