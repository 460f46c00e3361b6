// URLs: parsed absolute or relative references (RFC 3986), file URLs, resolution against a base
// URL, and percent-encoding of their components.
//
// Parsing is strict: a string with characters that may not appear in a URL (a space, for
// instance) is not a URL. Components read back as written (scheme, host, query and fragment keep
// their percent-escapes); path() is decoded and has no trailing slash.
//
// A URL is an object of the runtime (WebKit's objects hand URLs on and the Dart side tells them
// apart by identity) and also a value: a copy is a new object with the same URL.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/ns_character_set.h"
#include "platform/foundation/ns_object.h"

class NSURL final : public NSObject {
 public:
  // The URL `string` parses as; text that is not a URL is kept as the absolute string of a URL
  // without components, as WebKit hands on the text of a load it could not start.
  explicit NSURL(const std::string& string);
  NSURL(const NSURL&) = default;
  NSURL& operator=(const NSURL&) = default;

  // nullopt when the string is not a URL reference.
  static std::optional<NSURL> URLWithString(const std::string& string);
  // The reference resolved against `baseURL` (when given).
  static std::optional<NSURL> URLWithString(const std::string& string, const NSURL* baseURL);
  // A file URL for an absolute path, or for a relative one against the current directory. The
  // URL ends with a slash when `isDirectory` says so, or, when not told, when a directory exists
  // at the path.
  static NSURL fileURLWithPath(const std::string& path);
  static NSURL fileURLWithPath(const std::string& path, bool isDirectory);

  const std::string& absoluteString() const { return absolute_string_; }
  // The string the URL was made from, before resolution.
  const std::string& relativeString() const { return relative_string_; }
  const NSURL* baseURL() const { return base_.get(); }
  NSURL absoluteURL() const;

  const std::optional<std::string>& scheme() const { return scheme_; }
  const std::optional<std::string>& user() const { return user_; }
  const std::optional<std::string>& password() const { return password_; }
  const std::optional<std::string>& host() const { return host_; }
  const std::optional<int>& port() const { return port_; }
  // Percent-decoded, without a trailing slash except for "/" itself; empty when there is none.
  // Escapes that do not decode (malformed, not UTF-8, or a NUL) are kept as written.
  std::string path() const;
  // The path as written, percent-escapes kept.
  const std::string& percentEncodedPath() const { return path_; }
  const std::optional<std::string>& query() const { return query_; }
  const std::optional<std::string>& fragment() const { return fragment_; }
  std::string lastPathComponent() const;
  std::string pathExtension() const;
  bool hasDirectoryPath() const { return !path_.empty() && path_.back() == '/'; }
  bool isFileURL() const;

  // The component is percent-encoded for a path; query and fragment are kept.
  NSURL URLByAppendingPathComponent(const std::string& component) const;
  NSURL URLByAppendingPathComponent(const std::string& component, bool isDirectory) const;
  NSURL URLByDeletingLastPathComponent() const;

  friend bool operator==(const NSURL& a, const NSURL& b) {
    return a.absolute_string_ == b.absolute_string_;
  }

 private:
  NSURL() = default;
  static std::optional<NSURL> fromAbsolute(std::string absolute);
  NSURL withPath(const std::string& encodedPath) const;

  std::string absolute_string_;
  std::string relative_string_;
  std::shared_ptr<const NSURL> base_;
  std::optional<std::string> scheme_;
  std::optional<std::string> user_;
  std::optional<std::string> password_;
  std::optional<std::string> host_;
  std::optional<int> port_;
  std::string path_;
  std::optional<std::string> query_;
  std::optional<std::string> fragment_;
  bool host_is_ip6_ = false;
};

// Escapes every byte that is not in `allowed` as %XX (upper-case hex).
std::string stringByAddingPercentEncodingWithAllowedCharacters(std::string_view text,
                                                               const NSCharacterSet& allowed);
// Decodes %XX escapes; nullopt when an escape is malformed or the result is not UTF-8 or would
// hold a NUL.
std::optional<std::string> stringByRemovingPercentEncoding(std::string_view text);
