# Installs the build into a fresh prefix and checks the scheduled check's units: the command line
# of the service, run as systemd would run it in a site's folder, checks devices served by
# qlx-devsim on loopback, leaves a dated report naming each device and records the history, one
# commit per run that changed something; a device that refuses the connection fails the unit.
# systemd-analyze accepts both units, their manual page included.
cmake_minimum_required(VERSION 3.25)
set(site ${PREFIX}-site)
set(port 2471)
set(sim_pid "")
file(REMOVE_RECURSE ${PREFIX} ${site})

# The simulator is stopped before any failure is reported, so that no test leaves it running.
function(fail text)
    if(sim_pid)
        execute_process(COMMAND kill ${sim_pid})
    endif()
    message(FATAL_ERROR "${text}")
endfunction()

execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    fail("cmake --install failed: ${rc}")
endif()
set(units ${PREFIX}/${UNITDIR})
foreach(unit qlx-setting-check@.service qlx-setting-check@.timer)
    if(NOT EXISTS ${units}/${unit})
        fail("not installed: ${UNITDIR}/${unit}")
    endif()
endforeach()
find_program(git git)
if(NOT git)
    fail("git is missing (Debian's package git): the history cannot be read")
endif()

# The shell's command, as systemd hands it over: $$ and %% unescaped.
file(STRINGS ${units}/qlx-setting-check@.service exec REGEX "^ExecStart=")
if(NOT exec MATCHES "^ExecStart=/bin/sh -c '(.*)'$")
    fail("ExecStart is not one shell command: ${exec}")
endif()
string(REPLACE "$$" "$" command "${CMAKE_MATCH_1}")
string(REPLACE "%%" "%" command "${command}")

# Two devices that answer; "timeout" ends the simulator should this script itself be killed.
file(MAKE_DIRECTORY ${site})
execute_process(COMMAND sh -c "timeout 300 \"$0\" --no-search --port ${port} \
--device 127.0.0.131 --device 127.0.0.132 >\"$1/devsim.out\" 2>&1 </dev/null & echo $!"
                        ${PREFIX}/${BINDIR}/qlx-devsim ${PREFIX} OUTPUT_VARIABLE sim_pid
                        OUTPUT_STRIP_TRAILING_WHITESPACE)
set(said "")
foreach(attempt RANGE 100)
    if(EXISTS ${PREFIX}/devsim.out)
        file(READ ${PREFIX}/devsim.out said)
    endif()
    string(REGEX MATCHALL "listening" ready "${said}")
    list(LENGTH ready ready)
    if(ready EQUAL 2)
        break()
    endif()
    execute_process(COMMAND kill -0 ${sim_pid} RESULT_VARIABLE alive)
    if(NOT alive EQUAL 0 OR attempt EQUAL 100)
        fail("qlx-devsim did not start: ${said}")
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 0.1)
endforeach()

string(ASCII 13 cr)
function(record no name byte mac)
    file(APPEND ${site}/list.csv "00${no},F0000001,${name},127.0.0.${byte},80,${port},\
00:EE:80:00:00:${mac},,,admin,plume,,,${cr}\n")
endfunction()
file(WRITE ${site}/qlx-setting.Ini "[setting]${cr}\nwait1=0${cr}\n")
file(WRITE ${site}/list.csv "")

# Each run: the records it adds to the site's list first ("-" none; number, name, last byte of
# the address and of the MAC address the device reports), the exit code the unit ends with, the
# commits the history then holds and the devices its report names. Nothing listens on .133.
set(runs
    "1 hall 131 83,2 office 132 84|0|1|hall office"
    "-|0|1|hall office"
    "3 closed 133 85|1|1|hall office closed")
foreach(label IN LISTS runs)
    string(REPLACE "|" ";" run "${label}")
    list(GET run 0 added)
    list(GET run 1 want_rc)
    list(GET run 2 want_commits)
    list(GET run 3 names)
    if(NOT added STREQUAL "-")
        string(REPLACE "," ";" added "${added}")
        foreach(r IN LISTS added)
            string(REPLACE " " ";" r "${r}")
            record(${r})
        endforeach()
    endif()
    file(REMOVE_RECURSE ${site}/reports)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env "PATH=${PREFIX}/${BINDIR}:$ENV{PATH}"
                            "QLX_SELECTION=--all" "QLX_OPTIONS=--pace prompt" LC_ALL=C
                            sh -c "${command}"
                    WORKING_DIRECTORY ${site} RESULT_VARIABLE rc ERROR_VARIABLE said OUTPUT_QUIET)
    if(NOT rc EQUAL want_rc)
        fail("run '${label}': the scheduled check exited ${rc}, not ${want_rc}: ${said}")
    endif()
    file(GLOB reports RELATIVE ${site}/reports ${site}/reports/*.json)
    if(NOT reports MATCHES "^check-[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9]-[0-9][0-9][0-9][0-9][0-9][0-9][.]json$")
        fail("run '${label}': no one dated report in reports/: '${reports}'")
    endif()
    file(READ ${site}/reports/${reports} report)
    string(REGEX MATCHALL "\"name\": \"[a-z]+\"" named "${report}")
    string(REGEX REPLACE "\"name\": \"([a-z]+)\"" "\\1" named "${named}")
    string(REPLACE " " ";" names "${names}")
    if(NOT named STREQUAL names)
        fail("run '${label}': the report names ${named}, not ${names}: ${report}")
    endif()
    execute_process(COMMAND ${git} -C ${site}/data/history.git rev-list --count --all
                    RESULT_VARIABLE rc OUTPUT_VARIABLE commits ERROR_VARIABLE commits
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT rc EQUAL 0 OR NOT commits STREQUAL want_commits)
        fail("run '${label}': the history holds ${commits} commit(s), not ${want_commits}")
    endif()
endforeach()
execute_process(COMMAND kill ${sim_pid})
set(sim_pid "")
file(REMOVE_RECURSE ${site})

find_program(analyze systemd-analyze)
if(NOT analyze)
    message("skipped: systemd-analyze is missing (Debian's package systemd)")
    file(REMOVE_RECURSE ${PREFIX})
    return()
endif()
# From a folder of its own: verify loads the units beside the ones it is given.
execute_process(COMMAND ${CMAKE_COMMAND} -E env "MANPATH=${PREFIX}/${MANDIR}"
                        ${analyze} verify qlx-setting-check@.service qlx-setting-check@.timer
                WORKING_DIRECTORY ${units} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
    message(FATAL_ERROR "systemd-analyze verify (${rc}): ${out}")
endif()
file(REMOVE_RECURSE ${PREFIX})
