#include "platform/iokit/internal/power_assertion_table.h"

namespace iokit::internal {

PowerAssertionTable& powerAssertionTable() {
  static auto* const table = new PowerAssertionTable();
  return *table;
}

}  // namespace iokit::internal
