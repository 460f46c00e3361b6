// A navigation that a web view started: the token that its navigation delegate's callbacks name.
#pragma once

#include "platform/foundation/ns_object.h"

class WKNavigation : public NSObject {};
