// The answer of a call that needs a screen when none is attached.
#pragma once

#include "platform/flutter/flutter_codec.h"

namespace flutter {

inline FlutterError noScreenError() {
  return FlutterError{"NO_SCREEN", "No screen is attached", Value()};
}

}  // namespace flutter
