// The Foundation stand-in: logging, bundles, process information, notifications, identifiers,
// property lists, files and directories, dates, URLs, user defaults and key-value observing.
#pragma once

#include "platform/foundation/ns_bundle.h"
#include "platform/foundation/ns_character_set.h"
#include "platform/foundation/ns_date.h"
#include "platform/foundation/ns_date_formatter.h"
#include "platform/foundation/ns_error.h"
#include "platform/foundation/ns_file_manager.h"
#include "platform/foundation/ns_host.h"
#include "platform/foundation/ns_key_value_observing.h"
#include "platform/foundation/ns_log.h"
#include "platform/foundation/ns_notification_center.h"
#include "platform/foundation/ns_path_utilities.h"
#include "platform/foundation/ns_process_info.h"
#include "platform/foundation/ns_url.h"
#include "platform/foundation/ns_user_defaults.h"
#include "platform/foundation/ns_uuid.h"
#include "platform/foundation/property_list.h"
