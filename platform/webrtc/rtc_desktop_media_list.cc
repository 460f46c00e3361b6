#include "platform/webrtc/rtc_desktop_media_list.h"

#include <algorithm>
#include <functional>

#include "platform/webrtc/desktop_model.h"

RTCDesktopMediaList::RTCDesktopMediaList(RTCDesktopSourceType type,
                                         std::weak_ptr<RTCDesktopMediaListDelegate> delegate)
    : type_(type), delegate_(std::move(delegate)) {}

std::vector<std::shared_ptr<RTCDesktopSource>> RTCDesktopMediaList::getSources() const {
  std::lock_guard lock(mutex_);
  return sources_;
}

int32_t RTCDesktopMediaList::UpdateSourceList(bool forceReload, bool updateAllThumbnails) {
  std::vector<webrtc_model::DesktopEntry> entries;
  {
    auto& model = webrtc_model::desktopModel();
    std::lock_guard lock(model.mutex);
    for (const auto& entry : model.entries) {
      if (entry.type == type_) entries.push_back(entry);
    }
    if (!registered_) {
      std::erase_if(model.lists, [](const auto& list) { return list.expired(); });
      model.lists.push_back(weak_from_this());
      registered_ = true;
    }
  }
  using Source = std::shared_ptr<RTCDesktopSource>;
  std::vector<std::function<void(RTCDesktopMediaListDelegate&)>> changes;
  int32_t count;
  {
    std::lock_guard lock(mutex_);
    const bool silent = forceReload || !loaded_;
    loaded_ = true;
    std::vector<Source> updated;
    for (const auto& entry : entries) {
      auto found = std::find_if(sources_.begin(), sources_.end(), [&](const Source& source) {
        return source->sourceId() == entry.id;
      });
      if (silent || found == sources_.end()) {
        auto source = std::make_shared<RTCDesktopSource>(entry.id, entry.name, type_, entry.image);
        if (!silent)
          changes.push_back([source](auto& delegate) { delegate.didAddDesktopSource(source); });
        updated.push_back(std::move(source));
        continue;
      }
      Source source = *found;
      if (source->name() != entry.name) {
        source->setName(entry.name);
        changes.push_back(
            [source](auto& delegate) { delegate.didChangeDesktopSourceName(source); });
      }
      if (updateAllThumbnails && source->thumbnail() != entry.image) {
        source->setThumbnail(entry.image);
        changes.push_back(
            [source](auto& delegate) { delegate.didChangeDesktopSourceThumbnail(source); });
      }
      updated.push_back(source);
    }
    if (!silent) {
      for (const auto& source : sources_) {
        if (std::find(updated.begin(), updated.end(), source) == updated.end()) {
          changes.push_back([source](auto& delegate) { delegate.didRemoveDesktopSource(source); });
        }
      }
    }
    sources_ = std::move(updated);
    count = static_cast<int32_t>(sources_.size());
  }
  if (auto delegate = delegate_.lock()) {
    for (const auto& change : changes) change(*delegate);
  }
  return count;
}
