// A view that shows one image.
#pragma once

#include <memory>

#include "platform/appkit/ns_image.h"
#include "platform/appkit/ns_view.h"

class NSImageView : public NSView {
 public:
  using NSView::NSView;

  // A view sized to the image, showing it.
  static std::shared_ptr<NSImageView> imageViewWithImage(std::shared_ptr<NSImage> image) {
    auto view =
        std::make_shared<NSImageView>(CGRect{CGPointZero, image ? image->size() : CGSizeZero});
    view->setImage(std::move(image));
    return view;
  }

  std::shared_ptr<NSImage> image() const { return image_; }
  void setImage(std::shared_ptr<NSImage> image) { image_ = std::move(image); }

 private:
  std::shared_ptr<NSImage> image_;
};
