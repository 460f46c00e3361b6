#include "platform/foundation/ns_url.h"

#include <unistd.h>
#include <uriparser/Uri.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "platform/foundation/utf8.h"

namespace {

// One parsed reference; frees what the parser allocated.
class ParsedUri {
 public:
  explicit ParsedUri(const std::string& text) {
    // The whole text is parsed, so an embedded NUL is an invalid character, never an end.
    const char* error_position = nullptr;
    ok_ = uriParseSingleUriExA(&uri_, text.data(), text.data() + text.size(), &error_position) ==
          URI_SUCCESS;
  }
  ~ParsedUri() { uriFreeUriMembersA(&uri_); }
  ParsedUri(const ParsedUri&) = delete;
  ParsedUri& operator=(const ParsedUri&) = delete;

  bool ok() const { return ok_; }
  UriUriA* get() { return &uri_; }

 private:
  UriUriA uri_{};
  bool ok_ = false;
};

std::optional<std::string> rangeText(const UriTextRangeA& range) {
  if (range.first == nullptr) return std::nullopt;
  return std::string(range.first, range.afterLast);
}

std::optional<std::string> resolve(const std::string& reference, const std::string& base) {
  ParsedUri relative(reference);
  ParsedUri absolute_base(base);
  if (!relative.ok() || !absolute_base.ok()) return std::nullopt;
  UriUriA resolved{};
  if (uriAddBaseUriA(&resolved, relative.get(), absolute_base.get()) != URI_SUCCESS) {
    uriFreeUriMembersA(&resolved);
    return std::nullopt;
  }
  int length = 0;
  std::optional<std::string> text;
  if (uriToStringCharsRequiredA(&resolved, &length) == URI_SUCCESS) {
    std::string buffer(static_cast<size_t>(length) + 1, '\0');
    if (uriToStringA(buffer.data(), &resolved, length + 1, nullptr) == URI_SUCCESS) {
      buffer.resize(static_cast<size_t>(length));
      text = std::move(buffer);
    }
  }
  uriFreeUriMembersA(&resolved);
  return text;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string stringByAddingPercentEncodingWithAllowedCharacters(std::string_view text,
                                                               const NSCharacterSet& allowed) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (allowed.characterIsMember(byte)) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 0xF]);
    }
  }
  return out;
}

std::optional<std::string> stringByRemovingPercentEncoding(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    int high = hexValue(text[i + 1]);
    int low = hexValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  // A NUL would end the text early wherever it is handed to the system, so none is produced.
  if (out.find('\0') != std::string::npos || !foundation::isValidUtf8(out)) return std::nullopt;
  return out;
}

NSURL::NSURL(const std::string& string) {
  if (auto url = fromAbsolute(string)) {
    *this = *url;
  } else {
    absolute_string_ = string;
    relative_string_ = string;
  }
}

std::optional<NSURL> NSURL::fromAbsolute(std::string absolute) {
  ParsedUri parsed(absolute);
  if (!parsed.ok()) return std::nullopt;
  UriUriA* uri = parsed.get();
  NSURL url;
  url.scheme_ = rangeText(uri->scheme);
  if (auto user_info = rangeText(uri->userInfo)) {
    auto colon = user_info->find(':');
    url.user_ = user_info->substr(0, colon);
    if (colon != std::string::npos) url.password_ = user_info->substr(colon + 1);
  }
  url.host_ = rangeText(uri->hostText);
  url.host_is_ip6_ = uri->hostData.ip6 != nullptr;
  if (auto port = rangeText(uri->portText); port && !port->empty()) {
    url.port_ = std::atoi(port->c_str());
  }
  bool rooted = uri->absolutePath || uri->hostText.first != nullptr;
  for (UriPathSegmentA* segment = uri->pathHead; segment != nullptr; segment = segment->next) {
    if (segment != uri->pathHead || rooted) url.path_.push_back('/');
    url.path_ += rangeText(segment->text).value_or("");
  }
  url.query_ = rangeText(uri->query);
  url.fragment_ = rangeText(uri->fragment);
  url.absolute_string_ = absolute;
  url.relative_string_ = std::move(absolute);
  return url;
}

std::optional<NSURL> NSURL::URLWithString(const std::string& string) {
  if (string.empty()) return std::nullopt;
  return fromAbsolute(string);
}

std::optional<NSURL> NSURL::URLWithString(const std::string& string, const NSURL* baseURL) {
  if (baseURL == nullptr) return URLWithString(string);
  if (!fromAbsolute(string)) return std::nullopt;
  auto resolved = resolve(string, baseURL->absoluteString());
  if (!resolved) return std::nullopt;
  auto url = fromAbsolute(*resolved);
  if (!url) return std::nullopt;
  url->relative_string_ = string;
  url->base_ = std::make_shared<const NSURL>(*baseURL);
  return url;
}

NSURL NSURL::fileURLWithPath(const std::string& path) {
  std::error_code error;
  bool directory = std::filesystem::is_directory(path, error);
  return fileURLWithPath(path, directory || (!path.empty() && path.back() == '/'));
}

NSURL NSURL::fileURLWithPath(const std::string& path, bool isDirectory) {
  std::string absolute = path;
  if (absolute.empty() || absolute.front() != '/') {
    std::error_code error;
    std::string current = std::filesystem::current_path(error).string();
    absolute = current + (current.ends_with('/') ? "" : "/") + absolute;
  }
  if (isDirectory && !absolute.ends_with('/')) absolute.push_back('/');
  std::string encoded = stringByAddingPercentEncodingWithAllowedCharacters(
      absolute, NSCharacterSet::URLPathAllowedCharacterSet());
  // Every byte outside the path set is escaped, so the text always parses.
  return *fromAbsolute("file://" + encoded);
}

NSURL NSURL::absoluteURL() const {
  NSURL url = *this;
  url.relative_string_ = absolute_string_;
  url.base_.reset();
  return url;
}

std::string NSURL::path() const {
  std::string decoded = stringByRemovingPercentEncoding(path_).value_or(path_);
  while (decoded.size() > 1 && decoded.back() == '/') decoded.pop_back();
  return decoded;
}

std::string NSURL::lastPathComponent() const {
  std::string decoded = path();
  if (decoded == "/" || decoded.empty()) return decoded;
  return decoded.substr(decoded.rfind('/') + 1);
}

std::string NSURL::pathExtension() const {
  std::string last = lastPathComponent();
  auto dot = last.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == last.size()) return "";
  return last.substr(dot + 1);
}

bool NSURL::isFileURL() const {
  if (!scheme_ || scheme_->size() != 4) return false;
  std::string lower;
  for (char c : *scheme_)
    lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  return lower == "file";
}

NSURL NSURL::withPath(const std::string& encodedPath) const {
  // Appended piece by piece: each piece is copied once.
  std::string text;
  auto append = [&text](std::string_view piece) { text.append(piece); };
  if (scheme_) {
    append(*scheme_);
    append(":");
  }
  if (host_) {
    append("//");
    if (user_) {
      append(*user_);
      if (password_) {
        append(":");
        append(*password_);
      }
      append("@");
    }
    if (host_is_ip6_) append("[");
    append(*host_);
    if (host_is_ip6_) append("]");
    if (port_) {
      append(":");
      append(std::to_string(*port_));
    }
  }
  append(encodedPath);
  if (query_) {
    append("?");
    append(*query_);
  }
  if (fragment_) {
    append("#");
    append(*fragment_);
  }
  auto url = fromAbsolute(text);
  return url ? *url : *this;
}

NSURL NSURL::URLByAppendingPathComponent(const std::string& component) const {
  return URLByAppendingPathComponent(component, !component.empty() && component.back() == '/');
}

NSURL NSURL::URLByAppendingPathComponent(const std::string& component, bool isDirectory) const {
  std::string path = path_;
  if (path.empty() || path.back() != '/') path.push_back('/');
  std::string trimmed = component;
  while (!trimmed.empty() && trimmed.front() == '/') trimmed.erase(trimmed.begin());
  path += stringByAddingPercentEncodingWithAllowedCharacters(
      trimmed, NSCharacterSet::URLPathAllowedCharacterSet());
  if (isDirectory && path.back() != '/') path.push_back('/');
  return withPath(path);
}

NSURL NSURL::URLByDeletingLastPathComponent() const {
  std::string path = path_;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  auto slash = path.rfind('/');
  path = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  return withPath(path);
}

namespace {

// As for errors (see ns_error.cc): the sanitizer's first check of the type is made at start,
// not in a process out of descriptors.
[[maybe_unused]] const bool kDynamicTypeChecked = [] {
  NSURL url("file:///");
  NSURL copy = url;
  copy = url;
  return copy == url && copy.isFileURL();
}();

}  // namespace
