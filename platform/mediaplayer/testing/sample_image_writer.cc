#include "platform/mediaplayer/testing/sample_image_writer.h"

#include <jpeglib.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
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

namespace mediaplayer::testing {
namespace {

[[noreturn]] void escapeOnWriteError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// Plain C state only between setjmp and the jump back.
bool writeGreyPngWithTexts(FILE* file, int width, int height, png_text* texts, int count,
                           const png_byte* row) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, escapeOnWriteError, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_text(png, info, texts, count);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) png_write_row(png, const_cast<png_byte*>(row));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

}  // namespace

bool writeTextLadenPng(const std::string& path, int width, int height, int texts, int textBytes) {
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  // Text that compresses poorly, so that the file holds about what it inflates to.
  std::vector<std::string> bodies(static_cast<size_t>(texts));
  uint32_t state = 12345;
  for (auto& body : bodies) {
    body.resize(static_cast<size_t>(textBytes));
    for (char& c : body) {
      state = state * 1103515245u + 12345u;
      c = static_cast<char>('!' + (state >> 16) % 90);
    }
  }
  std::vector<png_text> chunks(bodies.size());
  for (size_t i = 0; i < bodies.size(); ++i) {
    chunks[i] = png_text{};
    chunks[i].compression = PNG_TEXT_COMPRESSION_zTXt;
    chunks[i].key = const_cast<char*>("Comment");
    chunks[i].text = bodies[i].data();
    chunks[i].text_length = bodies[i].size();
  }
  std::vector<png_byte> row(static_cast<size_t>(width), 0x80);
  return writeGreyPngWithTexts(file.get(), width, height, chunks.data(),
                               static_cast<int>(chunks.size()), row.data());
}

}  // namespace mediaplayer::testing
