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
    ${DATADIR}/icons/hicolor/scalable/apps/qlx-setting.svg)
if(WITH_DEVSIM)
    list(APPEND expected ${BINDIR}/qlx-devsim)
endif()
foreach(f IN LISTS expected)
    if(NOT EXISTS ${PREFIX}/${f})
        message(FATAL_ERROR "not installed: ${f}")
    endif()
endforeach()

# The program looks for the marker from its own folder by the path it was built with.
if(NOT EXISTS ${PREFIX}/${BINDIR}/${MARKER_FROM_BIN})
    message(FATAL_ERROR "the program would not find ${BINDIR}/${MARKER_FROM_BIN}")
endif()

file(STRINGS ${PREFIX}/${DATADIR}/applications/qlx-setting.desktop entry)
foreach(line "Exec=qlx-setting" "Icon=qlx-setting" "Name=QLX-Setting")
    if(NOT line IN_LIST entry)
        message(FATAL_ERROR "desktop entry lacks ${line}")
    endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
