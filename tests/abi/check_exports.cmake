# The names a built library exports (DUMP: nm -D or objdump -p) are those the headers declare,
# as clang mangles them for TRIPLE, plus on Windows those of DEF, the headers' in Microsoft's ABI.

# The headers' names for one target; implicit and defaulted members are inline.
function(header_names triple out)
  execute_process(COMMAND ${CLANG} --target=${triple} -ffreestanding -std=c++17 -fsyntax-only
      -I${FREESTANDING} -I${INCLUDE} -include velm_datum.h -include velm_paramline.h
      -include velm_string.h -x c++ /dev/null -Xclang -ast-dump=json -Xclang -ast-dump-filter=VELM_
    OUTPUT_VARIABLE dump COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE "[][;]" "" dump "${dump}")
  string(REPLACE "\"id\":" ";" nodes "${dump}")
  list(FILTER nodes EXCLUDE REGEX "isImplicit|explicitlyDefaulted")
  string(REGEX MATCHALL "\"mangledName\": \"[^\"]+" names "${nodes}")
  list(TRANSFORM names REPLACE "^\"mangledName\": \"" "")
  list(REMOVE_DUPLICATES names)
  set(${out} ${names} PARENT_SCOPE)
endfunction()

function(expect_same a b what)
  set(only_a ${${a}})
  list(REMOVE_ITEM only_a ${${b}})
  set(only_b ${${b}})
  list(REMOVE_ITEM only_b ${${a}})
  if(only_a OR only_b)
    message(FATAL_ERROR "${what} differ\nmissing: ${only_a}\nunexpected: ${only_b}")
  endif()
endfunction()

execute_process(COMMAND ${DUMP} ${LIBRARY} OUTPUT_VARIABLE dump COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" ";" actual "${dump}")
set(symbol_line "^([ \t]*\\[ *[0-9]+\\]|[0-9a-f]+ [TWDBRVi]) ([^ \t]+)$")
list(FILTER actual INCLUDE REGEX "${symbol_line}")
list(TRANSFORM actual REPLACE "${symbol_line}" "\\2")
list(REMOVE_DUPLICATES actual)

header_names(${TRIPLE} expected)
# The compiler emits and exports a second symbol for every constructor.
string(REGEX MATCHALL "[^;]*C1E[^;]*" bases "${expected}")
list(TRANSFORM bases REPLACE "C1E" "C2E")
list(APPEND expected ${bases})

if(DEF)
  header_names(x86_64-pc-windows-msvc microsoft)
  file(STRINGS ${DEF} def_names REGEX "^ +[\"A-Za-z_?]")
  list(TRANSFORM def_names REPLACE "^ +\"?([^\" ]+).*" "\\1")
  expect_same(microsoft def_names "the names of ${DEF} and of the headers")
  list(APPEND expected ${microsoft})
  list(REMOVE_DUPLICATES expected)
endif()
expect_same(expected actual "exported names")
