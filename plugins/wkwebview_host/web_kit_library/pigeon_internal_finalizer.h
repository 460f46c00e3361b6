// The finalizer attached to every object of the instance manager: it lives exactly as long as
// its object and, when it goes, tells its delegate which identifier has gone.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/foundation/ns_object.h"

namespace wkwebview_host {

class WebKitLibraryPigeonInternalFinalizerDelegate {
 public:
  virtual ~WebKitLibraryPigeonInternalFinalizerDelegate() = default;
  // Runs on the thread that released the object's last reference.
  virtual void onDeinit(int64_t identifier) = 0;
};

class WebKitLibraryPigeonInternalFinalizer final : public NSObject {
 public:
  WebKitLibraryPigeonInternalFinalizer(
      int64_t identifier, std::weak_ptr<WebKitLibraryPigeonInternalFinalizerDelegate> delegate)
      : identifier_(identifier), delegate_(std::move(delegate)) {}
  ~WebKitLibraryPigeonInternalFinalizer() override;

  int64_t identifier() const { return identifier_; }
  // From now on the finalizer reports nothing.
  void detach();

  // The key under which objects carry their finalizer.
  static const void* finalizerKey();

 private:
  const int64_t identifier_;
  std::mutex mutex_;
  std::weak_ptr<WebKitLibraryPigeonInternalFinalizerDelegate> delegate_;
};

}  // namespace wkwebview_host
