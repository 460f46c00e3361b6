// The content process of a web view: one page's scripts at a time, as the web view asks for them
// (see content_protocol.h). Scripts run on a thread whose stack is sized for the engine's native
// recursion limit, in every build, so a script that recurses through built-ins ends with the
// engine's RangeError, not with the stack. Messages that the page posts wait for room: at most
// kPostedBytesLimit of them may be held by the host at once, and a script that finds no room
// before its deadline fails with a timeout.
#include <pthread.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/webkit/content_process/content_limits.h"
#include "platform/webkit/content_process/content_protocol.h"
#include "platform/webkit/content_process/java_script_page.h"
#include "platform/worker/worker_channel.h"

namespace webkit::content {
namespace {

using Clock = std::chrono::steady_clock;
using worker::WorkerChannel;

// What a script gets that its page's time ran out for, as the engine words it.
constexpr const char* kTimeoutMessage = "RangeError: execution timeout";

// Room for 1,000 native call levels of the engine, each of which can take tens of KiB under
// AddressSanitizer, with a wide margin.
constexpr size_t kScriptStackBytes = size_t{256} << 20;

class ContentProcess {
 public:
  explicit ContentProcess(WorkerChannel& channel) : channel_(channel) {}

  void serve() {
    send(messageOf(Kind::kReady));
    while (auto message = channel_.receive()) {
      if (!handle(*message)) return;
    }
  }

 private:
  bool handle(const std::vector<uint8_t>& message) {
    ProtocolReader in(message);
    auto kind = static_cast<Kind>(in.byte());
    switch (kind) {
      case Kind::kAck:
        acknowledge(in.u64());
        return in.atEnd();
      case Kind::kLoadPage: {
        // Making the page counts against its scripts' budget, as it always has.
        const auto budget_start = threadCpuTime();
        auto deadline = deadlineAfter(in.u32());
        bool has_title = in.byte() != 0;
        std::string title = in.string();
        auto names = in.strings();
        auto scripts = in.strings();
        if (!in.atEnd()) return false;
        title_changed_ = false;
        page_.reset();
        page_ = std::make_unique<JavaScriptPage>(
            hooks(), has_title ? std::optional(title) : std::nullopt, maxValueBytes());
        runScripts(names, scripts, deadline, budget_start);
        return true;
      }
      case Kind::kRunScripts: {
        const auto budget_start = threadCpuTime();
        auto deadline = deadlineAfter(in.u32());
        auto names = in.strings();
        auto scripts = in.strings();
        if (!in.atEnd()) return false;
        runScripts(names, scripts, deadline, budget_start);
        return true;
      }
      case Kind::kEvaluate: {
        auto deadline = deadlineAfter(in.u32());
        auto names = in.strings();
        std::string script = in.string();
        if (!in.atEnd()) return false;
        ensurePage().setMessageHandlerNames(std::move(names));
        deadline_ = deadline;
        auto outcome = page_->evaluate(script, deadline);
        deadline_.reset();
        flushTitle();
        auto out = messageOf(Kind::kResult);
        if (outcome.errorCode == 0) {
          out.byte(0);
          out.append(outcome.value);
        } else {
          out.byte(1);
          out.u64(static_cast<uint64_t>(outcome.errorCode));
          out.string(outcome.errorMessage);
        }
        send(std::move(out));
        return true;
      }
      case Kind::kRaiseFatal:
        ensurePage().raiseFatalError();
        return true;
      default:
        return false;
    }
  }

  // The budget counts this thread's CPU time (see script_deadline.h).
  static ScriptDeadline deadlineAfter(uint32_t milliseconds) {
    return ScriptDeadline::after(std::chrono::milliseconds(milliseconds));
  }

  size_t maxValueBytes() const { return channel_.maxMessageBytes() - kMessageOverheadBytes; }

  JavaScriptPage& ensurePage() {
    if (!page_) page_ = std::make_unique<JavaScriptPage>(hooks(), std::nullopt, maxValueBytes());
    return *page_;
  }

  // `budgetStart` is this thread's CPU time when the budget of `deadline` started.
  void runScripts(std::vector<std::string> names, const std::vector<std::string>& scripts,
                  const ScriptDeadline& deadline, std::chrono::nanoseconds budgetStart) {
    ensurePage().setMessageHandlerNames(std::move(names));
    std::vector<std::string> failures;
    size_t unreported = 0;
    auto failed = [&](std::string message) {
      if (failures.size() < kMaxReportedScriptFailures) {
        failures.push_back(std::move(message));
      } else {
        ++unreported;
      }
    };
    deadline_ = deadline;
    // Once the scripts' shared time is spent, the rest are skipped without being compiled: a
    // page of many small scripts must not outlast its budget failing them one by one.
    bool spent = false;
    for (const auto& script : scripts) {
      // Reading a thread's CPU clock is a system call: once spent, the budget is not read again.
      spent = spent || deadline.passed();
      if (spent) {
        failed(kTimeoutMessage);
        continue;
      }
      auto outcome = page_->evaluate(script, deadline);
      if (outcome.errorCode != 0) failed(std::move(outcome.errorMessage));
    }
    deadline_.reset();
    // What the scripts took is told back, so that the rest of their load runs on what is left.
    const auto used = threadCpuTime() - budgetStart;
    if (unreported > 0) {
      failures.push_back(std::to_string(unreported) + " more scripts failed or were skipped");
    }
    flushTitle();
    auto out = messageOf(Kind::kScriptsDone);
    out.u64(static_cast<uint64_t>(std::max<int64_t>(0, used.count())));
    out.strings(failures);
    send(std::move(out));
  }

  JavaScriptPage::Hooks hooks() {
    JavaScriptPage::Hooks hooks;
    hooks.titleChanged = [this](const std::string&) { title_changed_ = true; };
    hooks.postMessage = [this](const std::string& name, std::vector<uint8_t> body) {
      return post(name, body);
    };
    return hooks;
  }

  // Only the latest title matters: it goes out, cut to a title's length, before anything the
  // page says after it.
  void flushTitle() {
    if (!title_changed_ || !page_) return;
    title_changed_ = false;
    std::string title = page_->title().value_or("").substr(0, kMaxTitleBytes + 1);
    cutTitle(title);
    auto out = messageOf(Kind::kTitle);
    out.string(title);
    send(std::move(out));
  }

  bool post(const std::string& name, const std::vector<uint8_t>& body) {
    flushTitle();
    auto out = messageOf(Kind::kPost);
    out.string(name);
    out.append(body);
    size_t cost = out.size() + kHeldMessageOverheadBytes;
    // Waiting uses no CPU time: the wait for the host to let go of earlier messages is bounded by
    // the backstop alone. One message always fits.
    std::optional<Clock::time_point> deadline;
    if (deadline_) deadline = deadline_->wall;
    while (posted_bytes_ > 0 && posted_bytes_ + cost > kPostedBytesLimit) {
      auto message = channel_.receive(deadline);
      if (!message) return false;
      ProtocolReader in(*message);
      if (static_cast<Kind>(in.byte()) != Kind::kAck) return false;
      acknowledge(in.u64());
    }
    posted_bytes_ += cost;
    return channel_.send(out.take(), deadline) == WorkerChannel::SendResult::sent;
  }

  void acknowledge(uint64_t bytes) { posted_bytes_ -= std::min<uint64_t>(bytes, posted_bytes_); }

  void send(ProtocolWriter out) {
    if (channel_.send(out.take()) != WorkerChannel::SendResult::sent) std::_Exit(0);
  }

  WorkerChannel& channel_;
  std::unique_ptr<JavaScriptPage> page_;
  bool title_changed_ = false;
  uint64_t posted_bytes_ = 0;
  std::optional<ScriptDeadline> deadline_;
};

}  // namespace
}  // namespace webkit::content

int main(int argc, char** argv) {
  auto channel = worker::WorkerChannel::adopt(argc, argv);
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, webkit::content::kScriptStackBytes);
  pthread_t thread;
  auto serve = [](void* argument) -> void* {
    webkit::content::ContentProcess(*static_cast<worker::WorkerChannel*>(argument)).serve();
    return nullptr;
  };
  if (pthread_create(&thread, &attributes, serve, &channel) != 0) return 1;
  pthread_join(thread, nullptr);
  return 0;
}
