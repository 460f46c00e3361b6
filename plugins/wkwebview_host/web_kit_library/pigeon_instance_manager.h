// The registry of the objects that the Dart side can name: 64-bit identifiers to native objects
// and back.
//
// Objects the host hands over get identifiers from 65536 up; objects the Dart side creates come
// with identifiers it chose. Each object is held strongly until the Dart side removes its strong
// reference, and weakly after that; a finalizer attached to the object reports its identifier
// when the object is finally gone. Objects are compared by identity (their serial), never by
// address or value.
//
// Every map operation runs under one mutex, for a few map lookups at most, so that no caller
// (the main thread above all) ever waits for a thread of the shared pool. A registration is seen
// by any later operation from any thread. Objects that an operation lets go of (and so their
// finalizers) are released after the mutex is let go.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/foundation/ns_object.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_internal_finalizer.h"

namespace wkwebview_host {

class WebKitLibraryPigeonInstanceManager {
 public:
  static constexpr int64_t kFirstHostIdentifier = 65536;

  explicit WebKitLibraryPigeonInstanceManager(
      std::shared_ptr<WebKitLibraryPigeonInternalFinalizerDelegate> finalizerDelegate);
  ~WebKitLibraryPigeonInstanceManager();
  WebKitLibraryPigeonInstanceManager(const WebKitLibraryPigeonInstanceManager&) = delete;
  WebKitLibraryPigeonInstanceManager& operator=(const WebKitLibraryPigeonInstanceManager&) = delete;

  // Registers an object the host created and answers its new identifier. The caller checks
  // isRegistered first. `object` must not be null.
  int64_t registerHostObject(const std::shared_ptr<NSObject>& object);
  // Registers an object under the identifier the Dart side chose. A null object is ignored.
  void registerDartObject(const std::shared_ptr<NSObject>& object, int64_t identifier);
  // Drops the strong reference and hands the object back, so that its last release happens in
  // the caller.
  std::shared_ptr<NSObject> dropStrongReference(int64_t identifier);
  // The object, while it is alive, whether or not its strong reference was dropped.
  std::shared_ptr<NSObject> lookupObject(int64_t identifier) const;
  // The object's identifier; holds the object strongly again when found.
  std::optional<int64_t> identifierOf(const std::shared_ptr<NSObject>& object);
  bool isRegistered(const NSObject& object) const;
  // Forgets every object without reporting any of them, now or later; host identifiers start
  // at 65536 again.
  void clearAll();

 private:
  struct Tables;

  mutable std::mutex mutex_;
  std::unique_ptr<Tables> tables_;
};

}  // namespace wkwebview_host
