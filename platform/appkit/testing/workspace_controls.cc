#include "platform/appkit/testing/workspace_controls.h"

#include <algorithm>
#include <cctype>

#include "platform/appkit/ns_workspace.h"

namespace appkit::testing {

struct WorkspaceAccess {
  static void setApplication(const std::string& scheme, std::optional<NSURL> application) {
    auto workspace = NSWorkspace::sharedWorkspace();
    std::lock_guard lock(workspace->mutex_);
    std::string key = scheme;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (application) {
      workspace->applications_.insert_or_assign(key, *application);
    } else {
      workspace->applications_.erase(key);
    }
  }
  static void setRefused(bool refused) {
    auto workspace = NSWorkspace::sharedWorkspace();
    std::lock_guard lock(workspace->mutex_);
    workspace->opening_refused_ = refused;
  }
  static void setRecording(bool recording) {
    auto workspace = NSWorkspace::sharedWorkspace();
    std::lock_guard lock(workspace->mutex_);
    workspace->recording_ = recording;
    if (!recording) workspace->opened_.clear();
  }
  static std::vector<NSURL> opened() {
    auto workspace = NSWorkspace::sharedWorkspace();
    std::lock_guard lock(workspace->mutex_);
    return {workspace->opened_.begin(), workspace->opened_.end()};
  }
  static void reset() {
    NSWorkspace::sharedWorkspace()->resetToLaunchState();
    setRecording(true);
  }
};

void setApplicationForScheme(const std::string& scheme, std::optional<NSURL> application) {
  WorkspaceAccess::setApplication(scheme, std::move(application));
}

void setOpeningRefused(bool refused) { WorkspaceAccess::setRefused(refused); }

void setWorkspaceRecording(bool recording) { WorkspaceAccess::setRecording(recording); }

std::vector<NSURL> openedURLs() { return WorkspaceAccess::opened(); }

void resetWorkspace() { WorkspaceAccess::reset(); }

}  // namespace appkit::testing
