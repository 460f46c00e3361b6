#include "platform/webkit/content_process/java_script_page.h"

#include <duktape.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/webkit/content_process/page_value_copy.h"
#include "platform/webkit/wk_error.h"

namespace webkit {
namespace {

using content::ValueTag;
using HeapState = JavaScriptPage::HeapState;

// A page's heap may not grow past this; an allocation beyond it fails inside the script as an
// out-of-memory error instead of taking the process's memory.
constexpr size_t kHeapLimit = size_t{64} << 20;

// What a script that failed gets when not even its error can be described.
constexpr const char* kUndescribedError = "Error";
constexpr const char* kTimeoutError = "execution timeout";
constexpr const char* kTooLargeError = "RangeError: result too large";
// The exit status of a content process whose engine hit a fatal error.
constexpr int kEngineFatalExitStatus = 70;

// Every block carries its size in front, so that the limit can be kept.
struct alignas(std::max_align_t) BlockHeader {
  size_t size;
};

void* allocate(void* heap_udata, duk_size_t size) {
  auto& allocated = static_cast<HeapState*>(heap_udata)->allocated;
  if (size > kHeapLimit - allocated) return nullptr;
  auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + size));
  if (header == nullptr) return nullptr;
  header->size = size;
  allocated += size;
  return header + 1;
}

void release(void* heap_udata, void* block) {
  if (block == nullptr) return;
  auto* header = static_cast<BlockHeader*>(block) - 1;
  static_cast<HeapState*>(heap_udata)->allocated -= header->size;
  std::free(header);
}

void* reallocate(void* heap_udata, void* block, duk_size_t size) {
  if (block == nullptr) return allocate(heap_udata, size);
  if (size == 0) {
    release(heap_udata, block);
    return nullptr;
  }
  auto& allocated = static_cast<HeapState*>(heap_udata)->allocated;
  auto* header = static_cast<BlockHeader*>(block) - 1;
  size_t old_size = header->size;
  if (size > old_size && size - old_size > kHeapLimit - allocated) return nullptr;
  auto* grown = static_cast<BlockHeader*>(std::realloc(header, sizeof(BlockHeader) + size));
  if (grown == nullptr) return nullptr;
  grown->size = size;
  allocated = allocated - old_size + size;
  return grown + 1;
}

// The engine cannot go on from a fatal error, and its own catch points would turn any exception
// thrown from here into a script error and use the heap on. The page's process ends instead; the
// host sees it end and reports the content process terminated.
void fatal(void* /*heap_udata*/, const char* message) {
  std::fprintf(stderr, "duktape: %s; the page's content process ends\n",
               message != nullptr ? message : "fatal error");
  std::fflush(stderr);
  ::_exit(kEngineFatalExitStatus);
}

constexpr const char* kPageKey = DUK_HIDDEN_SYMBOL("page");
constexpr const char* kHandlerNameKey = DUK_HIDDEN_SYMBOL("handlerName");

// Writes the value on the top of the stack (and pops it). A failure of the copy itself (a getter's
// error, a full heap, a spent time budget) is thrown on to the caller's protected call.
JavaScriptPage::Outcome convertTop(duk_context* context, const EnginePrototypes& prototypes,
                                   size_t maxValueBytes) {
  JavaScriptPage::Outcome outcome;
  switch (writePageValue(context, -1, prototypes, content::kMaxScriptValues, maxValueBytes,
                         outcome.value)) {
    case PageValueCopy::written:
      break;
    case PageValueCopy::unsupported:
      outcome.errorCode = WKErrorJavaScriptResultTypeIsUnsupported;
      break;
    case PageValueCopy::tooLarge:
      outcome.errorCode = WKErrorJavaScriptExceptionOccurred;
      outcome.errorMessage = kTooLargeError;
      break;
  }
  duk_pop(context);
  return outcome;
}

// The text of the error on the top of the stack (which stays there), described without running
// anything that could fail unprotected.
std::string errorText(duk_context* context) {
  std::string text = kUndescribedError;
  auto describe = [](duk_context* inner, void* out) -> duk_ret_t {
    duk_safe_to_string(inner, -1);
    *static_cast<std::string*>(out) = toUtf8(inner, -1);
    return 0;
  };
  duk_dup_top(context);
  if (duk_safe_call(context, describe, &text, 1, 1) != DUK_EXEC_SUCCESS) text = kUndescribedError;
  duk_pop(context);
  return text;
}

}  // namespace

template <typename Body>
std::optional<std::string> JavaScriptPage::runProtected(Body& body) {
  auto trampoline = [](duk_context* context, void* udata) -> duk_ret_t {
    (*static_cast<Body*>(udata))(context);
    return 0;
  };
  std::optional<std::string> failure;
  if (duk_safe_call(context_, trampoline, &body, 0, 1) != DUK_EXEC_SUCCESS) {
    failure = errorText(context_);
  }
  duk_pop(context_);
  return failure;
}

JavaScriptPage::JavaScriptPage(Hooks hooks, std::optional<std::string> title, size_t maxValueBytes)
    : hooks_(std::move(hooks)), title_(std::move(title)), max_value_bytes_(maxValueBytes) {
  context_ = duk_create_heap(allocate, reallocate, release, &heap_, fatal);
  if (context_ == nullptr) return;
  auto install = [this](duk_context*) { installGlobals(); };
  if (runProtected(install)) {
    duk_destroy_heap(context_);
    context_ = nullptr;
  }
}

JavaScriptPage::~JavaScriptPage() {
  if (context_ == nullptr) return;
  // Whatever would still run as the heap goes runs past its time at once.
  heap_.deadline = Clock::now();
  duk_destroy_heap(context_);
}

JavaScriptPage& JavaScriptPage::from(duk_context* context) {
  duk_push_global_stash(context);
  duk_get_prop_string(context, -1, kPageKey);
  auto* page = static_cast<JavaScriptPage*>(duk_get_pointer(context, -1));
  duk_pop_2(context);
  return *page;
}

void JavaScriptPage::installGlobals() {
  duk_context* context = context_;
  duk_push_global_stash(context);
  duk_push_pointer(context, this);
  duk_put_prop_string(context, -2, kPageKey);
  duk_pop(context);
  prototypes_ = EnginePrototypes::of(context);

  duk_push_global_object(context);
  // The engine's own objects, which no browser has: through them a page could leave finalizers
  // that run when its heap goes, at the next page's expense, or reach the engine's internals.
  for (const char* name : {"Duktape", "CBOR", "Buffer"}) duk_del_prop_string(context, -1, name);
  if (duk_get_prop_string(context, -1, "Uint8Array")) {
    duk_del_prop_string(context, -1, "allocPlain");
    duk_del_prop_string(context, -1, "plainOf");
  }
  duk_pop(context);
  duk_dup(context, -1);
  duk_put_prop_string(context, -2, "window");

  duk_push_object(context);  // document
  duk_push_string(context, "title");
  duk_push_c_function(context, titleGetter, 0);
  duk_push_c_function(context, titleSetter, 1);
  duk_def_prop(context, -4,
               DUK_DEFPROP_HAVE_GETTER | DUK_DEFPROP_HAVE_SETTER | DUK_DEFPROP_SET_ENUMERABLE |
                   DUK_DEFPROP_CLEAR_CONFIGURABLE);
  duk_put_prop_string(context, -2, "document");

  duk_push_object(context);  // webkit
  duk_push_object(context);
  duk_put_prop_string(context, -2, "messageHandlers");
  duk_put_prop_string(context, -2, "webkit");
  duk_pop(context);
}

// The handlers present now; a name removed since the last script is gone from the object.
void JavaScriptPage::refreshMessageHandlers() {
  duk_context* context = context_;
  duk_push_global_object(context);
  if (!duk_get_prop_string(context, -1, "webkit") || !duk_is_object(context, -1)) {
    duk_pop_2(context);
    return;
  }
  duk_push_object(context);
  for (const auto& name : handler_names_) {
    duk_push_object(context);
    duk_push_c_function(context, postMessage, 1);
    duk_push_lstring(context, name.data(), name.size());
    duk_put_prop_string(context, -2, kHandlerNameKey);
    duk_put_prop_string(context, -2, "postMessage");
    duk_put_prop_lstring(context, -2, name.data(), name.size());
  }
  duk_put_prop_string(context, -2, "messageHandlers");
  duk_pop_2(context);
}

JavaScriptPage::Outcome JavaScriptPage::evaluate(const std::string& script,
                                                 const ScriptDeadline& deadline) {
  if (context_ == nullptr) {
    return {{}, WKErrorJavaScriptExceptionOccurred, "Error: out of memory"};
  }
  Outcome outcome;
  auto run = [&](duk_context* context) {
    refreshMessageHandlers();
    duk_eval_lstring(context, script.data(), script.size());
    outcome = convertTop(context, prototypes_, max_value_bytes_);
  };
  // The deadline covers the result's conversion too: a getter may run forever as well.
  heap_.deadline = deadline;
  auto failure = runProtected(run);
  heap_.deadline.reset();
  if (failure) return {{}, WKErrorJavaScriptExceptionOccurred, *failure};
  return outcome;
}

void JavaScriptPage::raiseFatalError() {
  if (context_ == nullptr) return;
  auto run = [](duk_context* context) {
    duk_push_global_object(context);
    duk_push_c_function(context, fatalFunction, 0);
    duk_put_prop_string(context, -2, "raiseFatalError");
    duk_pop(context);
    duk_eval_string_noresult(context, "try { raiseFatalError(); } catch (e) {}");
  };
  runProtected(run);
}

int JavaScriptPage::fatalFunction(duk_context* context) {
  duk_fatal(context, "raised on request");
  return 0;
}

int JavaScriptPage::titleGetter(duk_context* context) {
  const auto& title = from(context).title_;
  if (title) {
    duk_push_lstring(context, title->data(), title->size());
  } else {
    duk_push_string(context, "");
  }
  return 1;
}

// A value whose conversion throws leaves the title as it was, and the script gets the error.
int JavaScriptPage::titleSetter(duk_context* context) {
  duk_to_string(context, 0);
  JavaScriptPage& page = from(context);
  page.title_ = toUtf8(context, 0);
  if (page.hooks_.titleChanged) page.hooks_.titleChanged(*page.title_);
  return 0;
}

int JavaScriptPage::postMessage(duk_context* context) {
  duk_push_current_function(context);
  duk_get_prop_string(context, -1, kHandlerNameKey);
  std::string name = toUtf8(context, -1);
  duk_pop_2(context);
  JavaScriptPage& page = from(context);
  // Only a value that cannot be cloned is a DataCloneError: what its getters throw, or the
  // engine's own errors (a full heap), go on to the page as they are.
  Outcome body;
  switch (writePageValue(context, 0, page.prototypes_, content::kMaxScriptValues,
                         page.max_value_bytes_, body.value)) {
    case PageValueCopy::written:
      break;
    case PageValueCopy::unsupported:
      return duk_error(context, DUK_ERR_TYPE_ERROR,
                       "DataCloneError: The object can not be cloned.");
    case PageValueCopy::tooLarge:
      return duk_error(context, DUK_ERR_RANGE_ERROR, "message too large");
  }
  // The body of `postMessage(undefined)` arrives as null.
  if (body.value.size() == 1 && body.value[0] == static_cast<uint8_t>(ValueTag::kUndefined)) {
    body.value[0] = static_cast<uint8_t>(ValueTag::kNull);
  }
  if (page.hooks_.postMessage && !page.hooks_.postMessage(name, std::move(body.value))) {
    return duk_error(context, DUK_ERR_RANGE_ERROR, kTimeoutError);
  }
  return 0;
}

}  // namespace webkit

// The engine asks this at its interrupts while a script runs. It keeps answering yes once the
// deadline has passed, until the script has been left, so that no catch block can go on.
int webkit_script_timed_out(void* heap_udata) {
  const auto& deadline = static_cast<webkit::JavaScriptPage::HeapState*>(heap_udata)->deadline;
  return deadline && deadline->passed() ? 1 : 0;
}
