#include "plugins/file_export/dialog.h"

#include "platform/appkit/ns_save_panel.h"
#include "platform/dispatch/dispatch.h"
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
  panel->beginWithCompletionHandler([self = shared_from_this(), panel, params = std::move(params),
                                     result = std::move(result)](NSModalResponse response) mutable {
    auto url = panel->URL();
    if (response != NSModalResponseOK || !url) {
      result(flutter::Value());
      return;
    }
    saveContent(std::move(params.bytes), std::move(params.sourcePath), *url, std::move(result));
  });
}

void Dialog::saveContent(std::optional<std::vector<uint8_t>> bytes,
                         std::optional<std::string> sourcePath, const NSURL& url,
                         FlutterResult result) {
  if (!sourcePath && !bytes) {
    result(
        FlutterError{"invalid_arguments", "Either bytes or sourcePath must be supplied", nullptr});
    return;
  }
  dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                 [bytes = std::move(bytes), sourcePath = std::move(sourcePath), target = url.path(),
                  answer = url.absoluteString(), result = std::move(result)]() mutable {
                   bool saved = sourcePath ? replaceWithCopy(*sourcePath, target)
                                           : replaceWithBytes(target, *bytes);
                   dispatch_async(dispatch_get_main_queue(), [saved, answer = std::move(answer),
                                                              result = std::move(result)] {
                     if (!saved) {
                       result(FlutterError{"save_failed", "Failed to save file", nullptr});
                       return;
                     }
                     result(flutter::Value(answer));
                   });
                 });
}

}  // namespace file_export
