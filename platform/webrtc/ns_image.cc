#include "platform/webrtc/ns_image.h"

#include <libyuv/scale_argb.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace webrtc {
namespace {

constexpr double kMaxDimension = 16384;

thread_local NSImage* focused_image = nullptr;

size_t pixelsFor(double points) {
  if (!std::isfinite(points) || points <= 0) return 0;
  return static_cast<size_t>(std::ceil(std::min(points, kMaxDimension)));
}

// An in-memory file for libtiff.
struct MemoryFile {
  std::vector<uint8_t> bytes;
  toff_t position = 0;
};

tsize_t readMemory(thandle_t, tdata_t, tsize_t) { return 0; }

tsize_t writeMemory(thandle_t handle, tdata_t data, tsize_t size) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (file->position + static_cast<toff_t>(size) > file->bytes.size()) {
    file->bytes.resize(file->position + size);
  }
  std::memcpy(file->bytes.data() + file->position, data, size);
  file->position += size;
  return size;
}

toff_t seekMemory(thandle_t handle, toff_t offset, int whence) {
  auto* file = static_cast<MemoryFile*>(handle);
  switch (whence) {
    case SEEK_SET:
      file->position = offset;
      break;
    case SEEK_CUR:
      file->position += offset;
      break;
    case SEEK_END:
      file->position = file->bytes.size() + offset;
      break;
    default:
      return static_cast<toff_t>(-1);
  }
  if (file->position > file->bytes.size()) file->bytes.resize(file->position);
  return file->position;
}

int closeMemory(thandle_t) { return 0; }
toff_t sizeMemory(thandle_t handle) { return static_cast<MemoryFile*>(handle)->bytes.size(); }
int mapMemory(thandle_t, tdata_t*, toff_t*) { return 0; }
void unmapMemory(thandle_t, tdata_t, toff_t) {}

}  // namespace

NSImage::NSImage(NSSize size)
    : size_(size),
      width_(pixelsFor(size.width)),
      height_(pixelsFor(size.height)),
      pixels_(width_ * height_ * 4, 0) {}

void NSImage::lockFocus() {
  previous_focus_ = focused_image;
  focused_image = this;
}

void NSImage::unlockFocus() {
  if (focused_image == this) focused_image = previous_focus_;
  previous_focus_ = nullptr;
}

void NSImage::drawInRect(NSRect rect, NSRect fromRect, NSCompositingOperation operation,
                         double fraction) const {
  NSImage* target = focused_image;
  if (target == nullptr || target == this || width_ == 0 || height_ == 0) return;
  if (fromRect.size.width <= 0 || fromRect.size.height <= 0) {
    fromRect = NSMakeRect(0, 0, static_cast<double>(width_), static_cast<double>(height_));
  }
  // The source region, in pixel rows from the top.
  const double from_x = std::clamp(fromRect.origin.x, 0.0, static_cast<double>(width_));
  const double from_top =
      std::clamp(static_cast<double>(height_) - fromRect.origin.y - fromRect.size.height, 0.0,
                 static_cast<double>(height_));
  const size_t source_x = static_cast<size_t>(from_x);
  const size_t source_y = static_cast<size_t>(from_top);
  const size_t source_w = std::min(width_ - source_x, pixelsFor(fromRect.size.width));
  const size_t source_h = std::min(height_ - source_y, pixelsFor(fromRect.size.height));
  const size_t drawn_w = pixelsFor(rect.size.width);
  const size_t drawn_h = pixelsFor(rect.size.height);
  if (source_w == 0 || source_h == 0 || drawn_w == 0 || drawn_h == 0) return;

  std::vector<uint8_t> scaled(drawn_w * drawn_h * 4);
  libyuv::ARGBScale(pixels_.data() + source_y * bytesPerRow() + source_x * 4,
                    static_cast<int>(bytesPerRow()), static_cast<int>(source_w),
                    static_cast<int>(source_h), scaled.data(), static_cast<int>(drawn_w * 4),
                    static_cast<int>(drawn_w), static_cast<int>(drawn_h), libyuv::kFilterBilinear);

  // Where the drawn image's top-left pixel lands in the target, rows from the top.
  const long left = std::lround(rect.origin.x);
  const long top = std::lround(static_cast<double>(target->height_) - rect.origin.y -
                               static_cast<double>(drawn_h));
  const double alpha = std::clamp(fraction, 0.0, 1.0);
  for (size_t row = 0; row < drawn_h; ++row) {
    const long target_row = top + static_cast<long>(row);
    if (target_row < 0 || target_row >= static_cast<long>(target->height_)) continue;
    for (size_t column = 0; column < drawn_w; ++column) {
      const long target_column = left + static_cast<long>(column);
      if (target_column < 0 || target_column >= static_cast<long>(target->width_)) continue;
      const uint8_t* from = &scaled[(row * drawn_w + column) * 4];
      uint8_t* to = target->pixels_.data() + target_row * target->bytesPerRow() + target_column * 4;
      if (operation == NSCompositingOperationClear) {
        std::memset(to, 0, 4);
      } else if (operation == NSCompositingOperationCopy && alpha >= 1.0) {
        std::memcpy(to, from, 4);
      } else {
        const double source_alpha = from[3] / 255.0 * alpha;
        for (int channel = 0; channel < 3; ++channel) {
          to[channel] = static_cast<uint8_t>(
              std::lround(from[channel] * source_alpha + to[channel] * (1 - source_alpha)));
        }
        to[3] = static_cast<uint8_t>(
            std::lround(255 * (source_alpha + to[3] / 255.0 * (1 - source_alpha))));
      }
    }
  }
}

std::vector<uint8_t> NSImage::TIFFRepresentation() const {
  if (width_ == 0 || height_ == 0) return {};
  MemoryFile file;
  TIFF* tiff = TIFFClientOpen("thumbnail", "w", &file, readMemory, writeMemory, seekMemory,
                              closeMemory, sizeMemory, mapMemory, unmapMemory);
  if (tiff == nullptr) return {};
  const uint16_t extra_samples[] = {EXTRASAMPLE_UNASSALPHA};
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width_));
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height_));
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 4);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra_samples);
  TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(height_));
  bool written = true;
  std::vector<uint8_t> row(bytesPerRow());
  for (size_t y = 0; y < height_ && written; ++y) {
    std::memcpy(row.data(), pixels_.data() + y * bytesPerRow(), row.size());
    written = TIFFWriteScanline(tiff, row.data(), static_cast<uint32_t>(y), 0) >= 0;
  }
  TIFFClose(tiff);
  if (!written) return {};
  return std::move(file.bytes);
}

}  // namespace webrtc
