// The PDF renderer plug-in on the method channel "pdf_pages": it opens PDF documents from bytes
// or a file under ids the Dart side chooses, tells page counts and sizes, and draws pages and
// tiles into RGBA bitmaps. Every call is answered once; docs/protocol/pdf_pages.md lists them.
//
// Reading, parsing, measuring and drawing a document can take long, so every call's work runs on
// one serial queue of the plug-in, in the order sent, and answers on the main queue. The
// documents live on that queue: no two threads ever use one at once, and each call sees the
// loads and closes sent before it. Pages are drawn by a worker process within time and memory
// limits (drawing_worker.h); the next call's work waits for the drawing.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "platform/coregraphics/cf_data.h"
#include "platform/coregraphics/cg_pdf_document.h"
#include "platform/dispatch/dispatch.h"
#include "platform/flutter/flutter_plugin.h"
#include "plugins/pdf_pages/call_sequence.h"
#include "plugins/pdf_pages/drawing_worker.h"

namespace pdf_pages {

class PdfPagesPlugin : public FlutterPlugin, public std::enable_shared_from_this<PdfPagesPlugin> {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);
  // With other drawing limits than the host's.
  static void registerWithLimits(FlutterPluginRegistrar& registrar, DrawingLimits limits);

  explicit PdfPagesPlugin(DrawingLimits limits = {});

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
  void answerPageSizes(const flutter::Value& arguments, const FlutterResult& result,
                       CGFloat (*measure)(const CGRect&));

  using Answer = CallSequence::Answer;
  using Work = std::function<Answer(PdfPagesPlugin& plugin)>;
  // Runs `work` on the document queue after everything sent before, then answers its outcome on
  // the main queue.
  void answerInTurn(FlutterResult result, Work work);
  // Answers `error` in the call's turn, after the answers owed before it.
  void refuseInTurn(FlutterResult result, FlutterError error);
  // Draws page `pageNumber` of `documentId` as `request` asks, in its turn, in the drawing worker.
  void drawInTurn(FlutterResult result, std::string documentId, int64_t pageNumber,
                  DrawingRequest request);

  // The rest runs on the document queue.
  // Unlocks an encrypted document with the password given, stores it under `documentId`
  // (releasing the one stored before) and answers its page count; a failed unlock stores nothing.
  Answer unlockAndStore(const std::string& documentId, CGPDFDocumentRef document, CFDataRef bytes,
                        const std::optional<std::string>& password);
  // One measure of each page's crop box as shown (turned by the page's rotation).
  Answer pageSizes(const std::string& documentId, CGFloat (*measure)(const CGRect&)) const;
  // The page `pageNumber` of the document under `documentId`, or the error to answer.
  std::variant<CGPDFPageRef, FlutterError> findPage(const std::string& documentId,
                                                    int64_t pageNumber) const;

  // An open document with what the drawing worker needs to open it again.
  struct StoredDocument {
    CGPDFDocumentRef document;
    CFDataRef bytes;
    std::optional<std::string> password;
    uint64_t key = 0;
  };

  std::map<std::string, StoredDocument> document_repo_;  // touched on the document queue only
  uint64_t next_document_key_ = 1;
  std::shared_ptr<CallSequence> calls_ = std::make_shared<CallSequence>(
      dispatch_queue_create("pdf_pages.documents", DISPATCH_QUEUE_SERIAL));
  DrawingWorker drawing_;
};

}  // namespace pdf_pages
