#include "plugins/wkwebview_host/web_kit_library/pigeon_delegate_constructor.h"

namespace wkwebview_host {

void constructDartObject(const PigeonArguments& arguments, const PigeonHostReply& reply,
                         WebKitLibraryPigeonProxyApiRegistrar& registrar,
                         const std::function<std::shared_ptr<NSObject>()>& make) {
  int64_t identifier = arguments.identifier(0);
  registrar.instanceManager()->registerDartObject(make(), identifier);
  reply.success();
}

}  // namespace wkwebview_host
