#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_authentication_challenge_response.h"

#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"

namespace wkwebview_host {

// The fields are read in order, after the object has its identifier.
void PigeonApiAuthenticationChallengeResponse::pigeon_newInstance(
    const std::shared_ptr<AuthenticationChallengeResponse>& pigeonInstance,
    const PigeonCompletion& completion) {
  auto read_fields = [&] {
    auto& reader = *pigeon_delegate_;
    return flutter::ValueList{enumerationValue(reader.disposition(*this, *pigeonInstance)),
                              objectValue(reader.credential(*this, *pigeonInstance))};
  };
  announce(pigeonInstance, read_fields, completion);
}

}  // namespace wkwebview_host
