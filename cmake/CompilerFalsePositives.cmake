# Warnings GCC 12's optimiser gives on this project's sources that are false, silenced per source
# file and only where they are given: optimised builds, since they come from inlining the standard
# library. Debug builds (the sanitize and thread presets) keep every warning as an error, so code
# that would really warn there still fails. Each entry names the diagnostic and why it is false.
# Included from the top-level CMakeLists.txt once every target exists.
include_guard(GLOBAL)

# host_quiet_false_positive(<diagnostic>... TARGET <target> SOURCES ...): no -W<diagnostic> for
# the sources, which are relative to the project and belong to <target>'s directory.
function(host_quiet_false_positive)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    return()
  endif()
  cmake_parse_arguments(ARG "" "TARGET" "SOURCES" ${ARGN})
  list(TRANSFORM ARG_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/)
  foreach(diagnostic IN LISTS ARG_UNPARSED_ARGUMENTS)
    set_property(SOURCE ${ARG_SOURCES} TARGET_DIRECTORY ${ARG_TARGET} APPEND
                 PROPERTY COMPILE_OPTIONS $<$<NOT:$<CONFIG:Debug>>:-Wno-${diagnostic}>)
  endforeach()
endfunction()

# -Wmaybe-uninitialized: the value of a std::optional is read only where it is engaged (a deadline
# read after the wait that set it; a payload moved only when present), but once the optional's
# copy or move is inlined GCC also follows the disengaged path into the value's bytes.
host_quiet_false_positive(maybe-uninitialized TARGET platform_avfoundation
  SOURCES platform/avfoundation/cv_display_link.cc)
host_quiet_false_positive(maybe-uninitialized TARGET platform_quartzcore
  SOURCES platform/quartzcore/internal/display_refresh.cc)
host_quiet_false_positive(maybe-uninitialized TARGET platform_flutter
  SOURCES platform/flutter/socket_dart_side.cc)
host_quiet_false_positive(maybe-uninitialized TARGET platform_security
  SOURCES platform/security/testing/trust_controls.cc)
host_quiet_false_positive(maybe-uninitialized TARGET plugin_now_playing
  SOURCES plugins/now_playing/now_playing_bridge.cc)

# -Wrestrict: a string literal joined to a std::string ("\"" + key) inlines char_traits::copy with
# a length GCC 12 cannot bound, so it reports an overlap of some 2^63 bytes; the two buffers are
# distinct and the lengths small.
host_quiet_false_positive(restrict TARGET platform_system
  SOURCES platform/system/kernel_values.cc)
host_quiet_false_positive(restrict TARGET platform_webrtc
  SOURCES platform/webrtc/rtc_peer_connection_transport.cc)
host_quiet_false_positive(restrict TARGET platform_webkit
  SOURCES platform/webkit/ns_object.cc)
host_quiet_false_positive(restrict TARGET plugin_file_export
  SOURCES plugins/file_export/atomic_file_replacer.cc)
host_quiet_false_positive(restrict TARGET plugin_now_playing
  SOURCES plugins/now_playing/now_playing_arguments.cc)
host_quiet_false_positive(restrict TARGET plugin_pdf_pages
  SOURCES plugins/pdf_pages/pdf_arguments.cc)
host_quiet_false_positive(restrict TARGET plugin_wkwebview_host
  SOURCES plugins/wkwebview_host/web_kit_library/proxy_api_registrar.cc)

# -Warray-bounds, -Wstringop-overflow and -Wstringop-overread: appending to a vector that holds a
# byte or two (vector::insert, emplace_back) inlines the copy into the grown buffer, which GCC 12
# checks against the buffer before the growth; the copy goes to the new one, large enough. The
# three are one finding reported by different passes: silencing one brings out the next.
host_quiet_false_positive(array-bounds stringop-overflow stringop-overread TARGET web_content
  SOURCES platform/webkit/content_process/web_content_main.cc)
host_quiet_false_positive(array-bounds stringop-overflow stringop-overread TARGET pdf_pages_drawing
  SOURCES plugins/pdf_pages/drawing_messages.cc)
host_quiet_false_positive(array-bounds stringop-overflow stringop-overread TARGET platform_webkit
  SOURCES platform/webkit/ns_object.cc)
