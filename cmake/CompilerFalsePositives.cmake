# Warnings GCC 12's optimiser gives on this project's sources that are false, silenced per source
# file and only where they are given: optimised builds, since they come from inlining the standard
# library. Debug builds (the sanitize and thread presets) keep every warning as an error, so code
# that would really warn there still fails. Each entry names the diagnostics and why they are
# false. Included from the top-level CMakeLists.txt once every target exists.
include_guard(GLOBAL)

# host_quiet_false_positive(<diagnostic>... SOURCES ...): no -W<diagnostic> for the sources, given
# relative to the project; each belongs to the targets of its framework's or plug-in's directory
# (the path's first two folders).
function(host_quiet_false_positive)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES" ${ARGN})
  foreach(source IN LISTS ARG_SOURCES)
    string(REGEX MATCH "^[^/]+/[^/]+" owner ${source})
    foreach(diagnostic IN LISTS ARG_UNPARSED_ARGUMENTS)
      set_property(SOURCE ${PROJECT_SOURCE_DIR}/${source} DIRECTORY ${PROJECT_SOURCE_DIR}/${owner}
                   APPEND PROPERTY COMPILE_OPTIONS $<$<NOT:$<CONFIG:Debug>>:-Wno-${diagnostic}>)
    endforeach()
  endforeach()
endfunction()

# -Wmaybe-uninitialized: the value of a std::optional is read only where it is engaged (a deadline
# read after the wait that set it; a payload moved only when present), but once the optional's
# copy or move is inlined GCC also follows the disengaged path into the value's bytes.
host_quiet_false_positive(maybe-uninitialized SOURCES
  platform/avfoundation/cv_display_link.cc
  platform/quartzcore/internal/display_refresh.cc
  platform/flutter/socket_dart_side.cc
  platform/security/testing/trust_controls.cc
  plugins/now_playing/now_playing_bridge.cc)

# -Wrestrict: a string literal joined to a std::string ("\"" + key) inlines char_traits::copy with
# a length GCC 12 cannot bound, so it reports an overlap of some 2^63 bytes; the two buffers are
# distinct and the lengths small.
host_quiet_false_positive(restrict SOURCES
  platform/system/kernel_values.cc
  platform/webrtc/rtc_peer_connection_transport.cc
  platform/webkit/ns_object.cc
  plugins/file_export/atomic_file_replacer.cc
  plugins/now_playing/now_playing_arguments.cc
  plugins/pdf_pages/pdf_arguments.cc
  plugins/wkwebview_host/web_kit_library/proxy_api_registrar.cc)

# -Warray-bounds, -Wstringop-overflow and -Wstringop-overread: appending to a vector that holds a
# byte or two (vector::insert, emplace_back) inlines the copy into the grown buffer, which GCC 12
# checks against the buffer before the growth; the copy goes to the new one, large enough. The
# three are one finding reported by different passes: silencing one brings out the next.
host_quiet_false_positive(array-bounds stringop-overflow stringop-overread SOURCES
  platform/webkit/content_process/web_content_main.cc
  plugins/pdf_pages/drawing_messages.cc
  platform/webkit/ns_object.cc)
