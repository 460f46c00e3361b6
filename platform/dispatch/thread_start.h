// The threads this process starts for itself (the pool's workers, the timer thread, the worker
// hub). The system may have none to give (a thread limit reached, no memory for a stack): that is
// an answer its callers handle, never an exception that ends the process.
#pragma once

#include <functional>

namespace dispatch {

// Runs `body` on a detached thread of its own. Answers 0, or the errno when no thread could be
// made (EAGAIN, say); `body` is then dropped unrun.
int startDetachedThread(std::function<void()> body);

}  // namespace dispatch
