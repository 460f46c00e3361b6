// The host's signal policy (docs/decisions.md, "The host's signals"): what each signal that can
// reach the host does to it.
//
// - SIGINT, SIGTERM and SIGHUP start the one orderly close: the main window closes and the
//   application terminates, however many of them come and however they are timed; a start that
//   is still waiting to listen on its socket stops and binds nothing. The close has
//   kCloseDeadline; past it the process ends anyway (status 1), its socket file removed. A SIGHUP
//   that the host was started with ignored (nohup) stays ignored.
// - SIGPIPE, SIGXFSZ, SIGTTOU, SIGTTIN and SIGIO are ignored: the write, read or socket that would
//   raise one fails with an error (EPIPE, EFBIG, EIO) that its caller answers.
// - Every other signal keeps its default.
//
// The termination signals are blocked in every thread but the policy's own, which takes them
// through a handler that only writes to a non-blocking eventfd. So no other thread is ever
// interrupted by them (no EINTR), and the handler never blocks.
#pragma once

#include <chrono>

namespace host {

// How long the orderly close may take from the first termination signal.
inline constexpr std::chrono::milliseconds kCloseDeadline{10000};
// The exit status of a host whose orderly close passed its deadline.
inline constexpr int kCloseDeadlineExitStatus = 1;

// Installs the policy and starts its thread. Call first in main, before any other thread starts:
// the termination signals are blocked in the calling thread, so that every thread started after
// inherits the mask. Once only.
void installSignalPolicy();

}  // namespace host
