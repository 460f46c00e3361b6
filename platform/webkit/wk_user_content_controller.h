// The user scripts and script-message handlers of the web views of a configuration.
#pragma once

#include "platform/webkit/ns_object.h"

class WKUserContentController : public foundation::NSObject {};
