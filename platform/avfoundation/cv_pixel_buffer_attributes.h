// Keys of the pixel buffer attributes that outputs are asked for.
#pragma once

// OSType: the pixel format of the buffers.
inline constexpr const char* kCVPixelBufferPixelFormatTypeKey = "PixelFormatType";
// A dictionary (empty for the defaults): the buffers are backed by shareable surfaces.
inline constexpr const char* kCVPixelBufferIOSurfacePropertiesKey = "IOSurfaceProperties";
