// Pages of a PDF document: their boxes, rotation, and the transform that places a box in a
// rectangle. Page space is the PDF's own: points, y growing upwards.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/coregraphics/cg_affine_transform.h"
#include "platform/coregraphics/cg_geometry.h"

class CGPDFPage;
using CGPDFPageRef = std::shared_ptr<const CGPDFPage>;

enum CGPDFBox : int32_t {
  kCGPDFMediaBox = 0,
  kCGPDFCropBox = 1,
  kCGPDFBleedBox = 2,
  kCGPDFTrimBox = 3,
  kCGPDFArtBox = 4,
};

// The box in page space, with a non-negative size; a missing bleed, trim or art box is the crop
// box, and the crop box lies within the media box. CGRectZero for a null page or another box.
CGRect CGPDFPageGetBoxRect(const CGPDFPageRef& page, CGPDFBox box);
// 0, 90, 180 or 270: how far the page turns clockwise when shown.
int CGPDFPageGetRotationAngle(const CGPDFPageRef& page);
// Maps `box` (within the media box) onto `rect`: turned by the page's rotation and then by
// `rotate` degrees counter-clockwise (a multiple of 90), scaled down to fit when it is larger
// (never up; keeping its proportions when `preserveAspectRatio`), and centred. Identity for a
// null page.
CGAffineTransform CGPDFPageGetDrawingTransform(const CGPDFPageRef& page, CGPDFBox box, CGRect rect,
                                               int rotate, bool preserveAspectRatio);
