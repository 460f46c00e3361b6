# Worker executables: helper programs the host starts with platform/worker. They are laid next to
# the host executable in the bundle (DesktopHost.app/Contents/MacOS), where the running host looks
# for them; test programs, which run outside the bundle, look in that same build folder.
include_guard(GLOBAL)

# The folder every worker executable is built into, whichever directory declares it.
set_property(GLOBAL PROPERTY WORKER_EXECUTABLE_DIR
             ${CMAKE_BINARY_DIR}/DesktopHost.app/Contents/MacOS)

# worker_executable(<name> SOURCES ... DEPS ...): a worker program with the project's settings.
function(worker_executable name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  get_property(folder GLOBAL PROPERTY WORKER_EXECUTABLE_DIR)
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE host_build_settings platform_worker_channel ${ARG_DEPS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${folder})
endfunction()
