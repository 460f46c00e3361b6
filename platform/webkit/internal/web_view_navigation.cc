#include "platform/webkit/internal/web_view_navigation.h"

#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/foundation/ns_url.h"
#include "platform/webkit/internal/web_kit_errors.h"
#include "platform/foundation/ns_http_url_response.h"
#include "platform/webkit/wk_error.h"

namespace webkit {
namespace {

constexpr const char* kBlankPage = "about:blank";
// A page file larger than this is refused rather than read into memory.
constexpr uint64_t kLargestPageFile = uint64_t{64} << 20;

std::shared_ptr<const NSURL> urlObject(const std::string& text) {
  return std::make_shared<const NSURL>(text);
}

std::string mimeTypeForExtension(const std::string& extension) {
  static const std::map<std::string, std::string> kTypes = {
      {"html", "text/html"},    {"htm", "text/html"},      {"txt", "text/plain"},
      {"css", "text/css"},      {"js", "text/javascript"}, {"json", "application/json"},
      {"png", "image/png"},     {"jpg", "image/jpeg"},     {"jpeg", "image/jpeg"},
      {"svg", "image/svg+xml"},
  };
  auto found = kTypes.find(extension);
  return found != kTypes.end() ? found->second : "application/octet-stream";
}

LoadedContent failed(int64_t code, const std::string& description, const std::string& url) {
  LoadedContent content;
  content.url = urlObject(url);
  content.error = urlLoadingError(code, description, url);
  return content;
}

LoadedContent loadRequest(const URLRequest& request) {
  std::string text = request.url ? request.url->absoluteString() : std::string();
  auto parsed = NSURL::URLWithString(text);
  if (!parsed || !parsed->scheme()) return failed(NSURLErrorBadURL, "bad URL", text);
  LoadedContent content;
  content.url = urlObject(parsed->absoluteString());
  if (text == kBlankPage) {
    content.response = makeObject<NSURLResponse>(content.url, "text/html");
    content.mimeType = "text/html";
    return content;
  }
  if (parsed->isFileURL()) {
    return failed(NSURLErrorNoPermissionsToReadFile,
                  "The file couldn't be opened because you don't have permission to view it.",
                  text);
  }
  auto served = ServedResponses::shared().responseFor(parsed->absoluteString());
  if (!served) {
    return failed(NSURLErrorCannotFindHost,
                  "A server with the specified hostname could not be found.", text);
  }
  content.response = makeObject<NSHTTPURLResponse>(content.url, served->statusCode,
                                                               served->headerFields);
  content.mimeType = served->mimeType;
  content.body = std::make_shared<const std::string>(served->body);
  content.requiredCredentials = served->requiredCredentials;
  return content;
}

LoadedContent loadFile(const FileSource& source) {
  std::string text = source.url ? source.url->absoluteString() : std::string();
  auto file_url = NSURL::URLWithString(text);
  auto access_url = source.readAccessURL
                        ? NSURL::URLWithString(source.readAccessURL->absoluteString())
                        : std::nullopt;
  // A path holding a NUL (encoded as %00) names no file the system could open.
  auto usable = [](const std::optional<NSURL>& url) {
    return url && url->isFileURL() && url->path().find('\0') == std::string::npos &&
           url->absoluteString().find("%00") == std::string::npos;
  };
  if (!usable(file_url) || !usable(access_url)) {
    return failed(NSURLErrorUnsupportedURL, "unsupported URL", text);
  }
  // Whether the file is inside the folder is found when it is opened, off the main thread.
  LoadedContent content;
  content.url = urlObject(file_url->absoluteString());
  content.mimeType = mimeTypeForExtension(file_url->pathExtension());
  content.response = makeObject<NSURLResponse>(content.url, content.mimeType);
  // The trailing slash path() drops still says the name is a folder's.
  std::string file_path = file_url->path();
  if (file_url->hasDirectoryPath() && !file_path.ends_with('/')) file_path += '/';
  content.pendingFile = PendingFile{std::move(file_path), access_url->path()};
  return content;
}

// Process-wide, as the file system is.
struct ReadHold {
  std::mutex mutex;
  std::condition_variable released;
  bool held = false;
};

ReadHold& readHold() {
  static ReadHold hold;
  return hold;
}

}  // namespace

void holdPageFileReads(bool hold) {
  auto& gate = readHold();
  {
    std::lock_guard lock(gate.mutex);
    gate.held = hold;
  }
  gate.released.notify_all();
}

std::shared_ptr<const NSURL> sourceURL(const NavigationSource& source) {
  if (const auto* request = std::get_if<RequestSource>(&source)) return request->request.url;
  if (const auto* html = std::get_if<HTMLSource>(&source)) {
    return html->baseURL ? html->baseURL : urlObject(kBlankPage);
  }
  return std::get<FileSource>(source).url;
}

URLRequest sourceRequest(const NavigationSource& source) {
  if (const auto* request = std::get_if<RequestSource>(&source)) return request->request;
  URLRequest request;
  request.url = sourceURL(source);
  return request;
}

LoadedContent loadContent(const NavigationSource& source) {
  if (const auto* request = std::get_if<RequestSource>(&source))
    return loadRequest(request->request);
  if (const auto* html = std::get_if<HTMLSource>(&source)) {
    LoadedContent content;
    content.url = sourceURL(source);
    content.mimeType = "text/html";
    content.response = makeObject<NSURLResponse>(content.url, content.mimeType);
    content.body = html->html;
    return content;
  }
  return loadFile(std::get<FileSource>(source));
}

PageContentRead readPageContent(const std::optional<PendingFile>& pendingFile,
                                const std::shared_ptr<const std::string>& body, bool html,
                                const ReadingStop& stop, Scripting scripting) {
  PageContentRead read;
  if (!pendingFile) {
    if (body && html) read.document = readHTMLDocument(*body, &stop, scripting);
    return read;
  }
  {
    auto& gate = readHold();
    std::unique_lock lock(gate.mutex);
    gate.released.wait(lock, [&] { return !gate.held; });
  }
  if (stop.stopped()) return read;
  auto bytes = readPageFile(pendingFile->path, pendingFile->readAccessPath, kLargestPageFile);
  if (auto* error = std::get_if<PageFileError>(&bytes)) {
    read.fileError = *error;
    return read;
  }
  if (html) {
    const auto& page = std::get<std::vector<uint8_t>>(bytes);
    read.document = readHTMLDocument(
        std::string_view(reinterpret_cast<const char*>(page.data()), page.size()), &stop,
        scripting);
  }
  return read;
}

void applyPageContentRead(LoadedContent& content, PageContentRead read) {
  content.document = std::move(read.document);
  bool had_file = content.pendingFile.has_value();
  content.pendingFile.reset();
  // The document is all a page needs of its body from here on.
  content.body = nullptr;
  if (!had_file || !read.fileError) return;
  std::string url = content.url ? content.url->absoluteString() : std::string();
  content.response = nullptr;
  switch (*read.fileError) {
    case PageFileError::kNotFound:
      content.error = urlLoadingError(NSURLErrorFileDoesNotExist,
                                      "The requested URL was not found on this server.", url);
      return;
    case PageFileError::kOutsideFolder:
      content.error = urlLoadingError(
          NSURLErrorNoPermissionsToReadFile,
          "The file couldn't be opened because you don't have permission to view it.", url);
      return;
    case PageFileError::kTooLarge:
      content.error = urlLoadingError(NSURLErrorDataLengthExceedsMaximum,
                                      "The file is larger than a page may be.", url);
      return;
    case PageFileError::kDirectory:
      content.error =
          urlLoadingError(NSURLErrorFileIsDirectory, "The file is a directory.", url);
      return;
    case PageFileError::kNotRegular:
    case PageFileError::kUnreadable:
      break;
  }
  content.error = urlLoadingError(NSURLErrorNoPermissionsToReadFile,
                                  "The file couldn't be opened.", url);
}

}  // namespace webkit
