# The export names of the C interface: every `ZOR_API ... _Name(` declaration
# (the return type may be ZOR_CLASS(T)) that opens a line inside the extern "C"
# block of zor/zor.h. The .def file of zor.dll and the export check both read
# the names from here.
function(zor_export_names header out_var)
  file(STRINGS ${header} lines)
  set(in_block OFF)
  set(names)
  foreach(line IN LISTS lines)
    if(line MATCHES "^extern \"C\" {")
      set(in_block ON)
    elseif(line MATCHES "^} /\\* extern \"C\" \\*/")
      set(in_block OFF)
    elseif(in_block AND line MATCHES "^ZOR_API ([^;(]|\\([A-Za-z_]+\\))*[ *](_[A-Za-z_][A-Za-z0-9_]*)\\(")
      list(APPEND names ${CMAKE_MATCH_2})
    endif()
  endforeach()
  if(NOT names)
    message(FATAL_ERROR "no ZOR_API declarations found in ${header}")
  endif()
  list(SORT names)
  set(${out_var} ${names} PARENT_SCOPE)
endfunction()
