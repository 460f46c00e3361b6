// The CoreGraphics stand-in: geometry and transforms, data providers over CoreFoundation data and
// file URLs, PDF documents and pages (poppler), and bitmap contexts (cairo).
#pragma once

#include "platform/coregraphics/cf_data.h"
#include "platform/coregraphics/cg_affine_transform.h"
#include "platform/coregraphics/cg_color_space.h"
#include "platform/coregraphics/cg_context.h"
#include "platform/coregraphics/cg_data_provider.h"
#include "platform/coregraphics/cg_geometry.h"
#include "platform/coregraphics/cg_pdf_document.h"
#include "platform/coregraphics/cg_pdf_page.h"
