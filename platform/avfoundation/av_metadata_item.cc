#include "platform/avfoundation/av_metadata_item.h"

std::optional<std::string> AVMetadataItem::stringValue() const {
  if (const auto* text = std::any_cast<std::string>(&value)) return *text;
  return std::nullopt;
}

std::vector<AVMetadataItem> AVMetadataItem::metadataItemsFromArray(
    const std::vector<AVMetadataItem>& items, const std::string& key, const std::string& keySpace) {
  std::vector<AVMetadataItem> matching;
  for (const auto& item : items) {
    if (item.key == key && item.keySpace == keySpace) matching.push_back(item);
  }
  return matching;
}
