# Shared compile settings and small helpers for the project's targets.

# Sanitized builds link every plug-in into several executables, each carrying the sanitizers'
# data; kept as they come, one build fills several gigabytes. Archives name their objects instead
# of copying them, relative relocations are packed, and debug sections are compressed.
foreach(lang C CXX)
  set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcT <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qT <TARGET> <LINK_FLAGS> <OBJECTS>")
endforeach()
include(CheckLinkerFlag)
check_linker_flag(CXX "-Wl,-z,pack-relative-relocs" HOST_LINKER_PACKS_RELOCATIONS)

add_library(host_build_settings INTERFACE)
target_compile_options(host_build_settings INTERFACE -Wall -Wextra -Werror -Wno-missing-field-initializers)
if(HOST_SANITIZE)
  target_compile_options(host_build_settings INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer
    # GCC gives every one of UndefinedBehaviorSanitizer's millions of check records an
    # AddressSanitizer red zone of its own, which quadruples the data of every executable; arrays
    # are bounds-checked by UndefinedBehaviorSanitizer instead.
    --param=asan-globals=0)
  target_link_options(host_build_settings INTERFACE -fsanitize=address,undefined)
endif()
if(HOST_SANITIZE OR HOST_SANITIZE_THREAD)
  target_compile_options(host_build_settings INTERFACE -gz)
  target_link_options(host_build_settings INTERFACE -gz)
  if(HOST_LINKER_PACKS_RELOCATIONS)
    target_link_options(host_build_settings INTERFACE -Wl,-z,pack-relative-relocs)
  endif()
endif()
if(HOST_SANITIZE_THREAD)
  if(HOST_SANITIZE)
    message(FATAL_ERROR "HOST_SANITIZE_THREAD and HOST_SANITIZE cannot be combined")
  endif()
  target_compile_options(host_build_settings INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(host_build_settings INTERFACE -fsanitize=thread)
endif()
# GCC 12's optimiser reports restrict, maybe-uninitialized, stringop-overflow, stringop-overread,
# array-bounds and nonnull-compare warnings inside the standard library that are false. Those it
# gives on our sources are silenced per file (CompilerFalsePositives.cmake); one a new compiler or
# library finds stays a warning in optimised builds, so that it cannot stop a user's build. Debug
# builds (CI) keep all warnings as errors.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(host_build_settings INTERFACE
    $<$<NOT:$<CONFIG:Debug>>:-Wno-error=restrict -Wno-error=maybe-uninitialized
      -Wno-error=stringop-overflow -Wno-error=stringop-overread -Wno-error=array-bounds
      -Wno-error=nonnull-compare>)
endif()
target_include_directories(host_build_settings INTERFACE ${PROJECT_SOURCE_DIR})

# host_library(<name> SOURCES ... DEPS ...): a static library with the project's settings.
function(host_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC host_build_settings ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# host_test(<name> SOURCES ... DEPS ... [THREADS]): a GoogleTest executable registered with
# CTest. THREADS marks suites whose threads race on purpose: they also run under ThreadSanitizer
# (label "threads").
function(host_test name)
  if(NOT HOST_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "THREADS" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE host_build_settings ${ARG_DEPS} GTest::gtest GTest::gmock
                                        test_main)
  if(ARG_THREADS)
    set_property(GLOBAL APPEND PROPERTY HOST_THREAD_TESTS ${name})
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120 LABELS threads)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
  endif()
endfunction()

# host_benchmark(<name> SOURCES ... DEPS ...): a Google Benchmark program.
function(host_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE host_build_settings ${ARG_DEPS} benchmark::benchmark
                                        benchmark::benchmark_main)
endfunction()

# host_plugin(<name> SOURCES ... DEPS ...): a plug-in library that the host links.
function(host_plugin name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  host_library(${name} SOURCES ${ARG_SOURCES} DEPS platform_flutter ${ARG_DEPS})
  set_property(GLOBAL APPEND PROPERTY HOST_PLUGIN_LIBRARIES ${name})
endfunction()
