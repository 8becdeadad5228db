# The DLL exports the names of velm_basetool.def too: the class members under
# their Microsoft-decorated names. Hosts built with Microsoft's compiler link
# velm_basetool.lib, an import library made from the same list.
set(VELM_MSVC_DEF_SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/platform/msvc_abi/velm_basetool.def)
target_sources(velm_basetool PRIVATE ${VELM_MSVC_DEF_SOURCE})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${VELM_MSVC_DEF_SOURCE})

# A host sees the exported names only, not the entries they are bound to.
file(READ ${VELM_MSVC_DEF_SOURCE} def_text)
string(REGEX REPLACE " = [A-Za-z0-9_]+" "" def_text "${def_text}")
string(REGEX REPLACE "[;][^\n]*\n" "" def_text "${def_text}")
set(VELM_MSVC_DEF ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/velm_basetool.def CACHE INTERNAL "")
set(VELM_MSVC_LIB ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/velm_basetool.lib CACHE INTERNAL "")
file(GENERATE OUTPUT ${VELM_MSVC_DEF} CONTENT "${def_text}")

find_program(VELM_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)
add_custom_command(OUTPUT ${VELM_MSVC_LIB}
  COMMAND ${VELM_LLVM_DLLTOOL} -m i386:x86-64 -d ${VELM_MSVC_DEF} -l ${VELM_MSVC_LIB}
  DEPENDS ${VELM_MSVC_DEF}
  COMMENT "Import library for Microsoft's linker")
add_custom_target(velm_basetool_msvc_import ALL DEPENDS ${VELM_MSVC_LIB})
