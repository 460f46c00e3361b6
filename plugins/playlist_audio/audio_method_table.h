// The method tables of the plug-in and of its players: a call is looked up by name, its arguments
// are read as a map, and whatever raises while it is handled gets the generic error reply.
#pragma once

#include <exception>
#include <map>
#include <string>

#include "platform/flutter/flutter_method_channel.h"
#include "plugins/playlist_audio/audio_arguments.h"

namespace playlist_audio {

inline const FlutterError kGenericError{"error", "Error in handleMethodCall", nullptr};

template <typename Handler>
using MethodTable =
    std::map<std::string, void (Handler::*)(const AudioArguments&, const FlutterResult&),
             std::less<>>;

template <typename Handler>
void dispatchMethodCall(Handler& handler, const MethodTable<Handler>& methods,
                        const FlutterMethodCall& call, const FlutterResult& result) {
  auto found = methods.find(call.method);
  if (found == methods.end()) {
    result(FlutterMethodNotImplemented);
    return;
  }
  try {
    (handler.*found->second)(AudioArguments(call.arguments), result);
  } catch (const std::exception&) {
    result(kGenericError);
  }
}

}  // namespace playlist_audio
