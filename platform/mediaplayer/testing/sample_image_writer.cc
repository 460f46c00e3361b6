#include "platform/mediaplayer/testing/sample_image_writer.h"

#include <jpeglib.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace mediaplayer::testing {
namespace {

bool writePng(const std::string& path, int width, int height) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_GRAY;
  std::vector<png_byte> pixels(static_cast<size_t>(width) * static_cast<size_t>(height), 0x80);
  return png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr) != 0;
}

struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf escape;
};

[[noreturn]] void escapeOnJpegError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->escape, 1);
}

// Plain C state only between setjmp and the jump back.
bool compressGreyJpeg(FILE* file, int width, int height, const JSAMPLE* row) {
  jpeg_compress_struct info;
  JpegErrors errors;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = escapeOnJpegError;
  if (setjmp(errors.escape) != 0) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 1;
  info.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&info);
  jpeg_start_compress(&info, TRUE);
  JSAMPROW rows[1] = {const_cast<JSAMPLE*>(row)};
  while (info.next_scanline < info.image_height) jpeg_write_scanlines(&info, rows, 1);
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

bool writeJpeg(const std::string& path, int width, int height) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::vector<JSAMPLE> row(static_cast<size_t>(width), 0x80);
  bool written = compressGreyJpeg(file, width, height, row.data());
  return std::fclose(file) == 0 && written;
}

}  // namespace

bool writeSampleImage(const std::string& path, NSImage::Format format, int width, int height) {
  if (width <= 0 || height <= 0) return false;
  return format == NSImage::Format::png ? writePng(path, width, height)
                                        : writeJpeg(path, width, height);
}

}  // namespace mediaplayer::testing
