// Open panels: the dialog in which the user chooses existing files and directories.
#pragma once

#include <memory>
#include <vector>

#include "platform/appkit/ns_save_panel.h"

class NSOpenPanel : public NSSavePanel {
 public:
  static std::shared_ptr<NSOpenPanel> openPanel() { return std::make_shared<NSOpenPanel>(); }

  bool allowsMultipleSelection() const { return allows_multiple_selection_; }
  void setAllowsMultipleSelection(bool allows) { allows_multiple_selection_ = allows; }
  bool canChooseDirectories() const { return can_choose_directories_; }
  void setCanChooseDirectories(bool can) { can_choose_directories_ = can; }
  bool canChooseFiles() const { return can_choose_files_; }
  void setCanChooseFiles(bool can) { can_choose_files_ = can; }
  bool treatsFilePackagesAsDirectories() const { return treats_packages_as_directories_; }
  void setTreatsFilePackagesAsDirectories(bool treats) { treats_packages_as_directories_ = treats; }

  // Every URL the user chose, in the order the panel lists them.
  const std::vector<NSURL>& URLs() const { return chosenURLs(); }

 private:
  bool allows_multiple_selection_ = false;
  bool can_choose_directories_ = false;
  bool can_choose_files_ = true;
  bool treats_packages_as_directories_ = false;
};
