# The copyright line of LICENSE, for the places that show it (the Windows
# version resource, the Debian copyright files): VELM_COPYRIGHT_HOLDER is the
# text after "Copyright (c) ", VELM_LICENSE_TEXT the licence without its title.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE VELM_LICENSE_TEXT)
string(REGEX REPLACE "^MIT License\n\n" "" VELM_LICENSE_TEXT "${VELM_LICENSE_TEXT}")
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" _ "${VELM_LICENSE_TEXT}")
set(VELM_COPYRIGHT_HOLDER "${CMAKE_MATCH_1}")
