// Script values as a content process writes them (content_protocol.h), read back into Foundation
// values. The process is untrusted: depth and the number of values are bounded, and anything
// malformed fails the read.
#pragma once

#include <optional>

#include "platform/foundation/any_value.h"
#include "platform/webkit/content_process/content_protocol.h"

namespace webkit::content {

// Undefined is nil, null the null object; integers and doubles stay apart.
std::optional<AnyValue> readScriptValue(ProtocolReader& in);

}  // namespace webkit::content
