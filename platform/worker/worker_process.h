// A helper process that runs what the host cannot stop from inside (a page's scripts, a
// document's drawing), so that it can be ended at once. It is started without a shell from an
// executable built by this project (see WorkerExecutable.cmake and worker_location.h), spoken to
// over a socket pair in length-prefixed messages of bounded size, limited in memory, killed at
// its deadline, and reaped by a thread of this library: nothing here waits on the caller's
// thread, which is usually the main thread.
//
// Messages from the worker go to the owner's handler, one at a time, on the owner's queue. The
// next one is read from the socket only after the handler has taken this one (or, when the
// handler holds on, after resumeReading), so a worker that sends faster than its owner takes
// messages waits in its own send (possibly in the middle of a message, until the owner resumes
// or ends it): the host holds one message of it at a time.
//
// A worker may hand a shared buffer over with a message (WorkerChannel::send with a
// SharedBuffer) to an owner that takes them (`maxBufferBytes`). The buffer is checked before it is
// mapped: a descriptor that is not a sealed memory file of the size announced, one beside a
// message that announced none, more than one, or a buffer to an owner that takes none all end the
// worker as one that broke the framing. A buffer this process has no descriptor to take in is its
// own failure: the message reaches the owner whole, without it (WorkerMessage::bufferError). No descriptor stays open in the host: a buffer reaches the
// owner as a read-only mapping, unmapped when the owner lets it go (the last buffer of up to
// kKeptBufferBytes stays mapped until the worker hands over another or ends, so that a worker
// drawing into one buffer again and again costs no new mapping).
//
// The end of the worker (it exited or crashed, went past its deadline or its memory, broke the
// framing, or was terminated) goes to the end handler once, after the messages handed over
// before it. Dropping the last WorkerProcess kills the worker and calls neither handler again.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/dispatch/dispatch.h"
#include "platform/worker/shared_buffer.h"

namespace worker {

struct WorkerOptions {
  // The worker executable's file name (see worker_location.h).
  std::string executable;
  // Handed to the worker after the channel's own arguments.
  std::vector<std::string> arguments;
  // The most memory the worker may take: its address space in plain builds, its allocator's
  // resident memory under the sanitizers (whose shadow memory rules out an address-space limit).
  size_t memoryLimitBytes = size_t{1} << 30;
  // The largest message either side may send (at most 2 GiB less a byte).
  size_t maxMessageBytes = size_t{64} << 20;
  // The largest buffer the worker may hand over with a message; 0 for none.
  size_t maxBufferBytes = 0;
};

// A message from the worker and the buffer that came with it, if one did.
struct WorkerMessage {
  std::vector<uint8_t> bytes;
  std::optional<MappedBuffer> buffer;
  // The errno when the message came with a buffer the host could not take in (it had no
  // descriptor to spare): the message is whole and the worker served on, the buffer lost.
  int bufferError = 0;
};

enum class WorkerEndReason {
  exited,          // the worker ended on its own: `code` is its exit status
  crashed,         // a signal ended it (its memory limit included): `code` is the signal
  deadlinePassed,  // killed at its deadline
  terminated,      // killed by its owner
  brokeFraming,    // killed for a message longer than agreed, or a buffer not as agreed
  failedToStart,   // the executable could not be started: `code` is the errno
};

struct WorkerEnd {
  WorkerEndReason reason = WorkerEndReason::exited;
  int code = 0;
};

class WorkerProcess {
 public:
  // Answers true to take the next message at once, false to hold reading until resumeReading.
  using MessageHandler = std::function<bool(std::vector<uint8_t> message)>;
  // For owners that take buffers.
  using BufferMessageHandler = std::function<bool(WorkerMessage message)>;
  using EndHandler = std::function<void(WorkerEnd end)>;

  // Starts the worker; never waits for it. A worker that cannot start ends at once.
  static std::unique_ptr<WorkerProcess> start(WorkerOptions options, dispatch_queue_t queue,
                                              MessageHandler onMessage, EndHandler onEnd);
  static std::unique_ptr<WorkerProcess> start(WorkerOptions options, dispatch_queue_t queue,
                                              BufferMessageHandler onMessage, EndHandler onEnd);
  ~WorkerProcess();
  WorkerProcess(const WorkerProcess&) = delete;
  WorkerProcess& operator=(const WorkerProcess&) = delete;

  // Queues a message for the worker. False, and nothing queued, when it is longer than agreed,
  // when more than two of the longest messages already wait, or when the worker has ended.
  bool send(std::vector<uint8_t> message);
  // Lets the next message be read after a handler held on.
  void resumeReading();
  // Kills the worker once `deadline` passes; none removes the deadline.
  void setDeadline(std::optional<std::chrono::steady_clock::time_point> deadline);
  // Kills the worker (as past its deadline) once it has used `cpuTime` more of its CPU time, all
  // its threads counted, from now; none removes that deadline. A busy machine that gives the
  // worker less of a core leaves it more wall-clock time.
  void setCpuDeadline(std::optional<std::chrono::nanoseconds> cpuTime);
  // Kills the worker now.
  void terminate();
  // The worker's process id once it has started; 0 until then or when it could not start.
  pid_t pid() const;

  struct State;

 private:
  explicit WorkerProcess(std::shared_ptr<State> state) : state_(std::move(state)) {}

  std::shared_ptr<State> state_;
};

}  // namespace worker
