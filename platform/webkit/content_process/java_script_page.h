// The script side of one page, inside its content process: a duktape heap with the little a
// page's scripts see here (no DOM): `document.title` and
// `window.webkit.messageHandlers.<name>.postMessage(body)`.
//
// Results and message bodies are written straight from the heap in the content protocol's value
// encoding (page_value_copy.h): undefined, null, booleans, numbers, strings, arrays and ordinary
// objects. A thrown error, or a result of another kind (a function, a date...), is WebKit's error.
//
// Every call into the engine is protected: a heap at its cap, or a script past its deadline,
// fails that script and leaves the page usable (a full heap stays full until the page's own
// scripts let go of something). The engine's fatal error ends the process: a heap is never used
// after one.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/webkit/content_process/content_limits.h"
#include "platform/webkit/content_process/content_protocol.h"
#include "platform/webkit/content_process/page_value_copy.h"
#include "platform/webkit/content_process/script_deadline.h"

struct duk_hthread;

namespace webkit {

class JavaScriptPage {
 public:
  using Clock = std::chrono::steady_clock;

  struct Hooks {
    // A script set document.title.
    std::function<void(const std::string& title)> titleChanged;
    // A script posted `body` (encoded) to the handler `name`; called while the script runs.
    // Answers false when the host took no more before the script's deadline.
    std::function<bool(const std::string& name, std::vector<uint8_t> body)> postMessage;
  };

  struct Outcome {
    // The result in the value encoding, when there is no error.
    std::vector<uint8_t> value;
    // WebKit's error code (WKErrorCode) and the exception's text; 0 without an error.
    int64_t errorCode = 0;
    std::string errorMessage;
  };

  JavaScriptPage(Hooks hooks, std::optional<std::string> title, size_t maxValueBytes);
  ~JavaScriptPage();
  JavaScriptPage(const JavaScriptPage&) = delete;
  JavaScriptPage& operator=(const JavaScriptPage&) = delete;

  // The names under window.webkit.messageHandlers for the scripts from now on.
  void setMessageHandlerNames(std::vector<std::string> names) { handler_names_ = std::move(names); }
  // `deadline` is checked on this thread: the one that calls.
  Outcome evaluate(const std::string& script, const ScriptDeadline& deadline);
  // The document's title as the page's scripts last left it.
  const std::optional<std::string>& title() const { return title_; }
  // Raises the engine's fatal error from inside a protected call, inside a script's try block.
  void raiseFatalError();

  // What the engine's allocator and interrupt check see of the page.
  struct HeapState {
    size_t allocated = 0;
    std::optional<ScriptDeadline> deadline;
  };

 private:
  static int titleGetter(duk_hthread* context);
  static int titleSetter(duk_hthread* context);
  static int postMessage(duk_hthread* context);
  static int fatalFunction(duk_hthread* context);
  static JavaScriptPage& from(duk_hthread* context);

  void installGlobals();
  void refreshMessageHandlers();
  // Runs `body` inside a protected call; answers the thrown error's text when it fails.
  template <typename Body>
  std::optional<std::string> runProtected(Body& body);

  Hooks hooks_;
  std::optional<std::string> title_;
  size_t max_value_bytes_;
  std::vector<std::string> handler_names_;
  HeapState heap_;
  EnginePrototypes prototypes_;
  duk_hthread* context_ = nullptr;
};

}  // namespace webkit
