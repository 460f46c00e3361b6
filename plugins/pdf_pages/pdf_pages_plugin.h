// The PDF renderer plug-in on the method channel "pdf_pages": it opens PDF documents from bytes
// or a file under ids the Dart side chooses, tells page counts and sizes, and draws pages and
// tiles into RGBA bitmaps. Every call is answered once; docs/protocol/pdf_pages.md lists them.
//
// Reading and parsing a document can take long, so loads run in order on a queue of their own
// and store their document on the main thread; closing waits for the loads sent before it.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/coregraphics/cg_pdf_document.h"
#include "platform/dispatch/dispatch.h"
#include "platform/flutter/flutter_plugin.h"

namespace pdf_pages {

class PdfPagesPlugin : public FlutterPlugin, public std::enable_shared_from_this<PdfPagesPlugin> {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  void handleMethodCall(const FlutterMethodCall& call, FlutterResult result) override;

 private:
  using Handler = void (PdfPagesPlugin::*)(const flutter::Value& arguments,
                                           const FlutterResult& result);
  static const std::map<std::string, Handler, std::less<>>& methodTable();

  void initializePdfRenderer(const flutter::Value& arguments, const FlutterResult& result);
  void loadPdfFromFile(const flutter::Value& arguments, const FlutterResult& result);
  void getPage(const flutter::Value& arguments, const FlutterResult& result);
  void getTileImage(const flutter::Value& arguments, const FlutterResult& result);
  void getPagesWidth(const flutter::Value& arguments, const FlutterResult& result);
  void getPagesHeight(const flutter::Value& arguments, const FlutterResult& result);
  void closeDocument(const flutter::Value& arguments, const FlutterResult& result);

  // A document made off the main thread, or the error to answer instead.
  struct Loaded {
    CGPDFDocumentRef document;
    size_t pageCount = 0;
    std::optional<FlutterError> error;
  };
  // Runs `open` on the load queue, then stores its document under `documentId` (releasing the
  // one stored before) and answers its page count; a failure stores nothing.
  void loadInOrder(std::string documentId, std::function<Loaded()> open, FlutterResult result);
  // Unlocks an encrypted document with the password given. A failed unlock gives an error.
  static Loaded unlock(CGPDFDocumentRef document, const std::optional<std::string>& password);
  // Answers one measure of each page's crop box as shown (turned by the page's rotation).
  void answerPageSizes(const flutter::Value& arguments, const FlutterResult& result,
                       CGFloat (*measure)(const CGRect&));
  // The page `pageNumber` of the document under `documentId`, or null after answering why not.
  CGPDFPageRef pageOrAnswer(const std::string& documentId, int64_t pageNumber,
                            const FlutterResult& result) const;
  // The document under `documentId`, or null after answering that it is unknown.
  CGPDFDocumentRef documentOrAnswer(const std::string& documentId,
                                    const FlutterResult& result) const;

  std::map<std::string, CGPDFDocumentRef> document_repo_;  // touched on the main thread only
  dispatch_queue_t load_queue_ = dispatch_queue_create("pdf_pages.load", DISPATCH_QUEUE_SERIAL);
};

}  // namespace pdf_pages
