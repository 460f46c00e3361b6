// Keys and values of the video settings that outputs are asked for.
#pragma once

// A dictionary of the three keys below.
inline constexpr const char* AVVideoColorPropertiesKey = "AVVideoColorPropertiesKey";
inline constexpr const char* AVVideoColorPrimariesKey = "AVVideoColorPrimariesKey";
inline constexpr const char* AVVideoTransferFunctionKey = "AVVideoTransferFunctionKey";
inline constexpr const char* AVVideoYCbCrMatrixKey = "AVVideoYCbCrMatrixKey";
inline constexpr const char* AVVideoColorPrimaries_ITU_R_709_2 = "ITU_R_709_2";
inline constexpr const char* AVVideoTransferFunction_ITU_R_709_2 = "ITU_R_709_2";
inline constexpr const char* AVVideoYCbCrMatrix_ITU_R_709_2 = "ITU_R_709_2";
