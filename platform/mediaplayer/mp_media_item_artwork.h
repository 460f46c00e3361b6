// Artwork shown with the now-playing information: a size and a handler that produces the image
// for the size the system asks for.
#pragma once

#include <functional>
#include <memory>

#include "platform/coregraphics/cg_geometry.h"
#include "platform/mediaplayer/ns_image.h"

class MPMediaItemArtwork {
 public:
  using RequestHandler = std::function<std::shared_ptr<mediaplayer::NSImage>(CGSize size)>;

  // initWithBoundsSize:requestHandler:
  MPMediaItemArtwork(CGSize boundsSize, RequestHandler requestHandler)
      : bounds_(boundsSize), request_handler_(std::move(requestHandler)) {}

  CGRect bounds() const { return CGRect{CGPointZero, bounds_}; }
  // The image for `size`, from the request handler; null when the handler gives none.
  std::shared_ptr<mediaplayer::NSImage> imageWithSize(CGSize size) const {
    return request_handler_ ? request_handler_(size) : nullptr;
  }

 private:
  CGSize bounds_;
  RequestHandler request_handler_;
};
