// The type filters of the panels: content types on macOS 11 and later, filename extensions
// before it.
#pragma once

#include <string>
#include <vector>

#include "platform/appkit/ns_save_panel.h"

namespace file_dialog {

// The method names that are also file types with a filter of their own.
inline constexpr const char* kImageType = "image";
inline constexpr const char* kVideoType = "video";
inline constexpr const char* kAudioType = "audio";
inline constexpr const char* kMediaType = "media";
inline constexpr const char* kCustomType = "custom";

// Sets the panel's allowed types from the extensions and the file type.
void applyTypeFilter(NSSavePanel& panel, const std::vector<std::string>& extensions,
                     const std::string& fileType);
// Restricts a save panel to the type of the proposed name's extension, if it has one.
void applyFileNameType(NSSavePanel& panel, const std::string& fileName);

}  // namespace file_dialog
