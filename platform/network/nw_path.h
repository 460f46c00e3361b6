// A network path: whether the machine can reach the network now, and over which kinds of
// interface.
#pragma once

#include <vector>

enum class NWInterfaceType { other, wifi, cellular, wiredEthernet, loopback };

class NWPath {
 public:
  enum class Status { satisfied, unsatisfied, requiresConnection };

  NWPath() = default;
  NWPath(Status status, std::vector<NWInterfaceType> interfaceTypes, bool ultraConstrained = false)
      : status_(status),
        interface_types_(std::move(interfaceTypes)),
        ultra_constrained_(ultraConstrained) {}

  Status status() const { return status_; }
  bool usesInterfaceType(NWInterfaceType type) const;
  // A path over a link of very low capacity, such as a satellite link.
  bool isUltraConstrained() const { return ultra_constrained_; }

  friend bool operator==(const NWPath&, const NWPath&) = default;

 private:
  Status status_ = Status::unsatisfied;
  std::vector<NWInterfaceType> interface_types_;
  bool ultra_constrained_ = false;
};
