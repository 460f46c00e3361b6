#include "plugins/pdf_pages/document_reading.h"

#include <memory>

#include "platform/coregraphics/cf_data.h"
#include "platform/coregraphics/cg_affine_transform.h"
#include "platform/coregraphics/cg_data_provider.h"

namespace pdf_pages {

namespace {

constexpr double kPi = 3.141592653589793;

}  // namespace

std::variant<CGPDFDocumentRef, DrawingStatus> openDocument(
    std::vector<uint8_t> bytes, const std::optional<std::string>& password) {
  auto data = std::make_shared<const CFData>(std::move(bytes));
  CGPDFDocumentRef document = CGPDFDocumentCreateWithProvider(CGDataProviderCreateWithCFData(data));
  if (!document) return DrawingStatus::notADocument;
  // The password goes on as C text, so one holding a NUL would be cut short there: it is no
  // password of the file.
  if (password && CGPDFDocumentIsEncrypted(document) &&
      (password->find('\0') != std::string::npos ||
       !CGPDFDocumentUnlockWithPassword(document, password->c_str()))) {
    return DrawingStatus::unlockFailed;
  }
  return document;
}

std::vector<MeasuredPage> measurePages(const CGPDFDocumentRef& document) {
  const size_t count = CGPDFDocumentGetNumberOfPages(document);
  std::vector<MeasuredPage> pages;
  for (size_t number = 1; number <= count; ++number) {
    CGPDFPageRef page = CGPDFDocumentGetPage(document, number);
    if (!page) continue;
    CGRect box = CGPDFPageGetBoxRect(page, kCGPDFCropBox);
    int angle = CGPDFPageGetRotationAngle(page);
    if (angle > 0) {
      box = CGRectApplyAffineTransform(box, CGAffineTransformMakeRotation(angle * kPi / 180));
    }
    // The document counts its pages in an int.
    pages.push_back({static_cast<uint32_t>(number), CGRectGetWidth(box), CGRectGetHeight(box)});
  }
  return pages;
}

}  // namespace pdf_pages
