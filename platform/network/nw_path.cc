#include "platform/network/nw_path.h"

#include <algorithm>

bool NWPath::usesInterfaceType(NWInterfaceType type) const {
  return std::find(interface_types_.begin(), interface_types_.end(), type) !=
         interface_types_.end();
}
