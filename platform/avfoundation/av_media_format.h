// Media types and characteristics that tracks and selection groups are asked for by.
#pragma once

#include <cstdint>
#include <string>

using AVMediaType = std::string;
inline const AVMediaType AVMediaTypeVideo = "vide";
inline const AVMediaType AVMediaTypeAudio = "soun";

using AVMediaCharacteristic = const char*;
inline constexpr AVMediaCharacteristic AVMediaCharacteristicAudible = "public.audible";
inline constexpr AVMediaCharacteristic AVMediaCharacteristicLegible = "public.legible";
inline constexpr AVMediaCharacteristic AVMediaCharacteristicVisual = "public.visual";

using CMPersistentTrackID = int32_t;
