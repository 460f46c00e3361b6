// Calls the fuzzer does not send, or sends without waiting for their answer, each with its reason.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace channel_fuzzer {

struct ExcludedCall {
  const char* channel;  // a part of the channel's name
  const char* method;
  const char* reason;
  // A text the message holds (a hostile sample names itself in it); empty for any message.
  const char* content = "";
  // Whether the message is one that runs into the finding; null for any message.
  bool (*matches)(const std::vector<uint8_t>& bytes) = nullptr;
};

// Calls that end the application: never sent.
inline constexpr ExcludedCall kEndsTheApplication[] = {
    {"window_control", "destroy", "destroys the main window, which ends the application"},
    {"window_control", "close", "closes the main window, which ends the application"},
};

// Calls that wait for a user by design (a panel, a sheet, a prompt): sent, never waited for.
inline constexpr ExcludedCall kWaitsOnTheUser[] = {
    {"file_panels_macos", "displayOpenPanel", "answers when the user closes the open panel"},
    {"file_panels_macos", "displaySavePanel", "answers when the user closes the save panel"},
    {"file_export", "saveAs", "answers when the user closes the save panel"},
    {"dev.velmora.desktop/share", "share", "answers when the user closes the sharing picker"},
};

// Open findings in other areas: not sent until they are mended. Empty this as fixes land; each
// finding is described in full where the team collects them.
inline constexpr ExcludedCall kOpenFindings[] = {
    {"", "", ""},  // placeholder so that the table is never empty; matches nothing
};

// The first entry of `table` that matches the call and the message `bytes`, or null.
template <size_t N>
const ExcludedCall* findExcluded(const ExcludedCall (&table)[N], const std::string& channel,
                                 const std::string& method,
                                 const std::vector<uint8_t>& bytes = {}) {
  for (const auto& entry : table) {
    if (*entry.method == '\0' || method != entry.method) continue;
    if (channel.find(entry.channel) == std::string::npos) continue;
    const std::string_view content = entry.content;
    if (!content.empty() &&
        std::search(bytes.begin(), bytes.end(), content.begin(), content.end()) == bytes.end()) {
      continue;
    }
    if (entry.matches == nullptr || entry.matches(bytes)) return &entry;
  }
  return nullptr;
}

}  // namespace channel_fuzzer
