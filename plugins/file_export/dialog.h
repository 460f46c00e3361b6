// One "saveAs" call's save panel: shown on its own (not as a sheet), above the menu bar, in the
// user's Desktop folder; when the user confirms, the content is stored at the chosen place.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/flutter/flutter.h"
#include "platform/foundation/ns_url.h"
#include "plugins/file_export/params.h"

namespace file_export {

class Dialog : public std::enable_shared_from_this<Dialog> {
 public:
  // The panel's completion keeps the dialog until the call is answered.
  void openSaveDialog(Params params, FlutterResult result);

  // Stores the bytes, or a copy of the source (which wins when both are given), at `url`,
  // replacing what is there, and answers the URL's string, or an error. The file work runs off
  // the main thread (a copy can be long); the answer comes on the main thread.
  static void saveContent(std::optional<std::vector<uint8_t>> bytes,
                          std::optional<std::string> sourcePath, const NSURL& url,
                          FlutterResult result);
};

}  // namespace file_export
