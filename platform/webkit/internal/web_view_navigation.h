// One navigation of a web view: what it loads, how far it has come, and what its load found.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/webkit/internal/html_document.h"
#include "platform/webkit/internal/page_file.h"
#include "platform/webkit/internal/served_responses.h"
#include "platform/foundation/ns_error.h"
#include "platform/foundation/ns_url.h"
#include "platform/foundation/ns_url_response.h"
#include "platform/foundation/url_request.h"
#include "platform/webkit/wk_navigation.h"
#include "platform/webkit/wk_navigation_action.h"

namespace webkit {

struct RequestSource {
  URLRequest request;
};
struct HTMLSource {
  // Shared by the navigation and the back-forward list, never copied with them.
  std::shared_ptr<const std::string> html;
  std::shared_ptr<const NSURL> baseURL;
};
struct FileSource {
  std::shared_ptr<const NSURL> url;
  std::shared_ptr<const NSURL> readAccessURL;
};
using NavigationSource = std::variant<RequestSource, HTMLSource, FileSource>;

enum class NavigationStep {
  actionPolicy,
  provisionalStart,
  authentication,
  responsePolicy,
  commit,
  finish,
  failure,
};

// A page's file, to be read from inside the folder the load may read.
struct PendingFile {
  std::string path;
  std::string readAccessPath;
};

// What loading a source found: a response and body, possibly behind a challenge, or an error.
struct LoadedContent {
  std::shared_ptr<const NSURL> url;
  std::shared_ptr<NSURLResponse> response;
  std::string mimeType;
  // Shared with the source it came from; never copied.
  std::shared_ptr<const std::string> body;
  std::optional<ServedResponse::RequiredCredentials> requiredCredentials;
  std::shared_ptr<NSError> error;
  // A file whose body is still to be read (see readPageContent).
  std::optional<PendingFile> pendingFile;
  // What the page holds, once read (see readPageContent).
  HTMLDocument document;
};

// What reading a page found: why its file could not be read, when it had one to read, and its
// document when it is HTML. Touches no object, so any thread may make it; it takes time in
// proportion to the page, so the main thread never does.
struct PageContentRead {
  std::optional<PageFileError> fileError;
  HTMLDocument document;
};
// Stops early, with nothing read, once `stop` is set.
PageContentRead readPageContent(const std::optional<PendingFile>& pendingFile,
                                const std::shared_ptr<const std::string>& body, bool html,
                                const ReadingStop& stop,
                                Scripting scripting = Scripting::enabled);
// While held (a test's control), page files are not read until released: a read that does not
// end, as a file on a hung file system would.
void holdPageFileReads(bool hold);
// Completes `content` with what was read, or with the load error that fits the failure.
void applyPageContentRead(LoadedContent& content, PageContentRead read);

// The URL a source loads: the request's, the base URL (or about:blank), or the file's.
std::shared_ptr<const NSURL> sourceURL(const NavigationSource& source);
// The request a navigation action shows for a source.
URLRequest sourceRequest(const NavigationSource& source);
// Cheap enough for the main thread: the body is left to read (see readPageContent).
LoadedContent loadContent(const NavigationSource& source);

struct WebViewNavigation {
  WebViewNavigation(NavigationSource source, WKNavigationType type,
                    std::optional<size_t> historyIndex)
      : source(std::move(source)), type(type), historyIndex(historyIndex) {}

  ~WebViewNavigation() { readingStop->stop(); }
  WebViewNavigation(const WebViewNavigation&) = delete;
  WebViewNavigation& operator=(const WebViewNavigation&) = delete;

  // Leaving the provisional start, however, ends the reading of the page's content.
  void moveTo(NavigationStep next) {
    if (step == NavigationStep::provisionalStart) readingStop->stop();
    step = next;
    ++generation;
  }

  const std::shared_ptr<WKNavigation> token = makeObject<WKNavigation>();
  NavigationSource source;
  WKNavigationType type;
  // The history item a back or forward navigation goes to, or the reloaded item.
  std::optional<size_t> historyIndex;
  NavigationStep step = NavigationStep::actionPolicy;
  // Counts the steps, so that a posted step or a late answer of an earlier step is ignored.
  uint64_t generation = 0;
  bool committed = false;
  LoadedContent content;
  std::shared_ptr<NSError> error;
  // Shared with the pool thread that reads the page's content.
  const std::shared_ptr<ReadingStop> readingStop = std::make_shared<ReadingStop>();
};

}  // namespace webkit

namespace webkit {

// An entry of the back-forward list.
struct HistoryItem {
  NavigationSource source;
  std::shared_ptr<const NSURL> url;
};

// The back-forward list keeps this many entries, and at most this much HTML given as strings;
// past either the oldest entries go.
inline constexpr size_t kMaxBackForwardItems = 100;
inline constexpr size_t kMaxBackForwardHTMLBytes = size_t{64} << 20;

}  // namespace webkit
