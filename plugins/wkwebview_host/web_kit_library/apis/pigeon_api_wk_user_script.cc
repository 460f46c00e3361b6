#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_user_script.h"

#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_registrar.h"

namespace wkwebview_host {

// The fields are read in order, after the object has its identifier.
void PigeonApiWKUserScript::pigeon_newInstance(const std::shared_ptr<WKUserScript>& pigeonInstance,
                                               const PigeonCompletion& completion) {
  auto read_fields = [&] {
    auto& reader = *pigeon_delegate_;
    return flutter::listOf({flutter::Value(reader.source(*this, *pigeonInstance)),
                            enumerationValue(reader.injectionTime(*this, *pigeonInstance)),
                            flutter::Value(reader.isForMainFrameOnly(*this, *pigeonInstance))});
  };
  announce(pigeonInstance, read_fields, completion);
}

void PigeonApiWKUserScript::pigeonDefaultConstructor(const PigeonArguments& arguments,
                                                     const PigeonHostReply& reply) {
  int64_t identifier = arguments.identifier(0);
  auto script = pigeon_delegate_->pigeonDefaultConstructor(
      *this, arguments.string(1), arguments.enumeration<UserScriptInjectionTime>(2),
      arguments.boolean(3));
  pigeonRegistrar().instanceManager()->registerDartObject(script, identifier);
  reply.success();
}

}  // namespace wkwebview_host
