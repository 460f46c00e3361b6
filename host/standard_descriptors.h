// Standard input, output and error as the process must have them before it opens anything.
#pragma once

namespace host {

// Opens /dev/null on each of descriptors 0, 1 and 2 that the process was started without. A
// closed one would be taken by the next file the host opens (an eventfd, a socket), so that log
// lines would be written into it and children would inherit it as their standard stream. Call
// first in main, before anything opens a descriptor.
void openMissingStandardDescriptors();

}  // namespace host
