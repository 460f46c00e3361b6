// The process entry: installs the host's signal policy before anything else runs (so every
// thread inherits it), hands its arguments to the application main routine and exits with its
// result.
#include <cstdlib>

#include "host/main_interface.h"
#include "host/signal_policy.h"

int main(int argc, const char* argv[]) {
  host::installSignalPolicy();
  std::exit(NSApplicationMain(argc, argv, mainInterfaceDescription()));
}
