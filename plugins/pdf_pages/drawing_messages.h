// What the PDF plug-in and its drawing worker say to each other (see drawing_worker.h). Each side
// reads the other's messages as untrusted: above all the host, since a document may take the
// worker over. Large parts travel without a copy of their own: a request carries the document's
// bytes first and its fields after them, and a drawn bitmap comes beside its status as a shared
// buffer (platform/worker/shared_buffer.h) that the worker drew into.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plugins/pdf_pages/page_rendering.h"

namespace pdf_pages {

struct DrawingRequest {
  enum class Kind : uint8_t { draw = 1, release = 2 };
  Kind kind = Kind::draw;
  // Names a loaded document for as long as it is open; a worker keeps the one it drew last.
  uint64_t documentKey = 0;
  std::optional<std::string> password;
  uint32_t pageNumber = 1;
  // A tile of the page (`tile` holds where), else the whole page stretched over the bitmap.
  bool isTile = false;
  Tile tile;
  BitmapSize size;
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
};

// A reply is its status alone; "drawn" comes with the bitmap's buffer, and nothing else does.
std::vector<uint8_t> encodeStatus(DrawingStatus status);
// nullopt for a message that is not a status.
std::optional<DrawingStatus> decodeStatus(const std::vector<uint8_t>& message);

}  // namespace pdf_pages
