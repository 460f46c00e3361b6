#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_http_url_response.h"

#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"

namespace wkwebview_host {

// The fields are read in order, after the object has its identifier.
void PigeonApiHTTPURLResponse::pigeon_newInstance(
    const std::shared_ptr<NSHTTPURLResponse>& pigeonInstance,
    const PigeonCompletion& completion) {
  auto read_fields = [&] {
    auto& reader = *pigeon_delegate_;
    return flutter::listOf({flutter::Value(reader.statusCode(*this, *pigeonInstance))});
  };
  announce(pigeonInstance, read_fields, completion);
}

}  // namespace wkwebview_host
