#include "pose_catalogue.h"

const char *const kPoseNames[kPoseCount] = {
    "SOK-TAN00", "SOK-TAN01", "FLY-01",    "FLY-02",    "FLY-03",    "FLY-04",    "FLY-05",    "FLY-06",
    "FLY-07",    "FLY-08",    "FLY-09",    "DMY-00",    "OPEN-01",   "OPEN-02",   "OPEN-03",   "OPEN-04",
    "OPEN-05",   "TATU-01",   "TATU-02",   "RIGH-01",   "RIGH-02",   "RIGH-03",   "RIGH-04",   "LEFT-01",
    "LEFT-02",   "LEFT-03",   "LEFT-04",   "TEBURI-01", "WARAI-01",  "MUKUL-01",  "MUKUL-02",  "MUKUL-03",
    "MUKUL-04",  "GENKIL-01", "GENKIL-02", "GENKIL-01", "GENKIL-02", "TENTOL-01", "TENTOL-02", "TENTOL-03",
    "TENTOL-04", "TENTOL-05", "TENTOL-06", "TENTOL-07", "TENTOL-08", "TENTOL-09", "TENTOL-10", "TENTOL-11",
    "NERU-01",   "NERU-02",   "NERU-03",   "FLY-01",    "FLY-02",    "DMY-00",    "DMY-00",    "DMY-00",
    "DMY-00",    "DMY-00",    "DMY-00",    "DMY-00",    "GENKIR-01", "GENKIR-02", "GENKIR-01", "GENKIR-02",
    "MUKUR-01",  "MUKUR-02",  "MUKUR-03",  "MUKUR-04",  "TENTOR-01", "TENTOR-02", "TENTOR-03", "TENTOR-04",
    "TENTOR-05", "TENTOR-06", "TENTOR-07", "TENTOR-08", "TENTOR-09", "TENTOR-10", "TENTOR-11",
};

void LoadPoseCatalogue(HWND owner) {
    for (int i = 0; i < kPoseCount; ++i) {
        g_app.poses[i] = LoadBitmapA(g_app.instance, kPoseNames[i]);
        if (!g_app.poses[i]) MessageBoxA(owner, "Could not load Bitmap.", kAppName, MB_ICONERROR);
    }
}

void DeletePoseCatalogue() {
    for (HBITMAP &pose : g_app.poses) {
        if (pose) DeleteObject(pose);
        pose = nullptr;
    }
}

HBITMAP PoseBitmap(PoseIndex pose) {
    return pose >= 0 && pose < kPoseCount ? g_app.poses[pose] : nullptr;
}

PoseIndex RightFacingTwin(PoseIndex pose) {
    if (pose >= 29 && pose <= 32) return pose + 35; // turning side-on
    if (pose >= 33 && pose <= 36) return pose + 27; // running
    if (pose >= 37 && pose <= 47) return pose + 31; // tripping and getting up
    return pose;
}
