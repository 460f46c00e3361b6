#include "platform/mediaplayer/ns_image.h"

#include <jpeglib.h>
#include <png.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/foundation/regular_file.h"

namespace mediaplayer {
namespace {

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// libpng reports errors by calling its error function, which must not return: it jumps back to
// the reader, which only holds plain C state at that point.
[[noreturn]] void escapeOnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void ignorePngWarning(png_structp, png_const_charp) {}

// libpng's settings for artwork, chosen here: only the header is read. Every ancillary chunk
// before the pixels (text, profiles, metadata) is skipped unread but for its checksum, so nothing
// is inflated; no chunk may allocate more than kMaxPngChunkBytes, and pictures are at most
// kMaxPngSide pixels on each side.
constexpr png_alloc_size_t kMaxPngChunkBytes = 1 << 20;
constexpr png_uint_32 kMaxPngSide = 16384;

std::optional<NSSize> pngSize(FILE* file) {
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, escapeOnPngError, ignorePngWarning);
  if (png == nullptr) return std::nullopt;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_read_struct(&png, &info, nullptr);
    return std::nullopt;
  }
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_set_chunk_malloc_max(png, kMaxPngChunkBytes);
  png_set_user_limits(png, kMaxPngSide, kMaxPngSide);
  png_init_io(png, file);
  png_read_info(png, info);
  NSSize size{static_cast<CGFloat>(png_get_image_width(png, info)),
              static_cast<CGFloat>(png_get_image_height(png, info))};
  png_destroy_read_struct(&png, &info, nullptr);
  return size;
}

// libjpeg reports errors by calling error_exit, which must not return: it jumps back to the
// reader, which only holds plain C state at that point.
struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf escape;
};

[[noreturn]] void escapeOnJpegError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->escape, 1);
}

void ignoreJpegMessage(j_common_ptr) {}

bool readJpegHeader(FILE* file, JDIMENSION* width, JDIMENSION* height) {
  jpeg_decompress_struct info;
  JpegErrors errors;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = escapeOnJpegError;
  errors.manager.output_message = ignoreJpegMessage;
  if (setjmp(errors.escape) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  // libjpeg's settings for artwork, chosen here: the header only, markers skipped unsaved (its
  // default), and a bound on what the library may allocate.
  info.mem->max_memory_to_use = 16L * 1024 * 1024;
  jpeg_stdio_src(&info, file);
  bool read = jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK;
  *width = info.image_width;
  *height = info.image_height;
  jpeg_destroy_decompress(&info);
  return read;
}

std::optional<NSSize> jpegSize(FILE* file) {
  JDIMENSION width = 0;
  JDIMENSION height = 0;
  if (!readJpegHeader(file, &width, &height) || width == 0 || height == 0) return std::nullopt;
  return NSSize{static_cast<CGFloat>(width), static_cast<CGFloat>(height)};
}

std::optional<NSImage::Format> sniffFormat(FILE* file) {
  unsigned char signature[8] = {};
  size_t read = std::fread(signature, 1, sizeof signature, file);
  std::rewind(file);
  if (read == sizeof signature && png_sig_cmp(signature, 0, sizeof signature) == 0) {
    return NSImage::Format::png;
  }
  if (read >= 3 && signature[0] == 0xFF && signature[1] == 0xD8 && signature[2] == 0xFF) {
    return NSImage::Format::jpeg;
  }
  return std::nullopt;
}

// The file is a caller's: it is opened only if it is a regular file within the limit, and never
// with a blocking open. Only its header is read, so the read stays short.
File openImageFile(const std::string& path) {
  auto opened = foundation::RegularFile::open(path, NSImage::kMaxFileBytes);
  if (!opened) return nullptr;
  int fd = ::dup(opened->fd());
  if (fd < 0) return nullptr;
  File file(::fdopen(fd, "rb"));
  if (!file) ::close(fd);
  return file;
}

}  // namespace

std::shared_ptr<NSImage> NSImage::initWithContentsOfFile(const std::string& path) {
  File file = openImageFile(path);
  if (!file) return nullptr;
  auto format = sniffFormat(file.get());
  if (!format) return nullptr;
  auto size = *format == Format::png ? pngSize(file.get()) : jpegSize(file.get());
  if (!size) return nullptr;
  return std::shared_ptr<NSImage>(new NSImage(*size, *format));
}

}  // namespace mediaplayer
