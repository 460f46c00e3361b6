#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_navigation_action.h"

#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"

namespace wkwebview_host {

// The fields are read in order, after the object has its identifier.
void PigeonApiWKNavigationAction::pigeon_newInstance(
    const std::shared_ptr<WKNavigationAction>& pigeonInstance, const PigeonCompletion& completion) {
  auto read_fields = [&] {
    auto& reader = *pigeon_delegate_;
    return flutter::listOf({objectValue(reader.request(*this, *pigeonInstance)),
                            objectValue(reader.targetFrame(*this, *pigeonInstance)),
                            enumerationValue(reader.navigationType(*this, *pigeonInstance))});
  };
  announce(pigeonInstance, read_fields, completion);
}

}  // namespace wkwebview_host
