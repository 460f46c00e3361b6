#include "platform/screencapturekit/sc_shareable_content.h"

#include <utility>

#include "platform/screencapturekit/capture_model.h"

namespace screencapturekit {

CaptureModel& captureModel() {
  static auto* const model = [] {
    auto* created = new CaptureModel();
    created->displays = defaultDisplays();
    return created;
  }();
  return *model;
}

std::vector<SCDisplay> defaultDisplays() {
  return {SCDisplay{1, 1920, 1080, CGRectMake(0, 0, 1920, 1080)}};
}

}  // namespace screencapturekit

void SCShareableContent::getShareableContentWithCompletionHandler(
    CompletionHandler completionHandler) {
  auto& model = screencapturekit::captureModel();
  std::unique_lock lock(model.mutex);
  if (model.hold_content_requests) {
    model.held_content_requests.push_back(std::move(completionHandler));
    return;
  }
  std::optional<NSError> failure = std::exchange(model.content_failure, std::nullopt);
  auto content = std::make_shared<SCShareableContent>(model.displays, model.windows);
  dispatch_queue_t queue = model.queue;
  lock.unlock();
  dispatch_async(queue, [handler = std::move(completionHandler), content, failure] {
    if (failure) {
      handler(nullptr, failure);
    } else {
      handler(content, std::nullopt);
    }
  });
}
