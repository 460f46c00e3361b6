// The process entry: gives the process its standard descriptors and installs the host's signal
// policy before anything else runs (so every thread inherits it), hands its arguments to the
// application main routine and exits with its result.
#include <cstdlib>

#include "host/main_interface.h"
#include "host/signal_policy.h"
#include "host/standard_descriptors.h"

int main(int argc, const char* argv[]) {
  host::openMissingStandardDescriptors();
  host::installSignalPolicy();
  std::exit(NSApplicationMain(argc, argv, mainInterfaceDescription()));
}
