#include "plugins/file_export/dialog.h"

#include "platform/appkit/ns_save_panel.h"
#include "platform/foundation/ns_bundle.h"
#include "platform/foundation/ns_path_utilities.h"
#include "plugins/file_export/atomic_file_replacer.h"

namespace file_export {
namespace {

NSURL desktopDirectory() { return NSURL::fileURLWithPath(NSHomeDirectory() + "/Desktop", true); }

std::string applicationName() {
  auto bundle = NSBundle::mainBundle();
  const PropertyList* name = bundle ? bundle->objectForInfoDictionaryKey("CFBundleName") : nullptr;
  return name != nullptr && name->asString() != nullptr ? *name->asString() : "";
}

}  // namespace

void Dialog::openSaveDialog(Params params, FlutterResult result) {
  auto panel = NSSavePanel::savePanel();
  panel->setDirectoryURL(desktopDirectory());
  panel->setNameFieldStringValue(params.proposedFileName());
  panel->setCanCreateDirectories(true);
  panel->setAllowsOtherFileTypes(true);
  panel->setTitle(applicationName());
  panel->setLevel(NSMainMenuWindowLevel);
  panel->beginWithCompletionHandler(
      [self = shared_from_this(), panel, params = std::move(params),
       result = std::move(result)](NSModalResponse response) {
        auto url = panel->URL();
        if (response != NSModalResponseOK || !url) {
          result(flutter::Value());
          return;
        }
        saveContent(params.bytes, params.sourcePath, *url, result);
      });
}

void Dialog::saveContent(const std::optional<std::vector<uint8_t>>& bytes,
                         const std::optional<std::string>& sourcePath, const NSURL& url,
                         const FlutterResult& result) {
  if (!sourcePath && !bytes) {
    result(FlutterError{"invalid_arguments", "Either bytes or sourcePath must be supplied",
                        nullptr});
    return;
  }
  bool saved = sourcePath ? replaceWithCopy(*sourcePath, url.path())
                          : replaceWithBytes(url.path(), *bytes);
  if (!saved) {
    result(FlutterError{"save_failed", "Failed to save file", nullptr});
    return;
  }
  result(flutter::Value(url.absoluteString()));
}

}  // namespace file_export
