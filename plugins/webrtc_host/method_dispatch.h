// Method tables: each set of methods maps a method name to one of its member functions.
#pragma once

#include <map>
#include <string>
#include <utility>

#include "platform/flutter/flutter.h"

namespace webrtc_host {

template <typename Owner>
using MethodTable = std::map<std::string, void (Owner::*)(const FlutterMethodCall&, FlutterResult)>;

// Hands the call to the owner's function for its method; false, with `result` untouched, when
// the table has none.
template <typename Owner>
bool dispatchMethodCall(Owner& owner, const MethodTable<Owner>& table,
                        const FlutterMethodCall& call, FlutterResult& result) {
  auto found = table.find(call.method);
  if (found == table.end()) return false;
  (owner.*(found->second))(call, std::move(result));
  return true;
}

}  // namespace webrtc_host
