#include "platform/webrtc/framework_registry.h"

#include <algorithm>

namespace webrtc_model {

FrameworkRegistry& frameworkRegistry() {
  static auto* const registry = new FrameworkRegistry();
  return *registry;
}

std::shared_ptr<RTCPeerConnection> endpointForUfrag(const std::string& ufrag) {
  auto& registry = frameworkRegistry();
  std::lock_guard lock(registry.mutex);
  auto found = registry.endpoints.find(ufrag);
  return found == registry.endpoints.end() ? nullptr : found->second.lock();
}

void registerEndpoint(const std::string& ufrag, const std::shared_ptr<RTCPeerConnection>& peer) {
  auto& registry = frameworkRegistry();
  std::lock_guard lock(registry.mutex);
  std::erase_if(registry.endpoints, [](const auto& entry) { return entry.second.expired(); });
  registry.endpoints[ufrag] = peer;
}

uint32_t allocatePort() {
  auto& registry = frameworkRegistry();
  std::lock_guard lock(registry.mutex);
  return registry.next_port++;
}

}  // namespace webrtc_model
