// The cookies of a website data store.
#pragma once

#include "platform/webkit/ns_object.h"

class WKHTTPCookieStore : public foundation::NSObject {};
