# Runs artgen into OUT and checks every file it writes (bitmaps, icon, artwork.h) matches the
# committed copy under SRC byte for byte, and that both hold the same number of files.
#   cmake -DARTGEN=<artgen> -DSRC=<repo>/resources -DOUT=<scratch dir> -P compare.cmake

foreach(var ARTGEN SRC OUT)
    if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
        message(FATAL_ERROR "compare.cmake needs -D${var}=...")
    endif()
endforeach()

file(REMOVE_RECURSE "${OUT}")
execute_process(COMMAND "${ARTGEN}" "${OUT}" RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "artgen failed (${status}): ${errors}")
endif()

file(GLOB generated RELATIVE "${OUT}" "${OUT}/bitmaps/*.bmp" "${OUT}/*.ico" "${OUT}/icons/*.png"
     "${OUT}/artwork.h")
file(GLOB committed RELATIVE "${SRC}" "${SRC}/bitmaps/*.bmp" "${SRC}/*.ico" "${SRC}/icons/*.png"
     "${SRC}/artwork.h")
list(SORT generated)
list(SORT committed)
list(LENGTH generated generated_count)
list(LENGTH committed committed_count)
if(generated_count EQUAL 0)
    message(FATAL_ERROR "artgen wrote no files into ${OUT}")
endif()
if(NOT generated_count EQUAL committed_count)
    message(FATAL_ERROR "artgen writes ${generated_count} files but ${committed_count} are committed under ${SRC}")
endif()

foreach(name IN LISTS generated)
    if(NOT EXISTS "${SRC}/${name}")
        message(FATAL_ERROR "${name} is generated but not committed under ${SRC}")
    endif()
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${OUT}/${name}" "${SRC}/${name}"
                    RESULT_VARIABLE differs)
    if(NOT differs EQUAL 0)
        message(FATAL_ERROR "${name} differs from the committed copy; run artgen and commit the result")
    endif()
endforeach()
message(STATUS "all ${generated_count} artwork files match")
