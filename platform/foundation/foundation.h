// The Foundation stand-in: logging, bundles, process information, notifications, identifiers
// and property lists.
#pragma once

#include "platform/foundation/ns_bundle.h"
#include "platform/foundation/ns_log.h"
#include "platform/foundation/ns_notification_center.h"
#include "platform/foundation/ns_process_info.h"
#include "platform/foundation/ns_uuid.h"
#include "platform/foundation/property_list.h"
