# Installs the build into a fresh prefix and checks the scheduled check's units: the command
# line of the service, run as systemd would run it in a site's folder, is one the runner takes
# and leaves a dated report in reports/; systemd-analyze accepts both units, their manual page
# included.
cmake_minimum_required(VERSION 3.25)
set(site ${PREFIX}-site)
file(REMOVE_RECURSE ${PREFIX} ${site})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
set(units ${PREFIX}/${UNITDIR})
foreach(unit qlx-setting-check@.service qlx-setting-check@.timer)
    if(NOT EXISTS ${units}/${unit})
        message(FATAL_ERROR "not installed: ${UNITDIR}/${unit}")
    endif()
endforeach()

# The shell's command, as systemd hands it over: $$ and %% unescaped.
file(STRINGS ${units}/qlx-setting-check@.service exec REGEX "^ExecStart=")
if(NOT exec MATCHES "^ExecStart=/bin/sh -c '(.*)'$")
    message(FATAL_ERROR "ExecStart is not one shell command: ${exec}")
endif()
string(REPLACE "$$" "$" command "${CMAKE_MATCH_1}")
string(REPLACE "%%" "%" command "${command}")

# A site whose one device refuses the connection: the run fails that device (exit 1), fast.
file(MAKE_DIRECTORY ${site})
string(ASCII 13 cr)
file(WRITE ${site}/qlx-setting.Ini "[setting]${cr}\nwait1=0${cr}\n")
file(WRITE ${site}/list.csv
     "001,F0000001,hall,127.0.0.1,80,1,00:EE:80:00:00:01,,,admin,plume,,,${cr}\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E env "PATH=${PREFIX}/${BINDIR}:$ENV{PATH}"
                        "QLX_SELECTION=--all" "QLX_OPTIONS=--pace prompt" LC_ALL=C
                        sh -c "${command}"
                WORKING_DIRECTORY ${site} RESULT_VARIABLE rc ERROR_VARIABLE said OUTPUT_QUIET)
if(NOT rc EQUAL 1)
    message(FATAL_ERROR "the scheduled check exited ${rc}, not 1: ${said}")
endif()
file(GLOB reports RELATIVE ${site}/reports ${site}/reports/*.json)
if(NOT reports MATCHES "^check-[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9]-[0-9][0-9][0-9][0-9][0-9][0-9][.]json$")
    message(FATAL_ERROR "no one dated report in reports/: '${reports}'")
endif()
file(READ ${site}/reports/${reports} report)
if(NOT report MATCHES "\"name\": \"hall\"")
    message(FATAL_ERROR "the report lacks the site's device: ${report}")
endif()
if(NOT IS_DIRECTORY ${site}/data)
    message(FATAL_ERROR "the check made no work folder in the site's folder")
endif()
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
