# cmake -DSCDOC=<scdoc> -DGZIP=<gzip> -DSOURCE=<page.1.scd> -DOUTPUT=<page.1.gz>
#       -P build_manual.cmake
# Turns one scdoc source into a gzipped manual page. The page is written beside OUTPUT first
# and renamed into place, so a failed run never leaves a half-written manual behind.
foreach(variable SCDOC GZIP SOURCE OUTPUT)
    if(NOT ${variable})
        message(FATAL_ERROR "build_manual: ${variable} is not set")
    endif()
endforeach()
get_filename_component(folder "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${folder}")
set(page "${OUTPUT}.roff.tmp")
execute_process(COMMAND "${SCDOC}"
    INPUT_FILE "${SOURCE}" OUTPUT_FILE "${page}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    file(REMOVE "${page}")
    message(FATAL_ERROR "scdoc could not read ${SOURCE}: ${result}")
endif()
# -n leaves the name and time stamp out of the gzip header.
execute_process(COMMAND "${GZIP}" -9 -n -c "${page}"
    OUTPUT_FILE "${OUTPUT}.tmp" RESULT_VARIABLE result)
file(REMOVE "${page}")
if(NOT result EQUAL 0)
    file(REMOVE "${OUTPUT}.tmp")
    message(FATAL_ERROR "gzip failed on the manual from ${SOURCE}: ${result}")
endif()
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
