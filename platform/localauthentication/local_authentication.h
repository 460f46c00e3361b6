// LocalAuthentication as the keychain uses it: authentication contexts and their policies.
#pragma once

#include "platform/localauthentication/la_context.h"
#include "platform/localauthentication/la_error.h"
#include "platform/localauthentication/la_policy.h"
