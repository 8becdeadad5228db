# Warnings and platform flags shared by every target of this project (not by
# GoogleTest, which is built from its sources with its own flags).
function(velm_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(WIN32)
    # The same C99 printf family on both platforms, so that a formatted line is
    # byte for byte what the Linux build writes.
    target_compile_definitions(${target} PRIVATE __USE_MINGW_ANSI_STDIO=1)
    # Needs nothing beyond the system DLLs: libgcc, libstdc++ and winpthread
    # are linked in.
    target_link_options(${target} PRIVATE -static)
  endif()
endfunction()
