# Reads the committed bitmaps and icon back and checks their headers on their own terms, so a mistake
# in the generator's file writer cannot hide behind the generator agreeing with itself.
#   cmake -DSRC=<repo>/resources -P check_format.cmake

if(NOT DEFINED SRC)
    message(FATAL_ERROR "check_format.cmake needs -DSRC=...")
endif()

# name width height, for every bitmap the saver loads
set(expected
    SOK-TAN00 60 78 SOK-TAN01 60 78 FLY-01 46 66 FLY-02 46 66 FLY-03 46 57 FLY-04 46 57 FLY-05 41 49
    FLY-06 41 49 FLY-07 67 41 FLY-08 67 41 FLY-09 41 36 DMY-00 1 1 OPEN-01 49 43 OPEN-02 49 49 OPEN-03 49 56
    OPEN-04 49 62 OPEN-05 56 66 TATU-01 55 72 TATU-02 55 76 RIGH-01 55 76 RIGH-02 55 76 RIGH-03 55 76
    RIGH-04 55 76 LEFT-01 55 76 LEFT-02 55 76 LEFT-03 55 76 LEFT-04 55 76 TEBURI-01 53 77 WARAI-01 55 75
    MUKUL-01 55 76 MUKUL-02 49 75 MUKUL-03 42 76 MUKUL-04 36 76 MUKUR-01 55 76 MUKUR-02 49 75
    MUKUR-03 42 76 MUKUR-04 36 76 GENKIL-01 46 75 GENKIL-02 43 75 GENKIR-01 46 75 GENKIR-02 43 75
    TENTOL-01 73 69 TENTOL-02 84 49 TENTOL-03 91 49 TENTOL-04 84 50 TENTOL-05 84 51 TENTOL-06 89 54
    TENTOL-07 90 53 TENTOL-08 102 57 TENTOL-09 62 72 TENTOL-10 55 65 TENTOL-11 55 66
    TENTOR-01 73 69 TENTOR-02 84 49 TENTOR-03 91 49 TENTOR-04 84 50 TENTOR-05 84 51 TENTOR-06 89 54
    TENTOR-07 90 53 TENTOR-08 102 57 TENTOR-09 62 72 TENTOR-10 55 65 TENTOR-11 55 66
    NERU-01 55 66 NERU-02 56 66 NERU-03 48 66 XHONOO-BK1 275 317 XHONOO-BK2 275 317
    XHONOO-01 102 222 XHONOO-02 102 222 XHONOO-03 102 222)

# little-endian unsigned integer of `size` bytes at byte `offset` of a hex dump
function(le_uint hex offset size out)
    math(EXPR start "${offset} * 2")
    set(value "")
    foreach(i RANGE 1 ${size})
        math(EXPR at "${start} + (${size} - ${i}) * 2")
        string(SUBSTRING "${hex}" ${at} 2 byte)
        string(APPEND value "${byte}")
    endforeach()
    math(EXPR value "0x${value}")
    set(${out} ${value} PARENT_SCOPE)
endfunction()

function(expect what actual wanted)
    if(NOT "${actual}" STREQUAL "${wanted}")
        message(FATAL_ERROR "${what}: found ${actual}, expected ${wanted}")
    endif()
endfunction()

file(GLOB present RELATIVE "${SRC}/bitmaps" "${SRC}/bitmaps/*.bmp")
list(LENGTH present present_count)
list(LENGTH expected fields)
math(EXPR expected_count "${fields} / 3")
expect("number of bitmaps" ${present_count} ${expected_count})

math(EXPR last "${fields} - 1")
foreach(i RANGE 0 ${last} 3)
    math(EXPR iw "${i} + 1")
    math(EXPR ih "${i} + 2")
    list(GET expected ${i} name)
    list(GET expected ${iw} width)
    list(GET expected ${ih} height)
    set(path "${SRC}/bitmaps/${name}.bmp")
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "${name}.bmp is missing")
    endif()
    file(READ "${path}" hex HEX LIMIT 1078)
    file(SIZE "${path}" size)
    string(SUBSTRING "${hex}" 0 4 magic)
    expect("${name} signature" ${magic} 424d)
    le_uint("${hex}" 2 4 file_size)
    expect("${name} bfSize" ${file_size} ${size})
    le_uint("${hex}" 10 4 bits_at)
    expect("${name} bfOffBits" ${bits_at} 1078)
    le_uint("${hex}" 14 4 header)
    expect("${name} biSize" ${header} 40)
    le_uint("${hex}" 18 4 w)
    le_uint("${hex}" 22 4 h)
    expect("${name} size" "${w}x${h}" "${width}x${height}")
    le_uint("${hex}" 26 2 planes)
    le_uint("${hex}" 28 2 bits)
    le_uint("${hex}" 30 4 compression)
    expect("${name} planes, depth, compression" "${planes} ${bits} ${compression}" "1 8 0")
    math(EXPR stride "(${width} + 3) / 4 * 4")
    math(EXPR image_size "${stride} * ${height}")
    le_uint("${hex}" 34 4 size_image)
    expect("${name} biSizeImage" ${size_image} ${image_size})
    math(EXPR whole "1078 + ${image_size}")
    expect("${name} file length" ${size} ${whole})
    le_uint("${hex}" 46 4 used)
    le_uint("${hex}" 50 4 important)
    expect("${name} colours used, important" "${used} ${important}" "256 0")
    string(SUBSTRING "${hex}" 108 8 first)
    expect("${name} palette entry 0" ${first} 00000000)
endforeach()

# icon: one 32x32 16-colour image with its AND mask
set(icon "${SRC}/scrwarpvue.ico")
file(READ "${icon}" hex HEX)
file(SIZE "${icon}" size)
string(SUBSTRING "${hex}" 0 20 head)
expect("icon directory and entry" ${head} 00000100010020201000)
le_uint("${hex}" 10 2 planes)
le_uint("${hex}" 12 2 bits)
le_uint("${hex}" 14 4 bytes)
le_uint("${hex}" 18 4 offset)
expect("icon entry planes, depth, bytes, offset" "${planes} ${bits} ${bytes} ${offset}" "1 4 744 22")
expect("icon file length" ${size} 766)
le_uint("${hex}" 22 4 header)
le_uint("${hex}" 26 4 w)
le_uint("${hex}" 30 4 h)
le_uint("${hex}" 36 2 bits)
expect("icon bitmap header" "${header} ${w}x${h} ${bits}" "40 32x64 4")
message(STATUS "${present_count} bitmaps and the icon are well formed")
