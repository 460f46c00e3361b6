#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url_protection_space.h"

#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"

namespace wkwebview_host {

// The fields are read in order, after the object has its identifier.
void PigeonApiURLProtectionSpace::pigeon_newInstance(
    const std::shared_ptr<NSURLProtectionSpace>& pigeonInstance,
    const PigeonCompletion& completion) {
  auto read_fields = [&] {
    auto& reader = *pigeon_delegate_;
    return flutter::listOf({flutter::Value(reader.host(*this, *pigeonInstance)),
                            flutter::Value(reader.port(*this, *pigeonInstance)),
                            valueOrNull(reader.realm(*this, *pigeonInstance)),
                            flutter::Value(reader.authenticationMethod(*this, *pigeonInstance))});
  };
  announce(pigeonInstance, read_fields, completion);
}

}  // namespace wkwebview_host
