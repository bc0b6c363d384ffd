# Windows build with MinGW-w64 (see toolchain-mingw-w64.cmake). Included by
# CMakeLists.txt after the source lists (which take the *_win.cpp halves of
# the platform layer here) and before the first target; the part that needs
# the targets runs at the end of the directory.

# The MinGW runtime (libgcc, libstdc++, winpthread) is linked in, so that
# zor.dll and the programs need no other DLL beside them.
add_link_options(-static)

# Header-only libraries of the command-line host come from the build machine:
# only their own folders are made visible, not the whole of /usr/include.
set(ZOR_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${ZOR_HOST_HEADERS})
foreach(dir CLI nlohmann)
  if(EXISTS /usr/include/${dir} AND NOT EXISTS ${ZOR_HOST_HEADERS}/${dir})
    file(CREATE_LINK /usr/include/${dir} ${ZOR_HOST_HEADERS}/${dir} SYMBOLIC)
  endif()
endforeach()
# The cross toolchain searches only its own root; these are found here instead.
set(ZOR_CLI11_INCLUDE ${ZOR_HOST_HEADERS} CACHE PATH "CLI11 headers for the cross build")
set(ZOR_JSON_INCLUDE ${ZOR_HOST_HEADERS} CACHE PATH "nlohmann-json headers for the cross build")

# GoogleTest built from Debian's source package with the cross compiler.
if(ZOR_BUILD_TESTS AND NOT TARGET GTest::gtest)
  set(ZOR_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${ZOR_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

function(zor_windows_targets)
  # zor.dll exports exactly the C interface, under its own names: the .def
  # file is generated from zor/zor.h, so that new exports flow in.
  set(def ${CMAKE_BINARY_DIR}/zor.def)
  add_custom_command(OUTPUT ${def}
    COMMAND ${CMAKE_COMMAND} -DHEADER=${PROJECT_SOURCE_DIR}/zor/zor.h -DOUTPUT=${def}
            -P ${PROJECT_SOURCE_DIR}/cmake/write_def.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/zor/zor.h ${PROJECT_SOURCE_DIR}/cmake/write_def.cmake
            ${PROJECT_SOURCE_DIR}/cmake/zor_exports.cmake
    COMMENT "Generating zor.def from zor/zor.h")
  target_sources(zor PRIVATE ${def})
  # zor.dll and libzor.dll.a, the names hosts link against.
  set_target_properties(zor PROPERTIES PREFIX "")

  # Every module that carries the core carries its version resource, read
  # back by _GetDllVersion (the DLL marks itself as one).
  target_sources(zor_core INTERFACE $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/cmake/zor_version.rc>)
  target_compile_definitions(zor_core INTERFACE
    "$<$<AND:$<COMPILE_LANGUAGE:RC>,$<STREQUAL:$<TARGET_PROPERTY:TYPE>,SHARED_LIBRARY>>:ZOR_RESOURCE_DLL>")
  target_link_libraries(zor_core PUBLIC version)

  # zor.dll exports only the C interface, so the command-line host carries
  # the static core instead of linking the DLL; its commands are compiled as
  # the core's own code (no dllimport), as the test binary's are.
  set_property(TARGET zor_cli PROPERTY LINK_LIBRARIES zor_core)
  target_compile_definitions(zor_cli_commands PRIVATE ZOR_BUILDING_LIBRARY)

  get_property(targets DIRECTORY ${PROJECT_SOURCE_DIR} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_include_directories(${target} SYSTEM PRIVATE ${ZOR_HOST_HEADERS})
    endif()
  endforeach()

  # The i686 DLL's export table against the names of the C interface.
  add_custom_target(check_exports
    COMMAND ${CMAKE_COMMAND} -DDLL=$<TARGET_FILE:zor> -DOBJDUMP=${CMAKE_OBJDUMP}
            -DHEADER=${PROJECT_SOURCE_DIR}/zor/zor.h -P ${PROJECT_SOURCE_DIR}/cmake/check_exports.cmake
    DEPENDS zor
    COMMENT "Comparing the exports of zor.dll with zor/zor.h")
endfunction()
cmake_language(DEFER CALL zor_windows_targets)
