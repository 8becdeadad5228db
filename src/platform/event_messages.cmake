# The DLL's message table for the Windows Event Log, made from
# velm_events.mc with windmc and compiled with windres. The resource is an
# object library of its own: the resource compiler takes none of the C++
# warning flags.
enable_language(RC)
find_program(VELM_WINDMC NAMES ${VELM_MINGW_PREFIX}-windmc x86_64-w64-mingw32-windmc windmc REQUIRED)
set(VELM_EVENTS_DIR ${CMAKE_CURRENT_BINARY_DIR}/event_messages)
add_custom_command(
  OUTPUT ${VELM_EVENTS_DIR}/velm_events.rc ${VELM_EVENTS_DIR}/MSG00409.bin
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VELM_EVENTS_DIR}
  COMMAND ${VELM_WINDMC} -h ${VELM_EVENTS_DIR} -r ${VELM_EVENTS_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/platform/velm_events.mc
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/platform/velm_events.mc
  VERBATIM)
add_library(velm_event_messages OBJECT ${VELM_EVENTS_DIR}/velm_events.rc)
target_sources(velm_basetool PRIVATE $<TARGET_OBJECTS:velm_event_messages>)
