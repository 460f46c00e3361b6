// What a page asked of a window it wants opened (size, toolbars). Nothing of it is modelled.
#pragma once

#include "platform/foundation/ns_object.h"

class WKWindowFeatures : public NSObject {};
