#include "plugins/wkwebview_host/web_kit_library/pigeon_instance_manager.h"

#include <algorithm>
#include <unordered_map>
#include <utility>
#include <vector>

#include "plugins/wkwebview_host/web_kit_library/main_queue_finalizer_delegate.h"

namespace wkwebview_host {

// The maps and the counter; touched only under the manager's mutex.
struct WebKitLibraryPigeonInstanceManager::Tables {
  struct IdentifierEntry {
    std::weak_ptr<NSObject> object;
    int64_t identifier;
  };

  explicit Tables(std::shared_ptr<WebKitLibraryPigeonInternalFinalizerDelegate> delegate)
      : finalizer_delegate(std::move(delegate)),
        reporter(std::make_shared<MainQueueFinalizerDelegate>(finalizer_delegate)) {}

  // Objects, finalizers and maps let go of during map work, released when the work is done.
  using Released = std::vector<std::shared_ptr<void>>;

  void insertObject(const std::shared_ptr<NSObject>& object, int64_t identifier,
                    Released& released) {
    identifiers[object->serial()] = IdentifierEntry{object, identifier};
    weak_instances[identifier] = object;
    auto& strong = strong_instances[identifier];
    released.push_back(std::exchange(strong, object));
    auto finalizer = makeObject<WebKitLibraryPigeonInternalFinalizer>(
        identifier, std::weak_ptr<WebKitLibraryPigeonInternalFinalizerDelegate>(reporter));
    released.push_back(object->setAssociatedObject(
        WebKitLibraryPigeonInternalFinalizer::finalizerKey(), std::move(finalizer)));
    sweepIfDue();
  }

  // Entries of objects that have gone are dead weight; they are swept once the maps have grown
  // to twice what was alive at the last sweep.
  void sweepIfDue() {
    if (identifiers.size() + weak_instances.size() < sweep_threshold) return;
    std::erase_if(identifiers, [](const auto& entry) { return entry.second.object.expired(); });
    std::erase_if(weak_instances, [](const auto& entry) { return entry.second.expired(); });
    sweep_threshold =
        std::max<size_t>(kMinimumSweepThreshold, 2 * (identifiers.size() + weak_instances.size()));
  }

  void clear(Released& released) {
    reporter->retire();
    for (const auto& [identifier, weak] : weak_instances) {
      auto object = weak.lock();
      if (!object) continue;
      auto key = WebKitLibraryPigeonInternalFinalizer::finalizerKey();
      auto finalizer = std::dynamic_pointer_cast<WebKitLibraryPigeonInternalFinalizer>(
          object->associatedObject(key));
      if (!finalizer) continue;
      finalizer->detach();
      released.push_back(object->setAssociatedObject(key, nullptr));
      released.push_back(std::move(object));
    }
    released.push_back(std::make_shared<decltype(identifiers)>(std::move(identifiers)));
    released.push_back(std::make_shared<decltype(weak_instances)>(std::move(weak_instances)));
    released.push_back(std::make_shared<decltype(strong_instances)>(std::move(strong_instances)));
    identifiers.clear();
    weak_instances.clear();
    strong_instances.clear();
    next_identifier = kFirstHostIdentifier;
    reporter = std::make_shared<MainQueueFinalizerDelegate>(finalizer_delegate);
    sweep_threshold = kMinimumSweepThreshold;
  }

  static constexpr size_t kMinimumSweepThreshold = 256;

  std::shared_ptr<WebKitLibraryPigeonInternalFinalizerDelegate> finalizer_delegate;
  // The finalizers' delegate for the current generation (see MainQueueFinalizerDelegate).
  std::shared_ptr<MainQueueFinalizerDelegate> reporter;
  std::unordered_map<uint64_t, IdentifierEntry> identifiers;  // by object serial
  std::unordered_map<int64_t, std::weak_ptr<NSObject>> weak_instances;
  std::unordered_map<int64_t, std::shared_ptr<NSObject>> strong_instances;
  int64_t next_identifier = kFirstHostIdentifier;
  size_t sweep_threshold = kMinimumSweepThreshold;
};

WebKitLibraryPigeonInstanceManager::WebKitLibraryPigeonInstanceManager(
    std::shared_ptr<WebKitLibraryPigeonInternalFinalizerDelegate> finalizerDelegate)
    : tables_(std::make_unique<Tables>(std::move(finalizerDelegate))) {}

WebKitLibraryPigeonInstanceManager::~WebKitLibraryPigeonInstanceManager() {
  // The reporter goes quiet with the manager; finalizers that outlive it report nothing.
  std::lock_guard lock(mutex_);
  tables_->reporter->retire();
}

int64_t WebKitLibraryPigeonInstanceManager::registerHostObject(
    const std::shared_ptr<NSObject>& object) {
  Tables::Released released;
  std::lock_guard lock(mutex_);
  int64_t identifier = tables_->next_identifier++;
  tables_->insertObject(object, identifier, released);
  return identifier;
}

void WebKitLibraryPigeonInstanceManager::registerDartObject(const std::shared_ptr<NSObject>& object,
                                                            int64_t identifier) {
  if (!object) return;
  Tables::Released released;
  std::lock_guard lock(mutex_);
  tables_->insertObject(object, identifier, released);
}

std::shared_ptr<NSObject> WebKitLibraryPigeonInstanceManager::dropStrongReference(
    int64_t identifier) {
  std::lock_guard lock(mutex_);
  auto found = tables_->strong_instances.find(identifier);
  if (found == tables_->strong_instances.end()) return nullptr;
  std::shared_ptr<NSObject> dropped = std::move(found->second);
  tables_->strong_instances.erase(found);
  return dropped;
}

std::shared_ptr<NSObject> WebKitLibraryPigeonInstanceManager::lookupObject(
    int64_t identifier) const {
  std::lock_guard lock(mutex_);
  auto found = tables_->weak_instances.find(identifier);
  return found != tables_->weak_instances.end() ? found->second.lock() : nullptr;
}

std::optional<int64_t> WebKitLibraryPigeonInstanceManager::identifierOf(
    const std::shared_ptr<NSObject>& object) {
  if (!object) return std::nullopt;
  std::shared_ptr<NSObject> displaced;
  std::lock_guard lock(mutex_);
  auto found = tables_->identifiers.find(object->serial());
  if (found == tables_->identifiers.end()) return std::nullopt;
  int64_t identifier = found->second.identifier;
  displaced = std::exchange(tables_->strong_instances[identifier], object);
  return identifier;
}

bool WebKitLibraryPigeonInstanceManager::isRegistered(const NSObject& object) const {
  std::lock_guard lock(mutex_);
  return tables_->identifiers.count(object.serial()) != 0;
}

void WebKitLibraryPigeonInstanceManager::clearAll() {
  Tables::Released released;
  std::lock_guard lock(mutex_);
  tables_->clear(released);
}

}  // namespace wkwebview_host
