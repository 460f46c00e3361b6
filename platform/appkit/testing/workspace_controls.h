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
// The URLs opened since the last reset, in order.
std::vector<NSURL> openedURLs();
// Back to the applications at launch, opening allowed, nothing opened.
void resetWorkspace();

}  // namespace appkit::testing
