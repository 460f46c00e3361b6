// Opening and measuring a document, in the worker that draws it: what a document takes to be read
// counts against the worker's limits, never the host's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/coregraphics/cg_pdf_document.h"
#include "plugins/pdf_pages/drawing_messages.h"

namespace pdf_pages {

// Opens `bytes` as a load does. An encrypted document given a password is unlocked with it, or
// answers unlockFailed; without one it stays as it opens (locked, with no pages, when it needs
// one). A password for a document that is not encrypted is ignored. Bytes that are no PDF answer
// notADocument.
std::variant<CGPDFDocumentRef, DrawingStatus> openDocument(
    std::vector<uint8_t> bytes, const std::optional<std::string>& password);

// The pages that exist, in order, each with its crop box as shown. A number the document counts
// but cannot give a page for (a damaged page tree) is left out, so that what is counted, measured
// and drawn agrees.
std::vector<MeasuredPage> measurePages(const CGPDFDocumentRef& document);

}  // namespace pdf_pages
