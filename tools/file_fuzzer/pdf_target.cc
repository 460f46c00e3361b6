// The PDF reader as the PDF plug-in uses it: a document from bytes, unlocked when it asks for a
// password, each page's boxes and rotation, and each page drawn into a small bitmap.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/coregraphics/cf_data.h"
#include "platform/coregraphics/cg_context.h"
#include "platform/coregraphics/cg_data_provider.h"
#include "platform/coregraphics/cg_pdf_document.h"
#include "tools/file_fuzzer/targets.h"

namespace file_fuzzer {

bool readPdf(const std::string& bytes) {
  constexpr size_t kPagesDrawn = 4;
  constexpr size_t kSide = 48;
  CFDataRef data = CFDataCreate(reinterpret_cast<const uint8_t*>(bytes.data()),
                                static_cast<CFIndex>(bytes.size()));
  CGPDFDocumentRef document = CGPDFDocumentCreateWithProvider(CGDataProviderCreateWithCFData(data));
  if (!document) return false;
  if (!CGPDFDocumentIsUnlocked(document)) {
    for (const char* password : {"secret", "owner-secret", "p\xc3\xa4ssword"}) {
      if (CGPDFDocumentUnlockWithPassword(document, password)) break;
    }
  }
  const size_t pages = CGPDFDocumentGetNumberOfPages(document);
  for (size_t number = 1; number <= std::min(pages, kPagesDrawn); ++number) {
    CGPDFPageRef page = CGPDFDocumentGetPage(document, number);
    if (!page) continue;
    CGRect crop = CGPDFPageGetBoxRect(page, kCGPDFCropBox);
    CGAffineTransform transform = CGPDFPageGetDrawingTransform(
        page, kCGPDFCropBox, CGRectMake(0, 0, crop.size.width, crop.size.height), 0, true);
    std::vector<uint32_t> pixels(kSide * kSide);
    CGContextRef context =
        CGBitmapContextCreate(pixels.data(), kSide, kSide, 8, kSide * 4,
                              CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedLast);
    if (!context) continue;
    if (crop.size.width > 0 && crop.size.height > 0) {
      CGContextScaleCTM(context, kSide / crop.size.width, kSide / crop.size.height);
    }
    CGContextConcatCTM(context, transform);
    CGContextSetRGBFillColor(context, 1, 1, 1, 1);
    CGContextFillRect(context, crop);
    CGContextDrawPDFPage(context, page);
  }
  return true;
}

}  // namespace file_fuzzer
