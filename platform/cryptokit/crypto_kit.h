// CryptoKit as the plug-ins use it: symmetric keys and AES-GCM.
#pragma once

#include "platform/cryptokit/aes_gcm.h"
#include "platform/cryptokit/crypto_kit_error.h"
#include "platform/cryptokit/symmetric_key.h"
