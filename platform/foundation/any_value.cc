#include "platform/foundation/any_value.h"

const AnyValue* findValue(const AnyValue::Dictionary& dictionary, const std::string& key) {
  for (const auto& [entry_key, value] : dictionary) {
    if (entry_key == key) return &value;
  }
  return nullptr;
}

