// Written by resources/art/generate.cpp with the pictures: what the program needs to know about them.
// Do not edit; run artgen instead.
#pragma once
// clang-format off

// The robot's poses: the bitmap of each, by resource name, in catalogue order.
#define ARTWORK_POSE_COUNT 79
#define ARTWORK_POSE_NAMES \
    "SOK-TAN00", "SOK-TAN01", "FLY-01", "FLY-02", "FLY-03", "FLY-04", "FLY-05", "FLY-06", \
    "FLY-07", "FLY-08", "FLY-09", "DMY-00", "OPEN-01", "OPEN-02", "OPEN-03", "OPEN-04", \
    "OPEN-05", "TATU-01", "TATU-02", "RIGH-01", "RIGH-02", "RIGH-03", "RIGH-04", "LEFT-01", \
    "LEFT-02", "LEFT-03", "LEFT-04", "TEBURI-01", "WARAI-01", "MUKUL-01", "MUKUL-02", "MUKUL-03", \
    "MUKUL-04", "GENKIL-01", "GENKIL-02", "GENKIL-01", "GENKIL-02", "TENTOL-01", "TENTOL-02", "TENTOL-03", \
    "TENTOL-04", "TENTOL-05", "TENTOL-06", "TENTOL-07", "TENTOL-08", "TENTOL-09", "TENTOL-10", "TENTOL-11", \
    "NERU-01", "NERU-02", "NERU-03", "FLY-01", "FLY-02", "DMY-00", "DMY-00", "DMY-00", \
    "DMY-00", "DMY-00", "DMY-00", "DMY-00", "GENKIR-01", "GENKIR-02", "GENKIR-01", "GENKIR-02", \
    "MUKUR-01", "MUKUR-02", "MUKUR-03", "MUKUR-04", "TENTOR-01", "TENTOR-02", "TENTOR-03", "TENTOR-04", \
    "TENTOR-05", "TENTOR-06", "TENTOR-07", "TENTOR-08", "TENTOR-09", "TENTOR-10", "TENTOR-11"

// The scorch mask and image (XHONOO-BK1, XHONOO-BK2): their size.
#define ARTWORK_SCORCH_WIDTH 275
#define ARTWORK_SCORCH_HEIGHT 317
// The flame frames (XHONOO-01 to -03): their size, and where they sit in the scorch picture.
#define ARTWORK_FLAME_WIDTH 102
#define ARTWORK_FLAME_HEIGHT 222
#define ARTWORK_FLAME_X 112
#define ARTWORK_FLAME_Y 54
