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

// Every bitmap by resource name, with its width and height.
#define ARTWORK_BITMAP_COUNT 71
#define ARTWORK_BITMAP_SIZES \
    {"SOK-TAN00", 60, 78}, {"SOK-TAN01", 60, 78}, {"FLY-01", 46, 66}, {"FLY-02", 46, 66}, \
    {"FLY-03", 46, 57}, {"FLY-04", 46, 57}, {"FLY-05", 41, 49}, {"FLY-06", 41, 49}, \
    {"FLY-07", 67, 41}, {"FLY-08", 67, 41}, {"FLY-09", 41, 36}, {"DMY-00", 1, 1}, \
    {"OPEN-01", 49, 43}, {"OPEN-02", 49, 49}, {"OPEN-03", 49, 56}, {"OPEN-04", 49, 62}, \
    {"OPEN-05", 56, 66}, {"TATU-01", 55, 72}, {"TATU-02", 55, 76}, {"RIGH-01", 55, 76}, \
    {"RIGH-02", 55, 76}, {"RIGH-03", 55, 76}, {"RIGH-04", 55, 76}, {"LEFT-01", 55, 76}, \
    {"LEFT-02", 55, 76}, {"LEFT-03", 55, 76}, {"LEFT-04", 55, 76}, {"TEBURI-01", 53, 77}, \
    {"WARAI-01", 55, 75}, {"MUKUL-01", 55, 76}, {"MUKUL-02", 49, 75}, {"MUKUL-03", 42, 76}, \
    {"MUKUL-04", 36, 76}, {"MUKUR-01", 55, 76}, {"MUKUR-02", 49, 75}, {"MUKUR-03", 42, 76}, \
    {"MUKUR-04", 36, 76}, {"GENKIL-01", 46, 75}, {"GENKIL-02", 43, 75}, {"GENKIR-01", 46, 75}, \
    {"GENKIR-02", 43, 75}, {"TENTOL-01", 73, 69}, {"TENTOL-02", 84, 49}, {"TENTOL-03", 91, 49}, \
    {"TENTOL-04", 84, 50}, {"TENTOL-05", 84, 51}, {"TENTOL-06", 89, 54}, {"TENTOL-07", 90, 53}, \
    {"TENTOL-08", 102, 57}, {"TENTOL-09", 62, 72}, {"TENTOL-10", 55, 65}, {"TENTOL-11", 55, 66}, \
    {"TENTOR-01", 73, 69}, {"TENTOR-02", 84, 49}, {"TENTOR-03", 91, 49}, {"TENTOR-04", 84, 50}, \
    {"TENTOR-05", 84, 51}, {"TENTOR-06", 89, 54}, {"TENTOR-07", 90, 53}, {"TENTOR-08", 102, 57}, \
    {"TENTOR-09", 62, 72}, {"TENTOR-10", 55, 65}, {"TENTOR-11", 55, 66}, {"NERU-01", 55, 66}, \
    {"NERU-02", 56, 66}, {"NERU-03", 48, 66}, {"XHONOO-BK1", 275, 317}, {"XHONOO-BK2", 275, 317}, \
    {"XHONOO-01", 102, 222}, {"XHONOO-02", 102, 222}, {"XHONOO-03", 102, 222}
