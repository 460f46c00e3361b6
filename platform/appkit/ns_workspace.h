// The workspace: which application opens a URL, and opening URLs in it. A deterministic model:
// each URL scheme has at most one application (web, mail and file URLs have one at launch), and
// the system may decline to open a URL; the test controls set both. What was opened is kept only
// while a test records it.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/foundation/ns_url.h"

namespace appkit::testing {
struct WorkspaceAccess;
}

class NSWorkspace {
 public:
  static std::shared_ptr<NSWorkspace> sharedWorkspace();

  // Opens the URL in its application; false when there is none or the system declines.
  bool openURL(const NSURL& url);
  // The URL of the application that would open `url`, or none.
  std::optional<NSURL> URLForApplicationToOpenURL(const NSURL& url) const;

 private:
  friend struct appkit::testing::WorkspaceAccess;

  NSWorkspace();
  void resetToLaunchState();

  // The most recent URLs a recording test can read back.
  static constexpr size_t kRecordedURLs = 64;

  mutable std::mutex mutex_;
  // By lower-case scheme.
  std::map<std::string, NSURL> applications_;
  bool opening_refused_ = false;
  bool recording_ = false;
  std::deque<NSURL> opened_;
};
