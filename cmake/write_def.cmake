# Writes the module-definition file of zor.dll: every export of the C
# interface under its own name, nothing else.
#   cmake -DHEADER=zor/zor.h -DOUTPUT=zor.def -P write_def.cmake
include(${CMAKE_CURRENT_LIST_DIR}/zor_exports.cmake)
zor_export_names(${HEADER} names)
set(text "LIBRARY zor.dll\nEXPORTS\n")
foreach(name IN LISTS names)
  string(APPEND text "  ${name}\n")
endforeach()
# Rewrite only on change, so that the DLL relinks only when the exports change.
file(CONFIGURE OUTPUT ${OUTPUT} CONTENT "${text}" @ONLY)
