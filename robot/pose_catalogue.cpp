#include "pose_catalogue.h"

const char *const kPoseNames[kPoseCount] = {ARTWORK_POSE_NAMES};

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
