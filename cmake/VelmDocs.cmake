# The API reference from the installed headers' comments: cmake --build . --target docs
# writes it to <build>/docs/html; the install then puts it beside the headers' package.
# With VELM_DOCS_WARNINGS_AS_ERRORS a Doxygen warning fails the target.
find_package(Doxygen QUIET)
option(VELM_DOCS_WARNINGS_AS_ERRORS "Doxygen warnings fail the docs target" OFF)
if(DOXYGEN_FOUND)
  set(VELM_DOCS_DIR ${PROJECT_BINARY_DIR}/docs)
  set(VELM_DOCS_HTML_DIR ${VELM_DOCS_DIR}/html)
  if(VELM_DOCS_WARNINGS_AS_ERRORS)
    set(VELM_DOCS_WARN_AS_ERROR FAIL_ON_WARNINGS)
  else()
    set(VELM_DOCS_WARN_AS_ERROR NO)
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/docs/api/Doxyfile.in ${VELM_DOCS_DIR}/Doxyfile @ONLY)
  file(GLOB VELM_PUBLIC_HEADERS ${PROJECT_SOURCE_DIR}/include/*.h)
  add_custom_command(OUTPUT ${VELM_DOCS_HTML_DIR}/index.html
    COMMAND ${DOXYGEN_EXECUTABLE} ${VELM_DOCS_DIR}/Doxyfile
    DEPENDS ${VELM_PUBLIC_HEADERS} ${VELM_DOCS_DIR}/Doxyfile ${PROJECT_SOURCE_DIR}/docs/api/comment_filter.sh
    COMMENT "API reference (Doxygen)" VERBATIM)
  add_custom_target(docs DEPENDS ${VELM_DOCS_HTML_DIR}/index.html)
endif()
