// PDF documents of CoreGraphics, read from a data provider.
//
// An encrypted document that opens with the empty password (only an owner password set) is
// unlocked from the start. One that needs its user password stays locked until unlocked with its
// user or owner password; a locked document has no pages.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/coregraphics/cg_data_provider.h"
#include "platform/coregraphics/cg_pdf_page.h"

class CGPDFDocument;
using CGPDFDocumentRef = std::shared_ptr<CGPDFDocument>;

// Null when the provider's bytes are not a readable PDF.
CGPDFDocumentRef CGPDFDocumentCreateWithProvider(const CGDataProviderRef& provider);

bool CGPDFDocumentIsEncrypted(const CGPDFDocumentRef& document);
bool CGPDFDocumentIsUnlocked(const CGPDFDocumentRef& document);
// Unlocks with the user or the owner password (NUL-terminated UTF-8). True when that password
// opens the document; a document that is not encrypted needs none and answers true. A failed
// attempt leaves the document as it was.
bool CGPDFDocumentUnlockWithPassword(const CGPDFDocumentRef& document, const char* password);

// 0 while locked.
size_t CGPDFDocumentGetNumberOfPages(const CGPDFDocumentRef& document);
// The page numbered `pageNumber` from 1; null outside the document or while locked. The
// document keeps its pages: asking again answers the same page.
CGPDFPageRef CGPDFDocumentGetPage(const CGPDFDocumentRef& document, size_t pageNumber);
