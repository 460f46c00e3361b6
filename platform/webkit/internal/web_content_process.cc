#include "platform/webkit/internal/web_content_process.h"

#include <mutex>

#include "platform/foundation/ns_log.h"
#include "platform/webkit/content_process/content_limits.h"
#include "platform/webkit/content_process/content_protocol.h"
#include "platform/webkit/content_process/script_deadline.h"
#include "platform/webkit/internal/content_values.h"
#include "platform/webkit/internal/text_encoding.h"
#include "platform/webkit/internal/web_kit_errors.h"
#include "platform/webkit/wk_error.h"

namespace webkit {

using content::Kind;
using content::ProtocolReader;
using content::ProtocolWriter;

namespace content {

// A message of the content process, read off the main thread.
struct Incoming {
  Kind kind = Kind::kReady;
  std::string text;  // a title, or a handler name
  AnyValue value;    // a body or a result
  int64_t error_code = 0;
  std::string error_message;
  std::vector<std::string> failures;
  std::chrono::nanoseconds cpu_used{0};  // what the scripts took
  uint64_t size = 0;
};

namespace {

std::optional<Incoming> parse(const std::vector<uint8_t>& message) {
  ProtocolReader in(message);
  Incoming incoming;
  incoming.kind = static_cast<Kind>(in.byte());
  incoming.size = message.size();
  switch (incoming.kind) {
    case Kind::kReady:
      break;
    case Kind::kTitle:
      // Cut before it is mended, so that mending costs a title's length at most.
      incoming.text = in.string();
      cutTitle(incoming.text);
      incoming.text = withValidUtf8(incoming.text);
      cutTitle(incoming.text);
      break;
    case Kind::kPost: {
      incoming.text = withValidUtf8(in.string());
      auto body = readScriptValue(in);
      if (!body) return std::nullopt;
      incoming.value = std::move(*body);
      break;
    }
    case Kind::kResult:
      if (in.byte() == 0) {
        auto value = readScriptValue(in);
        if (!value) return std::nullopt;
        incoming.value = std::move(*value);
      } else {
        incoming.error_code = static_cast<int64_t>(in.u64());
        incoming.error_message = withValidUtf8(in.string());
      }
      break;
    case Kind::kScriptsDone:
      incoming.cpu_used = std::chrono::nanoseconds(
          static_cast<int64_t>(std::min<uint64_t>(in.u64(), uint64_t{1} << 62)));
      incoming.failures = in.strings();
      for (auto& failure : incoming.failures) failure = withValidUtf8(failure);
      break;
    default:
      return std::nullopt;
  }
  if (!in.atEnd()) return std::nullopt;
  return incoming;
}

}  // namespace
}  // namespace content

using content::Incoming;

namespace {

std::shared_ptr<NSError> timeoutError() {
  return javaScriptExceptionError("RangeError: execution timeout");
}

// What a page script's failure says: the exception's text, or the error's description.
std::string errorText(const NSError& error) {
  if (const auto* message =
          findValue(error.userInfo(), WKJavaScriptExceptionMessageErrorKey)) {
    if (const auto* text = message->getIf<std::string>()) return *text;
  }
  return describeError(error);
}

std::shared_ptr<NSError> terminatedError() { return webContentProcessTerminatedError(); }

}  // namespace

struct WebContentProcess::Request {
  Kind kind = Kind::kEvaluate;
  std::optional<std::string> title;
  std::vector<std::string> scripts;
  ScriptsDone scripts_done;
  EvaluationDone evaluation_done;
  size_t bytes = 0;
  // A load's scripts (at its start, then at the end of its document) share its one budget.
  enum class Load { none, opens, continues } load = Load::none;
  std::chrono::milliseconds budget{0};  // as sent
};

namespace content {

// Gives a page back the room its posted messages took, from whatever thread lets the last copy
// of one go; closed when the process it speaks for is gone.
struct CreditLine {
  void release(uint64_t bytes) {
    std::lock_guard lock(mutex);
    if (process == nullptr) return;
    auto out = messageOf(Kind::kAck);
    out.u64(bytes);
    process->send(out.take());
  }
  void close() {
    std::lock_guard lock(mutex);
    process = nullptr;
  }

  std::mutex mutex;
  worker::WorkerProcess* process = nullptr;
};

namespace {

struct Lease {
  Lease(std::shared_ptr<CreditLine> line, uint64_t bytes) : line(std::move(line)), bytes(bytes) {}
  ~Lease() { line->release(bytes); }
  std::shared_ptr<CreditLine> line;
  uint64_t bytes;
};

}  // namespace
}  // namespace content

WebContentProcess::WebContentProcess(Client client)
    : client_(std::move(client)),
      read_queue_(dispatch_queue_create("WebContentProcess.read", DISPATCH_QUEUE_SERIAL)) {}

WebContentProcess::~WebContentProcess() {
  *alive_ = false;
  if (credit_) credit_->close();
  process_.reset();
  // Whoever waits for an answer still gets one, on a later turn.
  auto running = std::move(running_);
  auto waiting = std::move(waiting_);
  if (running) waiting.push_front(std::move(*running));
  for (auto& request : waiting) {
    dispatch_async(dispatch_get_main_queue(), [done = std::move(request.evaluation_done)] {
      if (done) {
        done(AnyValue(), makeObject<NSError>(WKErrorDomain, WKErrorWebViewInvalidated));
      }
    });
  }
}

void WebContentProcess::loadPage(std::optional<std::string> title, std::vector<std::string> scripts,
                                 ScriptsDone done) {
  // A page without scripts needs no process; one that starts later starts with a fresh page.
  if (scripts.empty() && !process_ && !running_ && waiting_.empty()) {
    load_budget_left_ = budget_;
    done({});
    return;
  }
  Request request;
  request.kind = Kind::kLoadPage;
  request.title = std::move(title);
  request.scripts = std::move(scripts);
  request.scripts_done = std::move(done);
  request.load = Request::Load::opens;
  enqueue(std::move(request));
}

void WebContentProcess::runScripts(std::vector<std::string> scripts, ScriptsDone done) {
  if (scripts.empty()) {
    done({});
    return;
  }
  Request request;
  request.kind = Kind::kRunScripts;
  request.scripts = std::move(scripts);
  request.scripts_done = std::move(done);
  request.load = Request::Load::continues;
  enqueue(std::move(request));
}

void WebContentProcess::evaluate(std::string script, EvaluationDone done) {
  if (waiting_bytes_ + script.size() + kWaitingRequestBytes > kMaxWaitingScriptBytes) {
    dispatch_async(dispatch_get_main_queue(), [done = std::move(done)] {
      done(AnyValue(), javaScriptExceptionError("Error: too many scripts are waiting to run"));
    });
    return;
  }
  Request request;
  request.kind = Kind::kEvaluate;
  request.scripts.push_back(std::move(script));
  request.evaluation_done = std::move(done);
  enqueue(std::move(request));
}

void WebContentProcess::raiseFatalError() {
  Request request;
  request.kind = Kind::kRaiseFatal;
  enqueue(std::move(request));
}

void WebContentProcess::enqueue(Request request) {
  request.bytes = kWaitingRequestBytes;
  for (const auto& script : request.scripts) request.bytes += script.size();
  waiting_bytes_ += request.bytes;
  waiting_.push_back(std::move(request));
  pump();
}

void WebContentProcess::pump() {
  if (running_ || waiting_.empty()) return;
  if (!process_) start();
  if (ready_) sendFront();
}

void WebContentProcess::start() {
  ++generation_;
  ready_ = false;
  // A fresh process starts with the page as the web view shows it.
  if (waiting_.front().kind != Kind::kLoadPage) {
    Request fresh;
    fresh.kind = Kind::kLoadPage;
    fresh.title = client_.currentTitle ? client_.currentTitle() : std::nullopt;
    waiting_.push_front(std::move(fresh));
  }
  worker::WorkerOptions options;
  options.executable = content::kContentProcessExecutable;
  options.memoryLimitBytes = content::kContentProcessMemoryBytes;
  options.maxMessageBytes = content::kMaxMessageBytes;
  std::weak_ptr<bool> alive = alive_;
  uint64_t generation = generation_;
  auto onMainQueue = [alive, generation, this](std::function<void()> work) {
    dispatch_async(dispatch_get_main_queue(), [alive, generation, this, work = std::move(work)] {
      auto still = alive.lock();
      if (still && *still && generation == generation_) work();
    });
  };
  process_ = worker::WorkerProcess::start(
      std::move(options), read_queue_,
      [onMainQueue, this](std::vector<uint8_t> message) {
        // Read here, off the main thread; handled there, after which the next one is read.
        auto incoming = content::parse(message);
        onMainQueue([this, incoming = std::move(incoming)]() mutable {
          if (!incoming) {
            NSLog("WKWebView: the content process broke its protocol");
            process_->terminate();
            return;
          }
          auto* process = process_.get();
          handle(std::move(*incoming));
          if (process_.get() == process && process_) process_->resumeReading();
        });
        return false;
      },
      [onMainQueue, this](worker::WorkerEnd end) { onMainQueue([this, end] { handleEnd(end); }); });
  credit_ = std::make_shared<content::CreditLine>();
  credit_->process = process_.get();
  process_->setDeadline(std::chrono::steady_clock::now() + kStartLimit);
}

namespace {

// A request as it goes to the content process.
struct Outgoing {
  Kind kind = Kind::kEvaluate;
  uint32_t budget = 0;
  std::optional<std::string> title;
  std::vector<std::string> names;
  std::vector<std::string> scripts;
};

std::vector<uint8_t> encode(const Outgoing& request) {
  auto out = messageOf(request.kind);
  if (request.kind == Kind::kRaiseFatal) return out.take();
  out.u32(request.budget);
  if (request.kind == Kind::kLoadPage) {
    out.byte(request.title ? 1 : 0);
    out.string(request.title.value_or(""));
  }
  out.strings(request.names);
  if (request.kind == Kind::kEvaluate) {
    out.string(request.scripts.empty() ? std::string() : request.scripts.front());
  } else {
    out.strings(request.scripts);
  }
  return out.take();
}

}  // namespace

// What goes with the scripts is read here; the message is written off the main thread, since
// scripts may be long, and sent from here once written, unless its request is gone by then.
void WebContentProcess::sendFront() {
  running_ = std::make_unique<Request>(std::move(waiting_.front()));
  waiting_.pop_front();
  waiting_bytes_ -= running_->bytes;
  if (running_->load == Request::Load::opens) load_budget_left_ = budget_;
  running_->budget = budget_;
  if (running_->load == Request::Load::continues) {
    running_->budget = std::chrono::floor<std::chrono::milliseconds>(load_budget_left_);
  }
  Outgoing outgoing;
  outgoing.kind = running_->kind;
  outgoing.budget = content::budgetMilliseconds(running_->budget.count());
  outgoing.title = std::move(running_->title);
  if (client_.messageHandlerNames) outgoing.names = client_.messageHandlerNames();
  outgoing.scripts = std::move(running_->scripts);
  uint64_t request = ++sent_requests_;
  std::weak_ptr<bool> alive = alive_;
  dispatch_async(dispatch_get_global_queue(QOS_CLASS_USER_INITIATED, 0),
                 [this, alive, request, outgoing = std::move(outgoing)]() mutable {
                   auto message = std::make_shared<std::vector<uint8_t>>(encode(outgoing));
                   outgoing = {};
                   dispatch_async(dispatch_get_main_queue(), [this, alive, request, message] {
                     auto still = alive.lock();
                     if (still && *still && request == sent_requests_ && running_)
                       transmit(std::move(*message));
                   });
                 });
}

void WebContentProcess::transmit(std::vector<uint8_t> message) {
  if (!process_ || !process_->send(std::move(message))) {
    finishRunning(javaScriptExceptionError("RangeError: the script is too large to run"),
                  AnyValue(), {"the scripts are too large to run"});
    return;
  }
  // The budget counts the page's CPU time, as the page counts it, so that a busy machine ends no
  // page that finishes in time on an idle one; the wall clock only backs it up, far later.
  // What the process does besides the page's scripts (reading the request, making the page,
  // writing the answer, its runtime's own threads) counts here too: a quarter more.
  auto budget = running_->budget;
  process_->setCpuDeadline(budget + budget / 4 + kKillGrace);
  process_->setDeadline(std::chrono::steady_clock::now() + ScriptDeadline::backstopOf(budget) +
                        kKillGrace);
}

void WebContentProcess::handle(Incoming incoming) {
  switch (incoming.kind) {
    case Kind::kReady:
      ready_ = true;
      process_->setDeadline(std::nullopt);
      pump();
      return;
    case Kind::kTitle:
      if (client_.titleChanged) client_.titleChanged(incoming.text);
      return;
    case Kind::kPost: {
      auto lease = std::make_shared<content::Lease>(
          credit_, incoming.size + content::kHeldMessageOverheadBytes);
      if (client_.scriptMessage) {
        client_.scriptMessage(incoming.text, std::move(incoming.value), lease);
      }
      return;
    }
    case Kind::kResult:
      if (running_ && running_->kind == Kind::kEvaluate) {
        std::shared_ptr<NSError> error;
        if (incoming.error_code == WKErrorJavaScriptResultTypeIsUnsupported) {
          error = javaScriptResultTypeIsUnsupportedError();
        } else if (incoming.error_code != 0) {
          error = javaScriptExceptionError(incoming.error_message);
        }
        finishRunning(error, std::move(incoming.value), {});
        return;
      }
      break;
    case Kind::kScriptsDone:
      if (running_ && running_->kind != Kind::kEvaluate) {
        if (running_->load != Request::Load::none) {
          load_budget_left_ -= std::min(incoming.cpu_used, load_budget_left_);
        }
        finishRunning(nullptr, AnyValue(), std::move(incoming.failures));
        return;
      }
      break;
    default:
      break;
  }
  NSLog("WKWebView: the content process answered what was not asked");
  process_->terminate();
}

void WebContentProcess::finishRunning(const std::shared_ptr<NSError>& error, AnyValue value,
                                      std::vector<std::string> failures) {
  auto finished = std::move(running_);
  if (process_) {
    process_->setDeadline(std::nullopt);
    process_->setCpuDeadline(std::nullopt);
  }
  std::weak_ptr<bool> alive = alive_;
  pump();
  if (finished->evaluation_done) {
    finished->evaluation_done(error ? AnyValue() : std::move(value), error);
  } else if (finished->scripts_done) {
    if (error) failures.push_back(errorText(*error));
    finished->scripts_done(std::move(failures));
  }
}

void WebContentProcess::handleEnd(worker::WorkerEnd end) {
  if (end.reason == worker::WorkerEndReason::failedToStart) return handleStartFailure(end.code);
  bool past_deadline = end.reason == worker::WorkerEndReason::deadlinePassed && ready_;
  NSLog("WKWebView: the content process ended (%d, %d)", static_cast<int>(end.reason), end.code);
  credit_->close();
  process_.reset();
  ready_ = false;
  ++generation_;
  std::weak_ptr<bool> alive = alive_;
  if (client_.terminated) client_.terminated();
  if (alive.expired()) return;
  failAll(past_deadline ? timeoutError() : terminatedError(), terminatedError());
}

void WebContentProcess::handleStartFailure(int code) {
  auto error = posixError(code);
  NSLog("WKWebView: the content process could not start: %s", describeError(*error).c_str());
  credit_->close();
  process_.reset();
  ready_ = false;
  ++generation_;
  std::weak_ptr<bool> alive = alive_;
  if (client_.startFailed) client_.startFailed(error);
  if (alive.expired()) return;
  failAll(error, error);
}

void WebContentProcess::terminate() {
  if (credit_) credit_->close();
  process_.reset();
  ready_ = false;
  ++generation_;
  failAll(terminatedError(), terminatedError());
}

void WebContentProcess::failAll(const std::shared_ptr<NSError>& runningError,
                                const std::shared_ptr<NSError>& waitingError) {
  auto running = std::move(running_);
  auto waiting = std::move(waiting_);
  waiting_bytes_ = 0;
  // What a load's scripts took of its budget died with the process: none is left to the rest.
  if (running && running->load != Request::Load::none) load_budget_left_ = {};
  auto fail = [](Request& request, const std::shared_ptr<NSError>& error) {
    if (request.evaluation_done) request.evaluation_done(AnyValue(), error);
    if (request.scripts_done) request.scripts_done({errorText(*error)});
  };
  if (running) fail(*running, runningError);
  for (auto& request : waiting) fail(request, waitingError);
}

}  // namespace webkit
