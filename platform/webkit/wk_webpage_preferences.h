// Preferences that apply to one navigation's page.
#pragma once

#include "platform/webkit/ns_object.h"

class WKWebpagePreferences : public foundation::NSObject {};
