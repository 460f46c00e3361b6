// Test controls for the workspace: which application opens each URL scheme, whether the system
// opens URLs, and what it opened.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/ns_url.h"

namespace appkit::testing {

// None removes the scheme's application.
void setApplicationForScheme(const std::string& scheme, std::optional<NSURL> application);
// While refused, opening fails even for URLs that have an application.
void setOpeningRefused(bool refused);
// Keeps the URLs opened from now on (off: forgets them and keeps none). Off in a process that no
// test controls; resetWorkspace turns it on.
void setWorkspaceRecording(bool recording);
// The URLs opened while recording since the last reset, in order: the most recent 64.
std::vector<NSURL> openedURLs();
// Back to the applications at launch, opening allowed, nothing opened, recording on.
void resetWorkspace();

}  // namespace appkit::testing
