// The PDF renderer plug-in on the method channel "pdf_pages": it opens PDF documents from bytes
// or a file under ids the Dart side chooses, tells page counts and sizes, and draws pages and
// tiles into RGBA bitmaps. Every call is answered once; docs/protocol/pdf_pages.md lists them.
//
// Reading a file, parsing, measuring and drawing a document can take long, so every call's work
// runs off the main thread, one call after another in the order sent, and each call is answered
// from there (its answer is encoded there too), in that order. Each call sees the loads and
// closes sent before it. The host never parses a document: a worker process opens, unlocks,
// counts and measures it on load, and draws its pages, within time and memory limits
// (drawing_worker.h); the plug-in keeps each document's bytes, password and page sizes.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/coregraphics/cf_data.h"
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
                       double MeasuredPage::*measure);

  using Answer = CallSequence::Answer;
  using Work = std::function<Answer(PdfPagesPlugin& plugin)>;
  // Runs `work` on the document queue after everything sent before, and answers its outcome.
  void answerInTurn(FlutterResult result, Work work);
  // Answers `error` in the call's turn, after the answers owed before it.
  void refuseInTurn(FlutterResult result, FlutterError error);
  // The bytes a load names, read in its turn; or the error to answer.
  using LoadSource = std::function<std::variant<CFDataRef, FlutterError>()>;
  // Has the worker read the document `source` gives, in its turn, and stores it under `documentId`
  // (releasing the one stored before) and answers its page count; a failed load stores nothing.
  void loadInTurn(FlutterResult result, std::string documentId, LoadSource source,
                  std::optional<std::string> password, const char* notAPdf);
  // An open document: what the worker found when it read it, and what it needs to open it again.
  struct StoredDocument {
    CFDataRef bytes;
    std::optional<std::string> password;
    uint64_t key = 0;
    std::vector<MeasuredPage> pages;
  };
  // What a load answers once the worker has read `document`: stores it under `documentId` with
  // its pages when it opened, else answers why not.
  Answer stored(const std::string& documentId, StoredDocument document,
                DrawingWorker::Reading reading, const char* notAPdf);
  // Draws page `pageNumber` of `documentId` as `request` asks, in its turn, in the drawing worker.
  void drawInTurn(FlutterResult result, std::string documentId, int64_t pageNumber,
                  DrawingRequest request);

  // The rest runs in the call's turn.
  // One measure of each page's crop box as shown (turned by the page's rotation).
  Answer pageSizes(const std::string& documentId, double MeasuredPage::*measure) const;
  // The number in the document of page `pageNumber` of `documentId`, or the error to answer.
  std::variant<uint32_t, FlutterError> findPage(const std::string& documentId,
                                                int64_t pageNumber) const;

  // Touched only by the call whose turn it is.
  std::map<std::string, StoredDocument> document_repo_;
  uint64_t next_document_key_ = 1;
  std::shared_ptr<CallSequence> calls_ = std::make_shared<CallSequence>(
      dispatch_queue_create("pdf_pages.documents", DISPATCH_QUEUE_SERIAL));
  DrawingWorker drawing_;
};

}  // namespace pdf_pages
