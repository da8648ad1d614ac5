# Installs the build into a fresh prefix and checks that everything a desktop needs is there.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

set(expected
    ${BINDIR}/qlx-setting
    ${DATADIR}/qlx-setting/installed
    ${DATADIR}/applications/qlx-setting.desktop
    ${DATADIR}/icons/hicolor/scalable/apps/qlx-setting.svg
    ${DATADIR}/man/man1/qlx-setting.1.gz
    ${DATADIR}/man/man5/qlx-setting.5.gz
    ${DATADIR}/doc/qlx-setting/copyright
    ${DATADIR}/doc/qlx-setting/changelog.gz)
if(WITH_DEVSIM)
    list(APPEND expected ${BINDIR}/qlx-devsim ${DATADIR}/man/man1/qlx-devsim.1.gz)
endif()
# Every installed program has its manual page.
file(GLOB programs RELATIVE ${PREFIX}/${BINDIR} ${PREFIX}/${BINDIR}/*)
foreach(p IN LISTS programs)
    list(APPEND expected ${DATADIR}/man/man1/${p}.1.gz)
endforeach()
foreach(f IN LISTS expected)
    if(NOT EXISTS ${PREFIX}/${f})
        message(FATAL_ERROR "not installed: ${f}")
    endif()
endforeach()

# The runner finds its Japanese messages from its own folder, installed as in the build tree.
if(EXISTS ${PREFIX}/${BINDIR}/qlx-setting-cli)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=ja_JP.UTF-8 --unset=QLX_LOCALEDIR
                            ${PREFIX}/${BINDIR}/qlx-setting-cli
                    ERROR_VARIABLE said OUTPUT_QUIET RESULT_VARIABLE rc)
    string(FIND "${said}" "qlx-setting-cli --help で" at)
    if(NOT rc EQUAL 2 OR at EQUAL -1)
        message(FATAL_ERROR "the installed runner does not speak Japanese (${rc}): ${said}")
    endif()
endif()

# The program looks for the marker from its own folder by the path it was built with.
if(NOT EXISTS ${PREFIX}/${BINDIR}/${MARKER_FROM_BIN})
    message(FATAL_ERROR "the program would not find ${BINDIR}/${MARKER_FROM_BIN}")
endif()

file(STRINGS ${PREFIX}/${DATADIR}/applications/qlx-setting.desktop entry)
# One main category: a menu shows the program in one place.
foreach(line "Exec=qlx-setting" "Icon=qlx-setting" "Name=QLX-Setting" "Categories=Network;Qt;")
    if(NOT line IN_LIST entry)
        message(FATAL_ERROR "desktop entry lacks ${line}")
    endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
