#include "plugins/wkwebview_host/web_kit_library/pigeon_internal_finalizer.h"

namespace wkwebview_host {

WebKitLibraryPigeonInternalFinalizer::~WebKitLibraryPigeonInternalFinalizer() {
  std::shared_ptr<WebKitLibraryPigeonInternalFinalizerDelegate> delegate;
  {
    std::lock_guard lock(mutex_);
    delegate = delegate_.lock();
  }
  if (delegate) delegate->onDeinit(identifier_);
}

void WebKitLibraryPigeonInternalFinalizer::detach() {
  std::lock_guard lock(mutex_);
  delegate_.reset();
}

const void* WebKitLibraryPigeonInternalFinalizer::finalizerKey() {
  static const char key = 0;
  return &key;
}

}  // namespace wkwebview_host
