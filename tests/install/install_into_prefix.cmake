# cmake -DBUILD_DIR=<build tree> -DPREFIX=<folder> -P install_into_prefix.cmake
# Installs the build tree into PREFIX, emptied first so nothing of an earlier install is left.
foreach(variable BUILD_DIR PREFIX)
    if(NOT ${variable})
        message(FATAL_ERROR "install_into_prefix: ${variable} is not set")
    endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
# A DESTDIR from the caller's environment would put the tree somewhere else.
unset(ENV{DESTDIR})
execute_process(
    COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install ${BUILD_DIR} --prefix ${PREFIX} failed: ${result}")
endif()
