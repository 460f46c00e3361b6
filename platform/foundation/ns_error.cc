#include "platform/foundation/ns_error.h"

std::string NSError::description() const {
  return "Error Domain=" + domain + " Code=" + std::to_string(code) + " \"" +
         localizedDescription + "\"";
}
