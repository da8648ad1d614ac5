# Starts the installed program with a fresh home and checks that its work folder is made in the
# user's data folder, not beside the program in the prefix.
cmake_minimum_required(VERSION 3.25)
set(home ${PREFIX}-home)
file(REMOVE_RECURSE ${PREFIX} ${home})
file(MAKE_DIRECTORY ${home})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

# The window stays open until a confirmed close; start-up has made the work folder long before
# the time is up.
execute_process(COMMAND ${CMAKE_COMMAND} -E env HOME=${home} --unset=XDG_CONFIG_HOME
                        --unset=XDG_DATA_HOME QT_QPA_PLATFORM=offscreen
                        timeout 3 ${PREFIX}/${BINDIR}/qlx-setting
                WORKING_DIRECTORY ${home} OUTPUT_QUIET ERROR_QUIET)

if(NOT IS_DIRECTORY ${home}/.local/share/qlx-setting/data)
    message(FATAL_ERROR "no work folder in ${home}/.local/share/qlx-setting")
endif()
if(EXISTS ${PREFIX}/${BINDIR}/data)
    message(FATAL_ERROR "the installed program made its work folder beside itself")
endif()
file(REMOVE_RECURSE ${PREFIX} ${home})
