// The error answers of the "pdf_pages" channel (docs/protocol/pdf_pages.md).
#pragma once

#include <string>

#include "platform/flutter/flutter_codec.h"

namespace pdf_pages {

inline constexpr const char* kInvalidArgumentsCode = "PDF_INVALID_ARGUMENTS";
inline constexpr const char* kUnknownDocumentCode = "PDF_UNKNOWN_DOCUMENT";
inline constexpr const char* kLoadFailedCode = "PDF_LOAD_FAILED";
inline constexpr const char* kUnlockFailedCode = "PDF_UNLOCK_FAILED";
inline constexpr const char* kInvalidPageCode = "PDF_INVALID_PAGE";
inline constexpr const char* kInvalidSizeCode = "PDF_INVALID_SIZE";
inline constexpr const char* kBitmapFailedCode = "PDF_BITMAP_FAILED";

inline FlutterError pdfError(const char* code, std::string message) {
  return FlutterError{code, std::move(message), flutter::Value()};
}

}  // namespace pdf_pages
