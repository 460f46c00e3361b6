#include "platform/coregraphics/cf_data.h"

#include <new>

CFDataRef CFDataCreate(const uint8_t* bytes, CFIndex length) {
  if (length < 0 || (bytes == nullptr && length > 0)) return nullptr;
  try {
    return std::make_shared<const CFData>(std::vector<uint8_t>(bytes, bytes + length));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

CFIndex CFDataGetLength(const CFDataRef& data) {
  return data ? static_cast<CFIndex>(data->bytes().size()) : 0;
}

const uint8_t* CFDataGetBytePtr(const CFDataRef& data) {
  return data ? data->bytes().data() : nullptr;
}
