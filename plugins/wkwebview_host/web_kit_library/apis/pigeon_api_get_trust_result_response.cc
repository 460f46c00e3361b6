#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_get_trust_result_response.h"

#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"

namespace wkwebview_host {

// The fields are read in order, after the object has its identifier.
void PigeonApiGetTrustResultResponse::pigeon_newInstance(
    const std::shared_ptr<GetTrustResultResponse>& pigeonInstance,
    const PigeonCompletion& completion) {
  auto read_fields = [&] {
    auto& reader = *pigeon_delegate_;
    return flutter::listOf({enumerationValue(reader.result(*this, *pigeonInstance)),
                            flutter::Value(reader.resultCode(*this, *pigeonInstance))});
  };
  announce(pigeonInstance, read_fields, completion);
}

}  // namespace wkwebview_host
