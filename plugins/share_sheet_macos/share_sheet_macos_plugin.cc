#include "plugins/share_sheet_macos/share_sheet_macos_plugin.h"

#include <optional>
#include <string>
#include <vector>

#include "platform/appkit/ns_sharing_service_picker.h"
#include "platform/dispatch/dispatch.h"
#include "platform/flutter/argument_reader.h"
#include "plugins/share_sheet_macos/share_sheet_macos_success_delegate.h"

namespace share_sheet_macos {
namespace {

using flutter::Value;

// A share call's arguments; entries of another type than expected count as absent.
struct ShareRequest {
  std::optional<std::string> text;
  std::optional<std::string> uri;
  std::optional<std::vector<std::string>> paths;
  std::optional<std::string> subject;
  NSRect origin = CGRectZero;

  static ShareRequest read(const Value& arguments) {
    const flutter::ArgumentReader args(arguments);
    auto number = [&](const char* key) -> CGFloat { return args.floatingPoint(key).value_or(0); };
    ShareRequest request;
    request.origin = NSMakeRect(number("originX"), number("originY"), number("originWidth"),
                                number("originHeight"));
    request.text = args.string("text");
    request.uri = args.string("uri");
    request.paths = args.strings("paths");
    request.subject = args.string(kPreferredSubjectKey);
    if (!request.subject) request.subject = args.string("subject");
    return request;
  }

  // Only one kind is shared: the uri, else the files, else the text.
  std::optional<std::vector<NSSharingItem>> items() const {
    if (uri) return std::vector<NSSharingItem>{*uri};
    if (paths) {
      std::vector<NSSharingItem> files;
      for (const auto& path : *paths) files.push_back(NSURL::fileURLWithPath(path));
      return files;
    }
    if (text) return std::vector<NSSharingItem>{*text};
    return std::nullopt;
  }
};

}  // namespace

void ShareSheetMacosPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  auto channel =
      FlutterMethodChannel::methodChannelWithName("dev.velmora.desktop/share", registrar.messenger());
  registrar.addMethodCallDelegate(std::make_shared<ShareSheetMacosPlugin>(registrar), channel);
}

void ShareSheetMacosPlugin::handleMethodCall(const FlutterMethodCall& call, FlutterResult result) {
  if (call.method != "share") {
    result(FlutterMethodNotImplemented);
    return;
  }
  auto request = ShareRequest::read(call.arguments);
  auto items = request.items();
  if (!items) {
    result(FlutterError{"error", "No content to share", nullptr});
    return;
  }
  auto controller = view_controller_.lock();
  auto view = controller ? controller->view() : nullptr;
  if (!view) {
    result(FlutterError{"error", "No view to show the sharing picker in", nullptr});
    return;
  }
  dispatch_async(dispatch_get_main_queue(), [items = std::move(*items), subject = request.subject,
                                             origin = request.origin, view, result] {
    auto picker = std::make_shared<NSSharingServicePicker>(items);
    auto delegate = ShareSheetMacosSuccessDelegate::create(
        subject, [result](Value answer) { result(std::move(answer)); });
    picker->setDelegate(delegate);
    picker->showRelativeToRect(origin, view, NSMaxYEdge);
  });
}

}  // namespace share_sheet_macos
