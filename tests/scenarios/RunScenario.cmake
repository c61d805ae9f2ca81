# Runs one scenario: packs its publication with vlpack, plays it headless
# with its script and compares the trace, the variables and (when the
# scenario has one) the screenshot with what it expects.
#   -DVLPACK=... -DVELLION=... -DPNGDIFF=... -DSCENARIO=<folder> -DOUT=<folder>
#
# A known failure (known-failure.txt) still has to run to its end and to
# differ from what it expects exactly as recorded: the first line of
# known-failure.txt says why it fails, every further line is "PART FILE",
# PART being trace, vars or screenshot and FILE (in the scenario folder)
# what the run gives for that part today. The other parts must be as
# expected. A crash, any other difference, or a listed part that comes out
# as expected again fails the test, so none of these goes unnoticed.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
set(known_parts "")
if(EXISTS "${SCENARIO}/known-failure.txt")
  file(STRINGS "${SCENARIO}/known-failure.txt" lines)
  list(LENGTH lines n)
  if(n LESS 2)
    message(FATAL_ERROR "known-failure.txt needs the reason and at least one \"PART FILE\" line")
  endif()
  list(POP_FRONT lines why)
  foreach(line IN LISTS lines)
    if(line MATCHES "^[ \t]*$")
      continue()
    endif()
    if(NOT line MATCHES "^(trace|vars|screenshot)[ \t]+(.+)$")
      message(FATAL_ERROR "known-failure.txt: \"${line}\" is not \"trace|vars|screenshot FILE\"")
    endif()
    set(part "${CMAKE_MATCH_1}")
    set(known_${part} "${SCENARIO}/${CMAKE_MATCH_2}")
    if(NOT EXISTS "${known_${part}}")
      message(FATAL_ERROR "known-failure.txt: ${known_${part}} does not exist")
    endif()
    list(APPEND known_parts ${part})
  endforeach()
  message(STATUS "known failure: ${why}")
endif()
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
# options.txt: further options of the player, one a line (--safe).
if(EXISTS "${SCENARIO}/options.txt")
  file(STRINGS "${SCENARIO}/options.txt" extra)
  list(APPEND args ${extra})
endif()
# The player's per-user state (the registry, the drive tree) goes to a folder
# of the run's own, made afresh each time, never to the user's.
file(REMOVE_RECURSE "${OUT}/home")
set(ENV{XDG_CONFIG_HOME} "${OUT}/home/config")
set(ENV{XDG_DATA_HOME} "${OUT}/home/data")
execute_process(COMMAND "${VELLION}" ${args} "${OUT}/pub.pkg"
                WORKING_DIRECTORY "${OUT}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err
                TIMEOUT 120)
message(STATUS "vellion exit status ${rc}\n${err}")
# A signal (a crash, an abort) or a hang gives a text instead of a number.
if(NOT rc MATCHES "^[0-9]+$")
  message(FATAL_ERROR "vellion did not complete: ${rc}\n${err}")
endif()
set(failed "")
set(fixed "")
foreach(part trace vars)
  if(EXISTS "${SCENARIO}/expected-${part}.txt")
    file(READ "${SCENARIO}/expected-${part}.txt" want)
    set(got "")
    if(EXISTS "${OUT}/${part}.txt")
      file(READ "${OUT}/${part}.txt" got)
    endif()
    if(part IN_LIST known_parts)
      file(READ "${known_${part}}" known)
      if(got STREQUAL want)
        string(APPEND fixed "${part} ")
      elseif(NOT got STREQUAL known)
        string(APPEND failed "${part} differs from what is expected and from the known failure.\n"
                             "--- known failure\n${known}\n--- got\n${got}\n")
      endif()
    elseif(NOT got STREQUAL want)
      string(APPEND failed "${part} differs.\n--- expected\n${want}\n--- got\n${got}\n")
    endif()
  elseif(part IN_LIST known_parts)
    string(APPEND failed "known-failure.txt lists ${part}, but there is no expected-${part}.txt\n")
  endif()
endforeach()
if(EXISTS "${SCENARIO}/expected.png")
  execute_process(COMMAND "${PNGDIFF}" "${SCENARIO}/expected.png" "${OUT}/screen.png"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if("screenshot" IN_LIST known_parts)
    if(rc EQUAL 0)
      string(APPEND fixed "screenshot ")
    else()
      execute_process(COMMAND "${PNGDIFF}" "${known_screenshot}" "${OUT}/screen.png"
                      RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
      if(NOT rc EQUAL 0)
        string(APPEND failed "screenshot differs from expected.png and from the known failure: ${out}${err}\n")
      endif()
    endif()
  elseif(NOT rc EQUAL 0)
    string(APPEND failed "screenshot differs: ${out}${err}\n")
  endif()
elseif("screenshot" IN_LIST known_parts)
  string(APPEND failed "known-failure.txt lists screenshot, but there is no expected.png\n")
endif()
# Screenshots the script takes on the way ("screenshot NAME.png", written in
# the run's folder) are compared with expected-NAME.png, so a scenario can pin
# what shows at known virtual times.
file(GLOB _steps "${SCENARIO}/expected-*.png")
foreach(want IN LISTS _steps)
  get_filename_component(shot "${want}" NAME)
  string(REGEX REPLACE "^expected-" "" shot "${shot}")
  if(NOT EXISTS "${OUT}/${shot}")
    string(APPEND failed "the script wrote no ${shot} (expected-${shot} waits for it)\n")
    continue()
  endif()
  execute_process(COMMAND "${PNGDIFF}" "${want}" "${OUT}/${shot}"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    string(APPEND failed "screenshot ${shot} differs: ${out}${err}\n")
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "${failed}")
endif()
if(fixed)
  message(FATAL_ERROR "The known failure is gone (now as expected: ${fixed}): "
                      "remove known-failure.txt and the files it names.")
endif()
