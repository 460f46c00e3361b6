// The script side of one page: a duktape heap with the little a page's scripts see here (no
// DOM): `document.title` and `window.webkit.messageHandlers.<name>.postMessage(body)`.
//
// Results and message bodies become Foundation values: undefined is nil, null the null object,
// booleans, numbers (integers where exact), strings, arrays and plain objects. A thrown error, or
// a result of another kind (a function, a date...), is WebKit's error.
//
// Every call into the engine is protected: a heap at its cap, or a script past its time budget,
// fails that script with WebKit's error and leaves the page usable (a full heap stays full until
// the page's own scripts let go of something).
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/webkit/any_value.h"
#include "platform/webkit/ns_error.h"

struct duk_hthread;

namespace webkit {

class JavaScriptPage {
 public:
  struct Hooks {
    // A script set document.title.
    std::function<void(const std::string& title)> titleChanged;
    // The names under window.webkit.messageHandlers, read before each script runs.
    std::function<std::vector<std::string>()> messageHandlerNames;
    // A script posted `body` to the handler `name`; called while the script runs.
    std::function<void(const std::string& name, const foundation::AnyValue& body)> postMessage;
  };

  struct Outcome {
    foundation::AnyValue value;
    std::shared_ptr<foundation::NSError> error;
  };

  // How long one script may run, with the conversion of its result, before it is ended.
  static constexpr std::chrono::milliseconds kDefaultScriptTimeBudget{5000};

  JavaScriptPage(Hooks hooks, std::optional<std::string> title,
                 std::chrono::milliseconds scriptTimeBudget = kDefaultScriptTimeBudget);
  ~JavaScriptPage();
  JavaScriptPage(const JavaScriptPage&) = delete;
  JavaScriptPage& operator=(const JavaScriptPage&) = delete;

  Outcome evaluate(const std::string& script);
  // The document's title as the page's scripts last left it.
  const std::optional<std::string>& title() const { return title_; }
  void setScriptTimeBudget(std::chrono::milliseconds budget) { script_time_budget_ = budget; }

  // What the engine's allocator and interrupt check see of the page.
  struct HeapState {
    size_t allocated = 0;
    std::optional<std::chrono::steady_clock::time_point> deadline;
  };

 private:
  static int titleGetter(duk_hthread* context);
  static int titleSetter(duk_hthread* context);
  static int postMessage(duk_hthread* context);
  static JavaScriptPage& from(duk_hthread* context);

  void installGlobals();
  void refreshMessageHandlers();
  // Runs `body` inside a protected call; answers the thrown error's text when it fails.
  template <typename Body>
  std::optional<std::string> runProtected(Body& body);

  Hooks hooks_;
  std::optional<std::string> title_;
  std::chrono::milliseconds script_time_budget_;
  HeapState heap_;
  duk_hthread* context_ = nullptr;
  // Set when the engine reported a fault it cannot go on from; the page runs no more scripts.
  bool stopped_ = false;
};

}  // namespace webkit
