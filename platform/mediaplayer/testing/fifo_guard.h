// For tests of code that must never open a FIFO: without a writer, opening one for reading
// blocks for good, so a faulty open would hang the test instead of failing it.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace mediaplayer::testing {

// Runs `work` on the calling thread. Should it still run after `bound`, the writing end of the
// FIFO at `fifoPath` is opened and closed, so that a reader blocked on it goes on. Answers
// whether `work` finished within the bound without that help.
bool finishesWithoutAWriter(const std::string& fifoPath, const std::function<void()>& work,
                            std::chrono::milliseconds bound = std::chrono::seconds(5));

}  // namespace mediaplayer::testing
