// The process entry: hands its arguments to the application main routine and exits with its
// result.
#include <cstdlib>

#include "host/main_interface.h"

int main(int argc, const char* argv[]) {
  std::exit(NSApplicationMain(argc, argv, mainInterfaceDescription()));
}
