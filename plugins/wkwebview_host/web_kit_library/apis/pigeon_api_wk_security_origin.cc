#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_security_origin.h"

#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"

namespace wkwebview_host {

// The fields are read in order, after the object has its identifier.
void PigeonApiWKSecurityOrigin::pigeon_newInstance(
    const std::shared_ptr<WKSecurityOrigin>& pigeonInstance, const PigeonCompletion& completion) {
  auto read_fields = [&] {
    auto& reader = *pigeon_delegate_;
    return flutter::listOf({flutter::Value(reader.host(*this, *pigeonInstance)),
                            flutter::Value(reader.port(*this, *pigeonInstance)),
                            flutter::Value(reader.protocol(*this, *pigeonInstance))});
  };
  announce(pigeonInstance, read_fields, completion);
}

}  // namespace wkwebview_host
