#include "platform/webrtc/ns_bitmap_image_rep.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

namespace webrtc {
namespace {

struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void jpegFailed(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

}  // namespace

NSBitmapImageRep::NSBitmapImageRep(const CIImage& image, CGRect rect) {
  const int x = std::clamp(int(rect.origin.x), 0, image.width());
  const int y = std::clamp(int(rect.origin.y), 0, image.height());
  width_ = std::clamp(int(rect.size.width), 0, image.width() - x);
  height_ = std::clamp(int(rect.size.height), 0, image.height() - y);
  // A bitmap empty in one direction is empty in both: no rows of nothing to copy.
  if (width_ == 0 || height_ == 0) width_ = height_ = 0;
  size_ = CGSize{double(width_), double(height_)};
  bgra_.resize(size_t(width_) * height_ * 4);
  for (int row = 0; row < height_; ++row) {
    std::memcpy(bgra_.data() + size_t(row) * width_ * 4,
                image.bgra().data() + (size_t(y + row) * image.width() + x) * 4,
                size_t(width_) * 4);
  }
}

std::optional<std::vector<uint8_t>> NSBitmapImageRep::representationUsingType(
    NSBitmapImageFileType type, double compressionFactor) const {
  if (width_ == 0 || height_ == 0) return std::nullopt;
  if (type == NSBitmapImageFileTypePNG) return png();
  if (type == NSBitmapImageFileTypeJPEG) {
    const double factor = std::isnan(compressionFactor) ? 1.0 : compressionFactor;
    return jpeg(std::clamp(int(std::lround(factor * 100)), 1, 100));
  }
  return std::nullopt;
}

std::optional<std::vector<uint8_t>> NSBitmapImageRep::png() const {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(width_);
  image.height = png_uint_32(height_);
  image.format = PNG_FORMAT_BGRA;
  png_alloc_size_t size = 0;
  if (!png_image_write_get_memory_size(image, size, 0, bgra_.data(), 0, nullptr)) {
    png_image_free(&image);
    return std::nullopt;
  }
  std::vector<uint8_t> bytes(size);
  const bool written =
      png_image_write_to_memory(&image, bytes.data(), &size, 0, bgra_.data(), 0, nullptr);
  png_image_free(&image);
  if (!written) return std::nullopt;
  bytes.resize(size);
  return bytes;
}

std::optional<std::vector<uint8_t>> NSBitmapImageRep::jpeg(int quality) const {
  jpeg_compress_struct info;
  JpegErrors errors;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = jpegFailed;
  unsigned char* output = nullptr;
  unsigned long output_size = 0;
  std::vector<uint8_t> rgb(size_t(width_) * 3);
  if (setjmp(errors.jump)) {
    jpeg_destroy_compress(&info);
    std::free(output);
    return std::nullopt;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &output, &output_size);
  info.image_width = JDIMENSION(width_);
  info.image_height = JDIMENSION(height_);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    const uint8_t* source = bgra_.data() + size_t(info.next_scanline) * width_ * 4;
    for (int x = 0; x < width_; ++x) {
      rgb[x * 3] = source[x * 4 + 2];
      rgb[x * 3 + 1] = source[x * 4 + 1];
      rgb[x * 3 + 2] = source[x * 4];
    }
    JSAMPROW row = rgb.data();
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<uint8_t> bytes(output, output + output_size);
  std::free(output);
  return bytes;
}

}  // namespace webrtc
