#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_ns_error.h"

#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"

namespace wkwebview_host {

// The fields are read in order, after the object has its identifier.
void PigeonApiNSError::pigeon_newInstance(
    const std::shared_ptr<NSError>& pigeonInstance,
    const PigeonCompletion& completion) {
  auto read_fields = [&] {
    auto& reader = *pigeon_delegate_;
    return flutter::listOf({flutter::Value(reader.code(*this, *pigeonInstance)),
                            flutter::Value(reader.domain(*this, *pigeonInstance)),
                            flutter::Value(reader.userInfo(*this, *pigeonInstance))});
  };
  announce(pigeonInstance, read_fields, completion);
}

}  // namespace wkwebview_host
