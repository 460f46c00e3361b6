// Where a worker executable is found: next to the running executable when that lies in an
// application bundle (Contents/MacOS), as the installed host does; otherwise (test programs and
// tools, which run from the build tree) in the bundle folder of the build that made them.
#pragma once

#include <string>

namespace worker {

std::string workerExecutablePath(const std::string& name);

}  // namespace worker
