// A web view's page runs in a content process of its own (content_process/), as the platform
// runs pages, so that no script can stop the host: a script past its budget is ended by the
// engine, and one that the engine cannot end (inside a built-in's loop) is ended with its process
// at its deadline. Scripts, page loads and evaluations are requests, answered one at a time in
// order; only the main thread uses this class, and nothing here waits on it.
//
// The process starts with the first request that has scripts to run. What it says goes to the
// client on the main thread: the page's title (coalesced), the messages the page posts (each with
// a lease: the page may have kPostedBytesLimit of them held at once, and waits for room), the
// answers. When the process ends while a page is in use (past its deadline, crashed, out of
// memory, or its engine failed) the requests fail, the client hears `terminated`, and the next
// request starts a fresh page.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/any_value.h"
#include "platform/foundation/ns_error.h"
#include "platform/worker/worker_process.h"

namespace webkit {

namespace content {
struct Incoming;
struct CreditLine;
}  // namespace content

class WebContentProcess {
 public:
  struct Client {
    std::function<void(const std::string& title)> titleChanged;
    // `lease` goes with the message; the page gets the room back when the last copy goes.
    std::function<void(const std::string& name, AnyValue body,
                       std::shared_ptr<void> lease)>
        scriptMessage;
    // The names under window.webkit.messageHandlers, read when a request is sent.
    std::function<std::vector<std::string>()> messageHandlerNames;
    // The title a fresh page starts with.
    std::function<std::optional<std::string>()> currentTitle;
    // The process ended while it held a page.
    std::function<void()> terminated;
    // The process could not be started (no descriptors or memory to be had, say): `error` says
    // why. No page was lost.
    std::function<void(const std::shared_ptr<NSError>& error)> startFailed;
  };
  using ScriptsDone = std::function<void(std::vector<std::string> failures)>;
  // The result is handed on, never copied: it may be large.
  using EvaluationDone = std::function<void(AnyValue result,
                                            const std::shared_ptr<NSError>& error)>;

  // How long a page load's scripts, or one evaluation, may run.
  static constexpr std::chrono::milliseconds kDefaultScriptTimeBudget{5000};
  // How much more CPU time (and, past its wall-clock backstop, time) a process past its budget
  // has to answer before it is killed.
  static constexpr std::chrono::milliseconds kKillGrace{500};
  // How long a process may take to start.
  static constexpr std::chrono::seconds kStartLimit{10};
  // Script text that may wait for its turn, each waiting request counted with
  // kWaitingRequestBytes more for what it holds besides (its completion, its reply to the Dart
  // side); an evaluation past it fails at once.
  static constexpr size_t kMaxWaitingScriptBytes = size_t{64} << 20;
  static constexpr size_t kWaitingRequestBytes = 1024;

  explicit WebContentProcess(Client client);
  ~WebContentProcess();
  WebContentProcess(const WebContentProcess&) = delete;
  WebContentProcess& operator=(const WebContentProcess&) = delete;

  void setScriptTimeBudget(std::chrono::milliseconds budget) { budget_ = budget; }
  // A fresh page with `title`, then its scripts: a load, within one budget.
  void loadPage(std::optional<std::string> title, std::vector<std::string> scripts,
                ScriptsDone done);
  // More scripts of the last load (those at its document's end), within what its scripts left
  // of its budget.
  void runScripts(std::vector<std::string> scripts, ScriptsDone done);
  void evaluate(std::string script, EvaluationDone done);
  // Ends the process now; what waits fails, and the client hears nothing more of it.
  void terminate();
  // The engine's fatal error, raised in the page (a test's control).
  void raiseFatalError();
  // The running process's id, or 0.
  pid_t processId() const { return process_ ? process_->pid() : 0; }

 private:
  struct Request;

  void enqueue(Request request);
  void pump();
  void start();
  void sendFront();
  void transmit(std::vector<uint8_t> message);
  void handle(content::Incoming incoming);
  void handleEnd(worker::WorkerEnd end);
  // The process never ran: the requests fail with why, and the next one tries again.
  void handleStartFailure(int code);
  void finishRunning(const std::shared_ptr<NSError>& error, AnyValue value,
                     std::vector<std::string> failures);
  // Fails the running and waiting requests with `runningError` and `waitingError`.
  void failAll(const std::shared_ptr<NSError>& runningError,
               const std::shared_ptr<NSError>& waitingError);

  Client client_;
  std::chrono::milliseconds budget_ = kDefaultScriptTimeBudget;
  // What the last load's scripts have left of its budget, in the page's CPU time.
  std::chrono::nanoseconds load_budget_left_{0};
  std::deque<Request> waiting_;
  size_t waiting_bytes_ = 0;
  std::unique_ptr<Request> running_;
  std::unique_ptr<worker::WorkerProcess> process_;
  bool ready_ = false;
  // Counts processes, so that what an earlier one said is ignored.
  uint64_t generation_ = 0;
  // Counts the requests sent, so that a message written for one that is gone is not sent.
  uint64_t sent_requests_ = 0;
  std::shared_ptr<content::CreditLine> credit_;
  const dispatch_queue_t read_queue_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace webkit
