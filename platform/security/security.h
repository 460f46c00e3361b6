// Security as the plug-ins use it: keychain items, access control, keys, trust and messages.
#pragma once

#include "platform/security/cf_error.h"
#include "platform/security/cf_value.h"
#include "platform/security/keychain_transaction.h"
#include "platform/security/sec_access_control.h"
#include "platform/security/sec_base.h"
#include "platform/security/sec_error_message.h"
#include "platform/security/sec_item.h"
#include "platform/security/sec_item_constants.h"
#include "platform/security/sec_key.h"
#include "platform/security/sec_policy.h"
#include "platform/security/sec_trust.h"
