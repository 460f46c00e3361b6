// Save panels: the dialog in which the user names a file and chooses where it goes. Open panels
// (ns_open_panel.h) extend it to choosing existing files and directories.
//
// A panel runs as a sheet on a window, modelessly, or application-modally. It ends when the user
// confirms (NSModalResponseOK, with the chosen URLs) or cancels; the completion handler is called
// once, on the main thread. The panel and its handler are kept alive while the panel is shown.
// Panels are used on the main thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/appkit/ns_panel.h"
#include "platform/foundation/ns_url.h"
#include "platform/uniformtypes/ut_type.h"

namespace appkit::testing {
struct PanelAccess;
}

using NSModalResponse = long;
inline constexpr NSModalResponse NSModalResponseCancel = 0;
inline constexpr NSModalResponse NSModalResponseOK = 1;

class NSSavePanel : public NSPanel {
 public:
  using CompletionHandler = std::function<void(NSModalResponse result)>;

  static std::shared_ptr<NSSavePanel> savePanel();
  NSSavePanel();

  // The text shown above the panel's controls (title() and setTitle() are the window's).
  const std::string& message() const { return message_; }
  void setMessage(std::string message) { message_ = std::move(message); }
  // The text of the default button; empty for the panel's own.
  const std::string& prompt() const { return prompt_; }
  void setPrompt(std::string prompt) { prompt_ = std::move(prompt); }
  // The directory shown first; none for the panel's own choice.
  const std::optional<NSURL>& directoryURL() const { return directory_url_; }
  void setDirectoryURL(std::optional<NSURL> url) { directory_url_ = std::move(url); }
  const std::string& nameFieldStringValue() const { return name_field_; }
  void setNameFieldStringValue(std::string name) { name_field_ = std::move(name); }

  bool showsHiddenFiles() const { return shows_hidden_files_; }
  void setShowsHiddenFiles(bool shows) { shows_hidden_files_ = shows; }
  bool canCreateDirectories() const { return can_create_directories_; }
  void setCanCreateDirectories(bool can) { can_create_directories_ = can; }
  bool isExtensionHidden() const { return extension_hidden_; }
  void setExtensionHidden(bool hidden) { extension_hidden_ = hidden; }
  bool showsTagField() const { return shows_tag_field_; }
  void setShowsTagField(bool shows) { shows_tag_field_ = shows; }
  bool allowsOtherFileTypes() const { return allows_other_file_types_; }
  void setAllowsOtherFileTypes(bool allows) { allows_other_file_types_ = allows; }

  // The kinds of file the user may choose; empty allows every kind. The content types are the
  // current form, the filename extensions the form of systems before macOS 11.
  const std::vector<UTType>& allowedContentTypes() const { return allowed_content_types_; }
  void setAllowedContentTypes(std::vector<UTType> types) {
    allowed_content_types_ = std::move(types);
  }
  const std::vector<std::string>& allowedFileTypes() const { return allowed_file_types_; }
  void setAllowedFileTypes(std::vector<std::string> types) {
    allowed_file_types_ = std::move(types);
  }

  // The URL the user chose; none before a confirmation.
  std::optional<NSURL> URL() const;

  // Shows the panel as a sheet on `window`; returns at once.
  void beginSheetModalForWindow(const std::shared_ptr<NSWindow>& window,
                                CompletionHandler handler);
  // Shows the panel on its own, bound to no window; returns at once.
  void beginWithCompletionHandler(CompletionHandler handler);
  // Shows the panel application-modally and returns the user's response when it closes.
  NSModalResponse runModal();

 protected:
  const std::vector<NSURL>& chosenURLs() const { return chosen_urls_; }

 private:
  friend struct appkit::testing::PanelAccess;

  std::string message_;
  std::string prompt_;
  std::optional<NSURL> directory_url_;
  std::string name_field_;
  bool shows_hidden_files_ = false;
  bool can_create_directories_ = true;
  bool extension_hidden_ = false;
  bool shows_tag_field_ = true;
  bool allows_other_file_types_ = false;
  std::vector<UTType> allowed_content_types_;
  std::vector<std::string> allowed_file_types_;
  std::vector<NSURL> chosen_urls_;
};
