# Compares the export table of a DLL (objdump -p) with the names of the C
# interface; fails on any extra, missing or decorated export.
#   cmake -DDLL=zor.dll -DOBJDUMP=objdump -DHEADER=zor/zor.h -P check_exports.cmake
include(${CMAKE_CURRENT_LIST_DIR}/zor_exports.cmake)
zor_export_names(${HEADER} expected)

execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()
# The name pointer table lists one export a line: "\t[ordinal] name".
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(.*)" table "${dump}")
set(table "${CMAKE_MATCH_1}")
string(REPLACE "\n" ";" table_lines "${table}")
set(actual)
foreach(line IN LISTS table_lines)
  if(line MATCHES "^[ \t]*\\[[ 0-9]+\\] ([^ \t]+)")
    list(APPEND actual ${CMAKE_MATCH_1})
  elseif(actual AND NOT line MATCHES "^[ \t]*$")
    break()
  endif()
endforeach()
list(SORT actual)

set(missing ${expected})
list(REMOVE_ITEM missing ${actual})
set(extra ${actual})
list(REMOVE_ITEM extra ${expected})
list(LENGTH expected expected_count)
list(LENGTH actual actual_count)
if(missing OR extra)
  list(JOIN missing " " missing_text)
  list(JOIN extra " " extra_text)
  message(FATAL_ERROR "${DLL}: exports differ from the C interface"
    " (${actual_count} exported, ${expected_count} declared)\n"
    "  missing: ${missing_text}\n  extra: ${extra_text}")
endif()
message(STATUS "${DLL}: ${actual_count} exports, exactly the names of the C interface")
