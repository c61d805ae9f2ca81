# Runs one scenario: packs its publication with vlpack, plays it headless
# with its script and compares the trace, the variables and (when the
# scenario has one) the screenshot with what it expects.
#   -DVLPACK=... -DVELLION=... -DPNGDIFF=... -DSCENARIO=<folder> -DOUT=<folder>
file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
# A scenario without its own pub/ names the publication folder it plays in
# pub-path.txt (relative to the scenario), so the bundled sample is played
# as shipped.
set(pub "${SCENARIO}/pub")
if(NOT EXISTS "${pub}" AND EXISTS "${SCENARIO}/pub-path.txt")
  file(STRINGS "${SCENARIO}/pub-path.txt" rel LIMIT_COUNT 1)
  get_filename_component(pub "${SCENARIO}/${rel}" ABSOLUTE)
endif()
execute_process(COMMAND "${VLPACK}" build -o "${OUT}/pub.pkg" "${pub}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "vlpack failed (${rc}): ${out}${err}")
endif()
set(args --headless --trace "${OUT}/trace.txt" --dump-vars "${OUT}/vars.txt" --screenshot "${OUT}/screen.png"
         --timeout 60)
if(EXISTS "${SCENARIO}/input.txt")
  list(APPEND args --script "${SCENARIO}/input.txt")
endif()
execute_process(COMMAND "${VELLION}" ${args} "${OUT}/pub.pkg"
                WORKING_DIRECTORY "${OUT}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err
                TIMEOUT 120)
message(STATUS "vellion exit status ${rc}\n${err}")
set(failed "")
foreach(part trace vars)
  if(EXISTS "${SCENARIO}/expected-${part}.txt")
    file(READ "${SCENARIO}/expected-${part}.txt" want)
    set(got "")
    if(EXISTS "${OUT}/${part}.txt")
      file(READ "${OUT}/${part}.txt" got)
    endif()
    if(NOT got STREQUAL want)
      string(APPEND failed "${part} differs.\n--- expected\n${want}\n--- got\n${got}\n")
    endif()
  endif()
endforeach()
if(EXISTS "${SCENARIO}/expected.png")
  execute_process(COMMAND "${PNGDIFF}" "${SCENARIO}/expected.png" "${OUT}/screen.png"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    string(APPEND failed "screenshot differs: ${out}${err}\n")
  endif()
endif()
if(failed)
  message(FATAL_ERROR "${failed}")
endif()
