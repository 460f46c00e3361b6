// Media types and characteristics that tracks and selection groups are asked for by.
#pragma once

#include <cstdint>
#include <string>

#include "platform/avfoundation/av_media_types.h"

using AVMediaType = std::string;

using AVMediaCharacteristic = const char*;
inline constexpr AVMediaCharacteristic AVMediaCharacteristicAudible = "public.audible";
inline constexpr AVMediaCharacteristic AVMediaCharacteristicLegible = "public.legible";
inline constexpr AVMediaCharacteristic AVMediaCharacteristicVisual = "public.visual";

using CMPersistentTrackID = int32_t;
