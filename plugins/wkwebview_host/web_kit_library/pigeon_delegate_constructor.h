// The constructor operation that the delegate-style APIs share (script-message handlers,
// navigation and UI delegates, plain observers): [identifier] → the new object, registered under
// the identifier that the Dart side chose; answers null.
#pragma once

#include <functional>
#include <memory>

#include "platform/foundation/ns_object.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_arguments.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_host_operation.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_registrar.h"

namespace wkwebview_host {

void constructDartObject(const PigeonArguments& arguments, const PigeonHostReply& reply,
                         WebKitLibraryPigeonProxyApiRegistrar& registrar,
                         const std::function<std::shared_ptr<NSObject>()>& make);

}  // namespace wkwebview_host
