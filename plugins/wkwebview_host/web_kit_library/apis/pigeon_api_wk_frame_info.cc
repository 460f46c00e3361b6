#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_frame_info.h"

#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"

namespace wkwebview_host {

// The fields are read in order, after the object has its identifier.
void PigeonApiWKFrameInfo::pigeon_newInstance(const std::shared_ptr<WKFrameInfo>& pigeonInstance,
                                              const PigeonCompletion& completion) {
  auto read_fields = [&] {
    auto& reader = *pigeon_delegate_;
    return flutter::listOf({flutter::Value(reader.isMainFrame(*this, *pigeonInstance)),
                            objectValue(reader.request(*this, *pigeonInstance))});
  };
  announce(pigeonInstance, read_fields, completion);
}

}  // namespace wkwebview_host
