# Test files made at build time by a Python script of the tests from real
# tools: mirefold_made_fixture(TARGET SCRIPT FOLDER COMMENT) adds the target
# TARGET, which runs "python3 SCRIPT FOLDER <Info-ZIP zip>" again whenever
# the script changes.
include_guard(GLOBAL)
find_program(MF_PYTHON3 python3 REQUIRED)
find_program(MF_INFOZIP zip REQUIRED)

function(mirefold_made_fixture target script folder comment)
  add_custom_command(OUTPUT ${folder}/made.stamp
    COMMAND ${MF_PYTHON3} ${script} ${folder} ${MF_INFOZIP}
    COMMAND ${CMAKE_COMMAND} -E touch ${folder}/made.stamp
    DEPENDS ${script}
    COMMENT "${comment}"
    VERBATIM)
  add_custom_target(${target} DEPENDS ${folder}/made.stamp)
endfunction()
