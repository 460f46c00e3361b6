// The media types tracks are asked for by. Apart from the AVMediaType name itself, which FFmpeg's
// headers declare too, so that code beside FFmpeg can name the types.
#pragma once

#include <string>

inline const std::string AVMediaTypeVideo = "vide";
inline const std::string AVMediaTypeAudio = "soun";
