// Where the Windows program keeps its profile: %APPDATA%\SCRWARPVUE\SCRWARPVUE.ini, per user.
//
// A bare file name would put the profile in the Windows directory, which a standard user cannot write
// (and a 64-bit program gets no file virtualisation), so every choice would be lost without a word. The
// folder under the roaming application data is made when missing. When the per-user file does not exist
// yet and the Windows directory holds a SCRWARPVUE.ini from an earlier version, that file is copied over
// once; the old file is never changed. The paths are wide so that any user name works.

#include "profile_location_win.h"
#include "settings_store.h"

#include <knownfolders.h>
#include <shlobj.h>

#include <string>

namespace {

constexpr wchar_t kProfileFileW[] = L"SCRWARPVUE.ini";

std::wstring g_profile_path; // empty until the first use

bool IsDirectory(const std::wstring &path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::wstring &path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The per-user folder, made when missing; empty when there is no application-data folder or the
// folder cannot be made.
std::wstring ProfileFolder() {
    PWSTR appdata = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &appdata)) &&
        appdata)
        folder = std::wstring(appdata) + L"\\SCRWARPVUE";
    CoTaskMemFree(appdata);
    if (folder.empty()) return {};
    CreateDirectoryW(folder.c_str(), nullptr);
    return IsDirectory(folder) ? folder : std::wstring();
}

// The profile an earlier version kept in the Windows directory, or empty.
std::wstring LegacyProfile() {
    wchar_t windows[MAX_PATH];
    UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    std::wstring path = std::wstring(windows, n);
    if (path.back() != L'\\') path += L'\\';
    path += kProfileFileW;
    return IsFile(path) ? path : std::wstring();
}

} // namespace

const wchar_t *ProfilePathW() {
    if (!g_profile_path.empty()) return g_profile_path.c_str();
    std::wstring folder = ProfileFolder();
    if (folder.empty()) {
        // No per-user folder: the bare name, which the profile calls resolve to the Windows directory.
        g_profile_path = kProfileFileW;
        return g_profile_path.c_str();
    }
    g_profile_path = folder + L"\\" + kProfileFileW;
    if (GetFileAttributesW(g_profile_path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::wstring legacy = LegacyProfile();
        // Copied only when the per-user file is still missing; a read-only old file gives a writable copy.
        if (!legacy.empty() && CopyFileW(legacy.c_str(), g_profile_path.c_str(), TRUE)) {
            DWORD attributes = GetFileAttributesW(g_profile_path.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
                SetFileAttributesW(g_profile_path.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
        }
    }
    return g_profile_path.c_str();
}
