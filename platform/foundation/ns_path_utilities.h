// The standard per-user directories, as the platform's search-path functions report them.
#pragma once

#include <string>
#include <vector>

enum NSSearchPathDirectory {
  NSCachesDirectory = 13,
  NSApplicationSupportDirectory = 14,
  NSDocumentDirectory = 9,
};

enum NSSearchPathDomainMask : unsigned long {
  NSUserDomainMask = 1,
};

// The directories of that kind in the given domains; only the user domain has any here. With
// `expandTilde` false the home directory is written as "~".
std::vector<std::string> NSSearchPathForDirectoriesInDomains(NSSearchPathDirectory directory,
                                                             NSSearchPathDomainMask domainMask,
                                                             bool expandTilde);

std::string NSHomeDirectory();
// The per-user temporary directory, with a trailing slash.
std::string NSTemporaryDirectory();
