# mirefold_add_tool(<name> [WINDOWS] SOURCES <file>... [LIBRARIES <library>...])
# A Windows program of the build: a console program (a GUI program with
# WINDOWS) with a wide-character entry point (wmain or wWinMain), linked
# against the given libraries, seeing tools/common, and put into <build>/bin.
function(mirefold_add_tool name)
  cmake_parse_arguments(PARSE_ARGV 1 tool "WINDOWS" "" "SOURCES;LIBRARIES")
  add_executable(${name} ${tool_SOURCES})
  target_link_libraries(${name} PRIVATE ${tool_LIBRARIES})
  # What the tools share (tools/common).
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tools/common)
  if(MINGW)
    if(tool_WINDOWS)
      target_link_options(${name} PRIVATE -municode -mwindows)
    else()
      target_link_options(${name} PRIVATE -municode -mconsole)
    endif()
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endfunction()
