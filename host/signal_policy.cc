#include "host/signal_policy.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/appkit/ns_application.h"
#include "platform/dispatch/main_queue.h"
#include "platform/flutter/socket_listener.h"
#include "platform/foundation/ns_log.h"

namespace host {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTerminationSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kIgnoredSignals[] = {SIGPIPE, SIGXFSZ, SIGTTOU, SIGTTIN, SIGIO};

// Written by the handler, read by the policy's thread.
int wake_fd = -1;
// The first termination signal taken; 0 before.
std::atomic<int> requested_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

void onTerminationSignal(int signal) {
  const int saved_errno = errno;
  int none = 0;
  requested_signal.compare_exchange_strong(none, signal);
  const uint64_t one = 1;
  // Non-blocking: it fails only when the counter is saturated, which leaves it readable anyway.
  [[maybe_unused]] auto written = ::write(wake_fd, &one, sizeof one);
  errno = saved_errno;
}

sigset_t terminationSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kTerminationSignals) sigaddset(&set, signal);
  return set;
}

const char* signalName(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "a signal";
  }
}

// On the main thread, ahead of every other block that waits: the main window closes (the
// application terminates after its last window), and the application terminates in any case.
void closeOrderly() {
  auto& application = NSApplication::sharedApplication();
  // The main window, also while the application is inactive or the window miniaturized.
  auto window = application.mainWindow();
  if (!window && !application.windows().empty()) window = application.windows().front();
  if (window) window->close();
  application.terminate();
}

// The policy's thread: the only one that takes the termination signals.
void watchTerminationSignals() {
  pthread_setname_np(pthread_self(), "signals");
  const sigset_t signals = terminationSignals();
  pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
  std::optional<Clock::time_point> deadline;
  for (;;) {
    int timeout = -1;
    if (deadline) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
      timeout = static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
    }
    pollfd readable{wake_fd, POLLIN, 0};
    // A signal taken on this thread interrupts poll (EINTR) after its handler has written the
    // eventfd: the next turn finds it readable.
    if (::poll(&readable, 1, timeout) > 0) {
      uint64_t count;
      [[maybe_unused]] auto read = ::read(wake_fd, &count, sizeof count);
    }
    if (!deadline) {
      const int signal = requested_signal.load();
      if (signal == 0) continue;
      deadline = Clock::now() + kCloseDeadline;
      // Before the line: a start still waiting (for its socket folder's lock) ends now, on the
      // main thread the close waits for, and binds nothing after the request.
      flutter::stopOpeningListeners();
      NSLog("Termination requested (%s): closing the main window", signalName(signal));
      dispatch::MainQueue::shared()->asyncUrgent(closeOrderly);
      continue;
    }
    if (Clock::now() < *deadline) continue;
    NSLog("The orderly close did not end within %lld ms of the termination request; the host "
          "ends now",
          static_cast<long long>(kCloseDeadline.count()));
    flutter::removeListenedSocketFiles();
    ::_exit(kCloseDeadlineExitStatus);
  }
}

void install() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  for (int signal : kIgnoredSignals) sigaction(signal, &ignore, nullptr);

  wake_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_fd < 0) {
    // The termination signals keep their default: they end the host at once.
    NSLog("The host cannot watch for termination signals (eventfd failed: %s); they end it at "
          "once",
          std::strerror(errno));
    return;
  }
  const sigset_t signals = terminationSignals();
  // Before the thread starts and before the handler is there: every thread started from here on
  // inherits the mask, and a signal that comes meanwhile waits for the policy's thread.
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  struct sigaction handled {};
  handled.sa_handler = onTerminationSignal;
  handled.sa_mask = signals;
  handled.sa_flags = SA_RESTART;
  for (int signal : kTerminationSignals) {
    struct sigaction current {};
    // nohup's: a host started with SIGHUP ignored outlives its terminal.
    if (signal == SIGHUP && sigaction(SIGHUP, nullptr, &current) == 0 &&
        current.sa_handler == SIG_IGN) {
      continue;
    }
    sigaction(signal, &handled, nullptr);
  }
  try {
    std::thread(watchTerminationSignals).detach();
  } catch (const std::system_error& failure) {
    // Without the thread nobody would take them: they end the host at once instead.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    for (int signal : kTerminationSignals) {
      struct sigaction current {};
      if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == onTerminationSignal) {
        sigaction(signal, &fallback, nullptr);
      }
    }
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    NSLog("The host cannot watch for termination signals (%s); they end it at once",
          failure.what());
  }
}

}  // namespace

void installSignalPolicy() {
  static std::once_flag once;
  std::call_once(once, install);
}

}  // namespace host
