#include "plugins/wkwebview_host/web_kit_library/main_queue_finalizer_delegate.h"

#include "platform/dispatch/dispatch.h"

namespace wkwebview_host {

void MainQueueFinalizerDelegate::onDeinit(int64_t identifier) {
  if (retired_.load()) return;
  std::weak_ptr<MainQueueFinalizerDelegate> weak = weak_from_this();
  dispatch_async(dispatch_get_main_queue(), [weak, identifier] {
    auto self = weak.lock();
    if (self && !self->retired_.load()) self->target_->onDeinit(identifier);
  });
}

}  // namespace wkwebview_host
