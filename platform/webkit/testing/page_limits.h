// What a page's content process may take at most, for tools that wait on pages without
// copying the limits: one request at a time, each within its script budget and the grace past it
// before the process is killed, after the process's start.
#pragma once

#include <chrono>

#include "platform/webkit/internal/web_content_process.h"

namespace webkit::testing {

// One request of a page (a load's scripts, its document-end scripts, an evaluation) under the
// default script budget.
inline constexpr std::chrono::milliseconds kPageRequestLimit =
    WebContentProcess::kDefaultScriptTimeBudget + WebContentProcess::kKillGrace;
// The start of a content process.
inline constexpr std::chrono::milliseconds kContentProcessStartLimit =
    WebContentProcess::kStartLimit;

}  // namespace webkit::testing
