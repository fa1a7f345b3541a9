# A restart of the real program under a display server keeps the language and
# the recent configurations: a first run switches to English and opens two
# configurations, a second run shows what it found.
# cmake -DVANTOR=<program> -DWORK=<empty folder> -P restart_test.cmake
find_program(XVFB_RUN xvfb-run)
if(NOT XVFB_RUN)
  message("xvfb-run is absent: the restart test of the window is skipped")
  # The test's SKIP_RETURN_CODE.
  cmake_language(EXIT 77)
endif()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/config)
set(ENV{XDG_CONFIG_HOME} ${WORK}/config)
# On a real display Qt talks to D-Bus, whose library keeps a buffer to the end:
# not ours, so the leak check of a sanitizer build leaves it aside.
set(ENV{LSAN_OPTIONS} "suppressions=${CMAKE_CURRENT_LIST_DIR}/lsan.supp")
file(WRITE ${WORK}/a.cod "[General]\nSource=\"src-a\"\n")
file(WRITE ${WORK}/b.cod "[General]\nSource=\"src-b\"\n")

function(run_window out)
  execute_process(COMMAND ${XVFB_RUN} -a ${VANTOR} --test ${ARGN}
                  OUTPUT_VARIABLE text ERROR_VARIABLE err RESULT_VARIABLE rc TIMEOUT 60)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "vantor --test ${ARGN} ended with ${rc}:\n${text}\n${err}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

run_window(first state)
set(fresh "caption=Vantor - Nouveau\nFrench=1\nhelp=VANTOR.html\nVerifier=Vérifier\nFichierQuitter=&Quitter\n")
if(NOT first STREQUAL fresh)
  message(FATAL_ERROR "a first start is not in French with no recent entry:\n${first}")
endif()

run_window(switched english open=${WORK}/a.cod open=${WORK}/b.cod state)
run_window(again state)
set(expected "caption=Vantor - ${WORK}/b.cod\nFrench=0\nhelp=vantor2.html\nVerifier=Check\nFichierQuitter=&Quit\nrecent=${WORK}/b.cod\nrecent=${WORK}/a.cod\n")
if(NOT again STREQUAL expected)
  message(FATAL_ERROR "after a restart:\n${again}\nexpected:\n${expected}")
endif()
message("restart kept the language and the recent list:\n${again}")
