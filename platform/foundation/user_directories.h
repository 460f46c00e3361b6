// Where the current user's files live on this system: the home directory and the XDG base
// directories. Everything that stores per-user files asks here, so that tests can point all of it
// at a temporary folder (testing/foundation_controls.h).
#pragma once

#include <string>

namespace foundation {

std::string userHomeDirectory();
// $XDG_CONFIG_HOME, else ~/.config.
std::string userConfigDirectory();
// $XDG_DATA_HOME, else ~/.local/share.
std::string userDataDirectory();
// $XDG_CACHE_HOME, else ~/.cache.
std::string userCacheDirectory();
// $XDG_DOCUMENTS_DIR, else ~/Documents.
std::string userDocumentsDirectory();

}  // namespace foundation
