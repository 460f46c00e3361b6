// Page preferences shared by the web views of a configuration.
#pragma once

#include "platform/webkit/ns_object.h"

class WKPreferences : public foundation::NSObject {};
