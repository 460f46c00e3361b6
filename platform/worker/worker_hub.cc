#include "platform/worker/worker_hub.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "platform/dispatch/thread_start.h"
#include "platform/foundation/ns_log.h"
#include "platform/worker/worker_location.h"

extern char** environ;

namespace worker {
namespace {

using Clock = std::chrono::steady_clock;
using State = WorkerProcess::State;

// How long a worker that closed its channel has to exit on its own before it is killed.
constexpr auto kExitGrace = std::chrono::seconds(1);
// The most read from one worker per turn, so that a long message keeps no other worker waiting.
constexpr size_t kReadPerTurn = size_t{1} << 20;
// How often workers are checked for their end where the kernel offers no process descriptor.
constexpr int kReapPollMilliseconds = 50;
// How often, at least, a worker with a CPU deadline has its CPU time read.
constexpr auto kCpuPollInterval = std::chrono::milliseconds(5);
// The most ready descriptors taken from one wait; the rest stay ready for the next.
constexpr int kEventsPerWait = 256;

// The CPU time a worker has used, all its threads counted; none once it cannot be read (it has
// ended).
std::optional<std::chrono::nanoseconds> cpuTimeOf(pid_t pid) {
  clockid_t clock{};
  timespec used{};
  if (pid <= 0 || ::clock_getcpuclockid(pid, &clock) != 0 || ::clock_gettime(clock, &used) != 0) {
    return std::nullopt;
  }
  return std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec);
}

// The worker sees only what it needs: the search path (for sanitizer reports) and the sanitizer
// options, to which the memory limit is added where the sanitizers take the place of rlimits.
std::vector<std::string> childEnvironment(const WorkerOptions& options) {
  constexpr std::string_view kKept[] = {"PATH=",         "ASAN_OPTIONS=", "UBSAN_OPTIONS=",
                                        "TSAN_OPTIONS=", "LSAN_OPTIONS=", "LLVM_SYMBOLIZER_PATH="};
  std::vector<std::string> environment;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    std::string_view text(*entry);
    for (auto prefix : kKept) {
      if (text.starts_with(prefix)) environment.emplace_back(text);
    }
  }
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#if defined(__SANITIZE_ADDRESS__)
  const std::string name = "ASAN_OPTIONS=";
#else
  const std::string name = "TSAN_OPTIONS=";
#endif
  std::string megabytes = std::to_string(std::max<size_t>(1, options.memoryLimitBytes >> 20));
  std::string limits = "hard_rss_limit_mb=" + megabytes + ":max_allocation_size_mb=" + megabytes +
                       ":allocator_may_return_null=1";
  auto found = std::find_if(environment.begin(), environment.end(),
                            [&](const std::string& entry) { return entry.starts_with(name); });
  if (found == environment.end()) {
    environment.push_back(name + limits);
  } else {
    *found += ":" + limits;  // later options win
  }
#else
  (void)options;
#endif
  return environment;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> out;
  for (auto& text : texts) out.push_back(text.data());
  out.push_back(nullptr);
  return out;
}

// Room for a few descriptors, so that a worker sending several is seen doing so; past them the
// kernel closes the rest and says the room ran out.
constexpr size_t kDescriptorRoom = 4;

struct Received {
  ssize_t bytes = 0;
  int error = 0;
  std::vector<libsystem::UniqueFd> descriptors;
  bool truncated = false;  // more descriptors came than there was room for
};

// Reads what has arrived, up to `wanted` bytes, with the descriptors that came with it.
Received receive(int socket, uint8_t* space, size_t wanted) {
  Received received;
  iovec data{space, wanted};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kDescriptorRoom)];
  msghdr header{};
  header.msg_iov = &data;
  header.msg_iovlen = 1;
  header.msg_control = control;
  header.msg_controllen = sizeof(control);
  received.bytes = ::recvmsg(socket, &header, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
  if (received.bytes < 0) {
    received.error = errno;
    return received;
  }
  for (cmsghdr* part = CMSG_FIRSTHDR(&header); part != nullptr; part = CMSG_NXTHDR(&header, part)) {
    if (part->cmsg_level != SOL_SOCKET || part->cmsg_type != SCM_RIGHTS) continue;
    size_t count = (part->cmsg_len - CMSG_LEN(0)) / sizeof(int);
    for (size_t i = 0; i < count; ++i) {
      int fd = -1;
      std::memcpy(&fd, CMSG_DATA(part) + i * sizeof(int), sizeof(int));
      received.descriptors.emplace_back(fd);
    }
  }
  received.truncated = (header.msg_flags & MSG_CTRUNC) != 0;
  return received;
}

// Why this process could not take a descriptor in just now: what making one answers (EMFILE at
// its own limit, ENFILE at the system's), or EMFILE if one can be made again already.
int descriptorShortage(int socket) {
  libsystem::UniqueFd probe(::fcntl(socket, F_DUPFD_CLOEXEC, 0));
  return probe ? EMFILE : errno;
}

WorkerEnd endOf(const State& state) {
  switch (state.kill_cause) {
    case KillCause::deadline:
      return {WorkerEndReason::deadlinePassed, SIGKILL};
    case KillCause::terminated:
      return {WorkerEndReason::terminated, SIGKILL};
    case KillCause::framing:
      return {WorkerEndReason::brokeFraming, SIGKILL};
    case KillCause::none:
    case KillCause::channelClosed:
      break;
  }
  int status = state.wait_status.value_or(0);
  if (WIFSIGNALED(status)) return {WorkerEndReason::crashed, WTERMSIG(status)};
  return {WorkerEndReason::exited, WEXITSTATUS(status)};
}

}  // namespace

WorkerHub& WorkerHub::shared() {
  static WorkerHub* hub = new WorkerHub();  // never destroyed: workers may outlive static objects
  return *hub;
}

WorkerHub::WorkerHub() {
  ensureWaitSet();
  running_ = dispatch::startDetachedThread([this] { run(); }) == 0;
}

void WorkerHub::add(std::shared_ptr<State> state) {
  int refused = 0;
  {
    std::lock_guard lock(mutex_);
    // A hub whose thread could not start tries again with each worker.
    if (!running_) {
      refused = dispatch::startDetachedThread([this] { run(); });
      running_ = refused == 0;
    }
    if (running_) added_.push_back(state);
  }
  if (refused != 0) return refuse(*state, state, refused);
  wake();
}

void WorkerHub::refuse(State& state, const std::shared_ptr<State>& owner, int error) {
  state.socket.reset();
  state.child_socket.reset();
  {
    std::lock_guard lock(state.mutex);
    state.ended = true;
    state.outbound.clear();
    state.outbound_bytes = 0;
  }
  dispatch_async(state.queue, [owner, error] {
    WorkerProcess::EndHandler handler;
    {
      std::lock_guard lock(owner->mutex);
      handler = std::move(owner->on_end);
      owner->on_end = nullptr;
      owner->on_message = nullptr;
    }
    if (handler) handler(WorkerEnd{WorkerEndReason::failedToStart, error});
  });
}

void WorkerHub::wake() {
  int fd = wake_fd_.load();
  if (fd < 0) return;  // the hub looks again within kReapPollMilliseconds
  uint64_t one = 1;
  [[maybe_unused]] ssize_t written = ::write(fd, &one, sizeof(one));
}

int WorkerHub::ensureWaitSet() {
  if (wake_fd_.load() < 0) wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (!epoll_fd_) {
    epoll_fd_.reset(::epoll_create1(EPOLL_CLOEXEC));
    if (!epoll_fd_) return errno;
    wake_watched_ = false;
  }
  if (!wake_watched_ && wake_fd_.load() >= 0) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.ptr = nullptr;  // the wake descriptor
    wake_watched_ = ::epoll_ctl(epoll_fd_.get(), EPOLL_CTL_ADD, wake_fd_.load(), &event) == 0;
  }
  return 0;
}

void WorkerHub::dropWaitSet() {
  epoll_fd_.reset();
  wake_watched_ = false;
  for (auto& state : workers_) {
    state->socket_watch = {};
    state->pidfd_watch = {};
  }
}

bool WorkerHub::watch(int fd, uint32_t events, Watch& entry) {
  if (fd < 0 || !epoll_fd_) {
    entry = {};
    return events == 0;
  }
  if (events == entry.events) return true;
  epoll_event event{};
  event.events = events;
  event.data.ptr = &entry;
  int operation = entry.events == 0 ? EPOLL_CTL_ADD : events == 0 ? EPOLL_CTL_DEL : EPOLL_CTL_MOD;
  if (::epoll_ctl(epoll_fd_.get(), operation, fd, &event) != 0 && events != 0) return false;
  entry.events = events;
  entry.ready = 0;
  return true;
}

void WorkerHub::run() {
  std::array<epoll_event, kEventsPerWait> events{};
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      for (auto& state : added_) workers_.push_back(std::move(state));
      added_.clear();
    }
    // Without a wait set no worker can be watched: new ones are refused and running ones ended
    // (and reaped by looking), so that every owner hears, until descriptors are to be had again.
    const int unwatchable = ensureWaitSet();
    auto now = Clock::now();
    std::optional<Clock::time_point> wake_at;
    bool poll_for_ends = unwatchable != 0 || !wake_watched_;
    for (auto& state : workers_) {
      if (!state->started) {
        if (unwatchable != 0 && state->failed_errno == 0) state->failed_errno = unwatchable;
        spawn(*state);
      }
      if (state->failed_errno != 0) wake_at = now;  // its owner hears at once, not at a deadline
      if (unwatchable != 0) kill(*state, KillCause::terminated);
      bool terminate = false, held = false, has_output = false;
      std::optional<Clock::time_point> deadline;
      std::optional<std::chrono::nanoseconds> cpu_allowance;
      {
        std::lock_guard lock(state->mutex);
        terminate = state->terminate_requested;
        deadline = state->deadline;
        cpu_allowance = std::exchange(state->cpu_allowance, std::nullopt);
        held = state->reading_held;
        has_output = !state->outbound.empty();
      }
      if (terminate) kill(*state, KillCause::terminated);
      if (deadline && now >= *deadline) kill(*state, KillCause::deadline);
      if (cpu_allowance) {
        state->cpu_deadline.reset();
        if (cpu_allowance->count() >= 0) {
          state->cpu_deadline =
              cpuTimeOf(state->pid).value_or(std::chrono::nanoseconds(0)) + *cpu_allowance;
        }
      }
      if (state->cpu_deadline && state->pid > 0 && state->kill_cause == KillCause::none) {
        if (auto used = cpuTimeOf(state->pid)) {
          if (*used >= *state->cpu_deadline) {
            kill(*state, KillCause::deadline);
          } else {
            // Its threads cannot use more than a core each in the time left: look again by then.
            auto next = now + std::max<Clock::duration>(std::chrono::duration_cast<Clock::duration>(
                                                            (*state->cpu_deadline - *used) / 4),
                                                        kCpuPollInterval);
            wake_at = wake_at ? std::min(*wake_at, next) : next;
          }
        }
      }
      if (state->grace_deadline && now >= *state->grace_deadline) {
        kill(*state, KillCause::channelClosed);
      }
      for (auto when : {deadline, state->grace_deadline}) {
        if (when && state->kill_cause == KillCause::none) {
          wake_at = wake_at ? std::min(*wake_at, *when) : *when;
        }
      }
      bool readable = state->socket.valid() && !state->socket_done;
      uint32_t socket_events = 0;
      if (readable && !held && state->kill_cause == KillCause::none) socket_events |= EPOLLIN;
      if (readable && has_output) socket_events |= EPOLLOUT;
      // A socket the hub may not read now is out of the set: its hang-up would wake every wait.
      if (!watch(state->socket.get(), socket_events, state->socket_watch)) {
        kill(*state, KillCause::terminated);  // it could not be heard
        state->socket_done = true;
      }
      bool waiting_for_end = state->pid > 0 && !state->wait_status;
      if (!watch(state->pidfd.get(), waiting_for_end ? uint32_t{EPOLLIN} : 0, state->pidfd_watch) ||
          (waiting_for_end && state->pidfd_watch.events == 0)) {
        poll_for_ends = true;  // no process descriptor, or none in the set: look for its end
      }
    }
    int timeout = -1;
    if (wake_at) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(*wake_at - Clock::now()).count();
      timeout = static_cast<int>(std::clamp<long long>(left, 0, 60'000));
    }
    if (poll_for_ends)
      timeout = timeout < 0 ? kReapPollMilliseconds : std::min(timeout, kReapPollMilliseconds);
    int ready = 0;
    if (epoll_fd_) {
      ready =
          ::epoll_wait(epoll_fd_.get(), events.data(), static_cast<int>(events.size()), timeout);
    } else {
      ready = ::poll(nullptr, 0, timeout);
    }
    if (ready < 0 && errno != EINTR) {
      // Never tried again at once: said once, the set made anew, and the next wait bounded.
      if (!std::exchange(wait_failure_logged_, true)) {
        NSLog("worker hub: waiting for workers failed (%s); the wait set is made anew",
              std::strerror(errno));
      }
      dropWaitSet();
      ::poll(nullptr, 0, kReapPollMilliseconds);
      ready = 0;
    }
    for (int i = 0; i < ready; ++i) {
      if (events[i].data.ptr == nullptr) {
        uint64_t count = 0;
        [[maybe_unused]] ssize_t got = ::read(wake_fd_.load(), &count, sizeof(count));
      } else {
        static_cast<Watch*>(events[i].data.ptr)->ready = events[i].events;
      }
    }
    now = Clock::now();
    for (auto& state : workers_) {
      uint32_t socket_events = std::exchange(state->socket_watch.ready, 0);
      uint32_t pidfd_events = std::exchange(state->pidfd_watch.ready, 0);
      if (socket_events & EPOLLOUT) writeTo(*state);
      if (socket_events & (EPOLLIN | EPOLLHUP | EPOLLERR)) readFrom(state);
      if (pidfd_events != 0 || (state->pidfd_watch.events == 0 && state->pid > 0)) reap(*state);
    }
    std::erase_if(workers_, [this](const auto& state) { return finishIfDone(state); });
  }
}

void WorkerHub::spawn(State& state) {
  state.started = true;
  if (state.failed_errno != 0) return;  // no channel to give it
  std::string path = workerExecutablePath(state.options.executable);
  std::vector<std::string> arguments = {
      path, "--channel-fd=3", "--host-pid=" + std::to_string(::getpid()),
      "--memory-limit=" + std::to_string(state.options.memoryLimitBytes),
      "--max-message=" + std::to_string(state.options.maxMessageBytes)};
  arguments.insert(arguments.end(), state.options.arguments.begin(), state.options.arguments.end());
  std::vector<std::string> environment = childEnvironment(state.options);
  auto argv = pointers(arguments);
  auto envp = pointers(environment);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, state.child_socket.get(), 3);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&actions, 4);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t signals;
  sigemptyset(&signals);
  posix_spawnattr_setsigmask(&attributes, &signals);
  sigfillset(&signals);
  sigdelset(&signals, SIGKILL);
  sigdelset(&signals, SIGSTOP);
  posix_spawnattr_setsigdefault(&attributes, &signals);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  int error = ::posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  state.child_socket.reset();
  if (error != 0) {
    state.failed_errno = error;
    return;
  }
  state.pid = pid;
  state.pidfd.reset(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
}

void WorkerHub::readFrom(const std::shared_ptr<State>& state) {
  size_t budget = kReadPerTurn;
  for (;;) {
    if (auto frame = state->reader.take()) {
      auto message = std::make_shared<WorkerMessage>();
      message->bytes = std::move(frame->message);
      if (frame->bufferBytes && !state->descriptor && state->descriptor_shortage != 0) {
        message->bufferError = std::exchange(state->descriptor_shortage, 0);
      } else if (frame->bufferBytes) {
        message->buffer = MappedBuffer::adopt(std::move(state->descriptor), *frame->bufferBytes,
                                              state->options.maxBufferBytes,
                                              state->last_buffer ? &*state->last_buffer : nullptr);
        if (!message->buffer) return brokeFraming(*state);
        state->last_buffer.reset();
        if (message->buffer->bytes().size() <= kKeptBufferBytes) {
          state->last_buffer = message->buffer;
        }
      }
      {
        std::lock_guard lock(state->mutex);
        state->reading_held = true;
      }
      dispatch_async(state->queue, [state, message] {
        WorkerProcess::BufferMessageHandler handler;
        {
          std::lock_guard lock(state->mutex);
          handler = state->on_message;
        }
        if (!handler || !handler(std::move(*message))) return;
        {
          std::lock_guard lock(state->mutex);
          state->reading_held = false;
        }
        WorkerHub::shared().wake();
      });
      return;
    }
    if (budget == 0) return;
    size_t wanted = 0;
    const bool at_frame_start = !state->reader.midFrame();
    uint8_t* space = state->reader.space(&wanted);
    Received received = receive(state->socket.get(), space, std::min(wanted, budget));
    if (received.truncated && received.descriptors.empty() && at_frame_start &&
        !state->descriptor && state->descriptor_shortage == 0) {
      // The kernel dropped what came because this process had no descriptor to spare: the
      // host's failure, not the worker's. The message is read on; its buffer is lost.
      state->descriptor_shortage = descriptorShortage(state->socket.get());
      received.truncated = false;
    }
    if (received.truncated || received.descriptors.size() > 1 ||
        (!received.descriptors.empty() && (!at_frame_start || state->descriptor))) {
      return brokeFraming(*state);  // a descriptor is taken only with a header's first byte
    }
    if (!received.descriptors.empty()) state->descriptor = std::move(received.descriptors[0]);
    ssize_t got = received.bytes;
    if (got > 0) {
      budget -= static_cast<size_t>(got);
      if (!state->reader.commit(static_cast<size_t>(got)) ||
          (state->reader.headerDone() &&
           state->reader.announcedBuffer() !=
               (state->descriptor || state->descriptor_shortage != 0))) {
        return brokeFraming(*state);
      }
      continue;
    }
    if (got < 0 && received.error == EINTR) continue;
    if (got < 0 && (received.error == EAGAIN || received.error == EWOULDBLOCK)) return;
    // The worker closed its end (or the socket failed): it has said all it will.
    state->socket_done = true;
    if (!state->wait_status) state->grace_deadline = Clock::now() + kExitGrace;
    std::lock_guard lock(state->mutex);
    state->ended = true;
    return;
  }
}

void WorkerHub::writeTo(State& state) {
  std::lock_guard lock(state.mutex);
  while (!state.outbound.empty()) {
    auto& front = state.outbound.front();
    size_t left = front.size() - state.outbound_offset;
    ssize_t sent = ::send(state.socket.get(), front.data() + state.outbound_offset, left,
                          MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (sent < 0) {
      // The worker is gone; reading finds out how.
      state.outbound.clear();
      state.outbound_bytes = 0;
      state.outbound_offset = 0;
      return;
    }
    state.outbound_offset += static_cast<size_t>(sent);
    if (state.outbound_offset < front.size()) return;
    state.outbound_bytes -= front.size();
    state.outbound_offset = 0;
    state.outbound.pop_front();
  }
}

void WorkerHub::kill(State& state, KillCause cause) {
  if (state.kill_cause != KillCause::none || state.wait_status || state.pid <= 0) {
    if (state.pid <= 0 && state.kill_cause == KillCause::none) state.kill_cause = cause;
    return;
  }
  state.kill_cause = cause;
  if (state.pidfd) {
    ::syscall(SYS_pidfd_send_signal, state.pidfd.get(), SIGKILL, nullptr, 0);
  } else {
    ::kill(state.pid, SIGKILL);  // not yet reaped, so the id is still this worker's
  }
  std::lock_guard lock(state.mutex);
  state.ended = true;
  state.outbound.clear();
  state.outbound_bytes = 0;
}

void WorkerHub::brokeFraming(State& state) {
  kill(state, KillCause::framing);
  // One that exited before its message was read broke the framing all the same.
  if (state.kill_cause == KillCause::none) state.kill_cause = KillCause::framing;
  state.descriptor.reset();
  state.socket_done = true;  // nothing after a broken frame is read
  std::lock_guard lock(state.mutex);
  state.ended = true;
}

void WorkerHub::reap(State& state) {
  if (state.pid <= 0 || state.wait_status) return;
  int status = 0;
  pid_t reaped = ::waitpid(state.pid, &status, WNOHANG);
  if (reaped == state.pid) {
    state.wait_status = status;
    unwatch(state.pidfd.get(), state.pidfd_watch);
    state.pidfd.reset();
  }
}

bool WorkerHub::finishIfDone(const std::shared_ptr<State>& state) {
  bool owner_gone = false;
  {
    std::lock_guard lock(state->mutex);
    owner_gone = !state->on_message && !state->on_end;
  }
  bool done = state->failed_errno != 0 ||
              (state->wait_status &&
               (state->socket_done || state->kill_cause != KillCause::none || owner_gone));
  if (!done) return false;
  unwatch(state->socket.get(), state->socket_watch);
  unwatch(state->pidfd.get(), state->pidfd_watch);
  state->socket.reset();
  state->pidfd.reset();
  state->child_socket.reset();
  state->descriptor.reset();
  state->last_buffer.reset();
  WorkerEnd end = state->failed_errno != 0
                      ? WorkerEnd{WorkerEndReason::failedToStart, state->failed_errno}
                      : endOf(*state);
  {
    std::lock_guard lock(state->mutex);
    state->ended = true;
    state->outbound.clear();
    state->outbound_bytes = 0;
  }
  dispatch_async(state->queue, [state, end] {
    WorkerProcess::EndHandler handler;
    {
      std::lock_guard lock(state->mutex);
      handler = std::move(state->on_end);
      state->on_end = nullptr;
      state->on_message = nullptr;
    }
    if (handler) handler(end);
  });
  return true;
}

}  // namespace worker
