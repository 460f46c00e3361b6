#include "plugins/file_dialog/file_type_filter.h"

#include <map>
#include <optional>

#include "platform/foundation/ns_process_info.h"
#include "platform/uniformtypes/ut_type.h"

namespace file_dialog {
namespace {

bool hasContentTypes() {
  return NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({11, 0, 0});
}

const std::map<std::string, std::vector<UTType>>& contentTypeSets() {
  static const std::map<std::string, std::vector<UTType>> sets = {
      {kImageType, {UTType::image()}},
      {kVideoType, {UTType::movie(), UTType::video()}},
      {kAudioType, {UTType::audio()}},
      {kMediaType, {UTType::image(), UTType::movie(), UTType::video(), UTType::audio()}},
  };
  return sets;
}

const std::map<std::string, std::vector<std::string>>& legacyTypeLists() {
  static const std::map<std::string, std::vector<std::string>> lists = {
      {kImageType, {"bmp", "gif", "jpeg", "jpg", "png", "webp", "heic"}},
      {kVideoType, {"avi", "flv", "mkv", "mov", "mp4", "mpeg", "webm", "wmv"}},
      {kAudioType, {"aac", "midi", "mp3", "ogg", "wav", "m4a", "flac"}},
      // The image list without heic, then the video list; no audio.
      {kMediaType,
       {"bmp", "gif", "jpeg", "jpg", "png", "webp", "avi", "flv", "mkv", "mov", "mp4", "mpeg",
        "webm", "wmv"}},
  };
  return lists;
}

// The text after the last dot of the last path component; empty when there is none.
std::string pathExtension(const std::string& name) {
  std::string component = name.substr(name.find_last_of('/') == std::string::npos
                                          ? 0
                                          : name.find_last_of('/') + 1);
  size_t dot = component.find_last_of('.');
  if (dot == std::string::npos || dot == 0) return "";
  return component.substr(dot + 1);
}

}  // namespace

void applyTypeFilter(NSSavePanel& panel, const std::vector<std::string>& extensions,
                     const std::string& fileType) {
  if (hasContentTypes()) {
    std::vector<UTType> types;
    if (auto set = contentTypeSets().find(fileType); set != contentTypeSets().end()) {
      types = set->second;
    } else {
      for (const auto& extension : extensions) {
        if (auto type = UTType::typeWithFilenameExtension(extension, UTType::data())) {
          types.push_back(*type);
        }
      }
    }
    if (!types.empty()) panel.setAllowedContentTypes(std::move(types));
    return;
  }
  if (!extensions.empty()) {
    panel.setAllowedFileTypes(extensions);
  } else if (auto list = legacyTypeLists().find(fileType); list != legacyTypeLists().end()) {
    panel.setAllowedFileTypes(list->second);
  }
}

void applyFileNameType(NSSavePanel& panel, const std::string& fileName) {
  std::string extension = pathExtension(fileName);
  if (extension.empty()) return;
  if (!hasContentTypes()) {
    panel.setAllowedFileTypes({extension});
    return;
  }
  if (auto type = UTType::typeWithFilenameExtension(extension, UTType::data())) {
    panel.setAllowedContentTypes({*type});
  }
}

}  // namespace file_dialog
