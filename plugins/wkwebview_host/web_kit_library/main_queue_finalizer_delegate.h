// Carries the finalizers' reports of one generation of the instance manager to the real
// finalizer delegate, on the main queue.
//
// Finalizers run on whatever thread releases an object, possibly while the instance manager is
// busy; the report therefore never runs there: it is posted to the main queue, where calls to
// the Dart side belong. A generation ends when the manager is cleared: reports of objects
// registered before (including objects displaced from their identifier, which a clear never
// reaches) are dropped, even those already posted, since after a clear the Dart side may reuse
// their identifiers for new objects.
#pragma once

#include <atomic>
#include <memory>

#include "plugins/wkwebview_host/web_kit_library/pigeon_internal_finalizer.h"

namespace wkwebview_host {

class MainQueueFinalizerDelegate final
    : public WebKitLibraryPigeonInternalFinalizerDelegate,
      public std::enable_shared_from_this<MainQueueFinalizerDelegate> {
 public:
  explicit MainQueueFinalizerDelegate(
      std::shared_ptr<WebKitLibraryPigeonInternalFinalizerDelegate> target)
      : target_(std::move(target)) {}

  void onDeinit(int64_t identifier) override;
  // Ends this generation: nothing more reaches the target.
  void retire() { retired_.store(true); }

 private:
  std::shared_ptr<WebKitLibraryPigeonInternalFinalizerDelegate> target_;
  std::atomic<bool> retired_{false};
};

}  // namespace wkwebview_host
