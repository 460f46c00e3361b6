// What the PDF plug-in and its drawing worker say to each other (see drawing_worker.h), in the
// workers' one encoding (platform/worker/message_codec.h). Each side reads the other's messages
// as untrusted: above all the host, since a document may take the worker over. Large parts travel without a copy of their own: a request carries the document's
// bytes first and its fields after them, and a drawn bitmap comes beside its status as a shared
// buffer (platform/worker/shared_buffer.h) that the worker drew into. Reading a document answers
// its pages with their sizes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plugins/pdf_pages/page_rendering.h"

namespace pdf_pages {

struct DrawingRequest {
  // A read opens the document it carries (with the password), keeps it, and answers its pages.
  enum class Kind : uint8_t { draw = 1, release = 2, read = 3 };
  Kind kind = Kind::draw;
  // Names a loaded document for as long as it is open; a worker keeps the one it drew last.
  uint64_t documentKey = 0;
  std::optional<std::string> password;
  uint32_t pageNumber = 1;
  // A tile of the page (`tile` holds where), else the whole page stretched over the bitmap.
  bool isTile = false;
  Tile tile;
  BitmapSize size;
  // Draw into memory of its own, not into the kept buffer: the host still holds the last bitmap.
  bool freshCanvas = false;
  // The errors counted for the document before it was handed over: the count of its life in the
  // host, which outlives any one worker.
  uint64_t errorsCounted = 0;
};

// The request, after the document's bytes when the worker does not hold the document yet.
std::vector<uint8_t> encodeRequest(const DrawingRequest& request,
                                   const std::vector<uint8_t>* document);

struct ReceivedRequest {
  DrawingRequest request;
  // The document's bytes when the request carried them.
  std::optional<std::vector<uint8_t>> document;
};
// nullopt for a message that is not a request.
std::optional<ReceivedRequest> decodeRequest(std::vector<uint8_t> message);

enum class DrawingStatus : uint8_t {
  drawn = 0,
  notADocument = 1,  // the bytes, with the password, open no document
  noPage = 2,
  bitmapFailed = 3,
  released = 4,
  read = 5,          // followed by the pages (encodeReading)
  unlockFailed = 6,  // a password was given for an encrypted document and opens it not
};

// A page that exists, numbered as the document numbers it, and its crop box as shown (turned by
// the page's rotation), in points.
struct MeasuredPage {
  uint32_t number = 0;
  double width = 0;
  double height = 0;
};

// A reply is its status and the errors counted for the request's document so far; "drawn" comes
// with the bitmap's buffer, and nothing else does.
std::vector<uint8_t> encodeStatus(DrawingStatus status, uint64_t errorsCounted = 0);
// nullopt for a message that is not a status; a reading is a status too.
std::optional<DrawingStatus> decodeStatus(const std::vector<uint8_t>& message);
// The errors a reply counted; 0 for a message that is not one.
uint64_t decodeErrorCount(const std::vector<uint8_t>& message);

// The answer to a read that opened the document: status "read", then its pages in order.
std::vector<uint8_t> encodeReading(const std::vector<MeasuredPage>& pages,
                                   uint64_t errorsCounted = 0);
// nullopt unless `message` is a reading whose page numbers rise from 1 or more and whose sizes
// are finite and not negative.
std::optional<std::vector<MeasuredPage>> decodeReading(const std::vector<uint8_t>& message);

}  // namespace pdf_pages
