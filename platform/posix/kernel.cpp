// KERNEL: the single-instance guard, the last error, the local clock and wsprintfA.
//
// A named mutex is an exclusive flock on a per-user lock file. The lock belongs to the open file, so it
// dies with its process: a crashed copy never leaves a stale lock behind. The lock file of a copy that
// runs inside a given window is one of many (one per window xscreensaver ever made), so its owner removes
// it when it lets go; a copy that then finds its lock on a removed file takes the new one instead.

#include "host_switches.h"
#include "internal.h"
#include "kernel.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <algorithm>

namespace {

thread_local DWORD g_last_error = 0;

struct MutexHandle {
    uint32_t magic;
    int fd;
    bool owned;
    std::string removable; // the lock file of a window's copy, removed when released
};
constexpr uint32_t kMutexMagic = 0x4D555458;

// Every mutex handle made and not closed. A copy that finds the mutex taken leaves without closing its
// handle, as on Windows; the handle lives until the process ends.
// (Never destroyed, so that the handles stay reachable to the very end of the process.)
std::vector<MutexHandle *> &g_mutexes = *new std::vector<MutexHandle *>;

MutexHandle *live_mutex(HANDLE handle) {
    auto it = std::find(g_mutexes.begin(), g_mutexes.end(), static_cast<MutexHandle *>(handle));
    return it == g_mutexes.end() ? nullptr : *it;
}

// Where the lock may live, fixed for this user: the runtime directory the system keeps for the user
// (/run/user/UID), else a private directory in the home directory the password database names. The
// environment is not consulted, so every copy of this user meets the same lock however it was started,
// and no other user can create anything in either place. A user with neither (a system account without
// a home, say) falls back to a private directory under /tmp.
std::string g_runtime_directory, g_home_directory, g_temporary_directory; // set for tests only

// A directory of this user's that no one else can add names to.
bool ours(const std::string &dir) {
    struct stat st;
    return lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
           !(st.st_mode & 022);
}

std::string lock_directory() {
    const uid_t uid = getuid();
    std::string run = g_runtime_directory.empty() ? "/run/user/" + std::to_string(uid) : g_runtime_directory;
    if (ours(run)) return run;
    std::string home = g_home_directory;
    if (home.empty()) {
        struct passwd *pw = getpwuid(uid);
        if (pw && pw->pw_dir) home = pw->pw_dir;
    }
    if (!home.empty() && home[0] == '/' && ours(home)) {
        std::string cache = home + "/.cache", dir = cache + "/scrwarpvue";
        mkdir(cache.c_str(), 0700);
        mkdir(dir.c_str(), 0700);
        return ours(dir) ? dir : std::string{}; // open to others: refuse to share it
    }
    std::string dir = (g_temporary_directory.empty() ? "/tmp" : g_temporary_directory) + "/scrwarpvue-" +
                      std::to_string(uid);
    mkdir(dir.c_str(), 0700);
    return ours(dir) ? dir : std::string{};
}

// Set by the host for a copy that runs inside a given window: one copy per window, not per user.
std::string &g_guard_scope = *new std::string;

bool safe_name(const char *name) {
    if (!name || !*name) return false;
    for (const char *p = name; *p; ++p)
        if (*p == '/' || *p == '\\') return false;
    return std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0;
}

} // namespace

namespace posix {
void set_lock_places(const std::string &runtime_directory, const std::string &home_directory,
                     const std::string &temporary_directory) {
    g_runtime_directory = runtime_directory;
    g_home_directory = home_directory;
    g_temporary_directory = temporary_directory;
}

void set_guard_scope(const std::string &scope) {
    g_guard_scope.clear();
    for (char c : scope) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '.' || c == '-';
        g_guard_scope += plain ? c : '_';
    }
}
} // namespace posix

DWORD WINAPI GetLastError(void) {
    return g_last_error;
}
void WINAPI SetLastError(DWORD code) {
    g_last_error = code;
}

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initial_owner, LPCSTR name) {
    if (!safe_name(name)) {
        SetLastError(ERROR_INVALID_PARAMETER); // only named mutexes are supported
        return nullptr;
    }
    std::string dir = lock_directory();
    if (dir.empty()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    std::string path = dir + "/" + name + (g_guard_scope.empty() ? "" : "@" + g_guard_scope) + ".lock";
    int fd = -1;
    bool busy = false;
    // A lock won on a file its last owner removed meanwhile guards nothing: open the name again.
    for (int attempt = 0; attempt < 16; ++attempt) {
        fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            SetLastError(5);
            return nullptr;
        }
        busy = flock(fd, LOCK_EX | LOCK_NB) != 0;
        struct stat held, named;
        if (busy || (fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 &&
                     held.st_dev == named.st_dev && held.st_ino == named.st_ino))
            break;
        close(fd);
        fd = -1;
    }
    if (fd < 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    auto *m = new MutexHandle{kMutexMagic, fd, false, g_guard_scope.empty() ? std::string{} : path};
    g_mutexes.push_back(m);
    if (busy) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return m;
    }
    m->owned = initial_owner != FALSE;
    if (!m->owned) flock(fd, LOCK_UN);
    SetLastError(ERROR_SUCCESS);
    return m;
}

BOOL WINAPI ReleaseMutex(HANDLE handle) {
    MutexHandle *m = live_mutex(handle);
    if (!m || !m->owned) return FALSE;
    m->owned = false;
    if (!m->removable.empty()) unlink(m->removable.c_str()); // still held: no one is between the two
    flock(m->fd, LOCK_UN);
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
    MutexHandle *m = live_mutex(handle);
    if (!m) return FALSE;
    close(m->fd);
    m->magic = 0;
    g_mutexes.erase(std::find(g_mutexes.begin(), g_mutexes.end(), m));
    delete m;
    return TRUE;
}

void WINAPI GetLocalTime(LPSYSTEMTIME out) {
    if (out) posix::local_time(out);
}

int wsprintfA(LPSTR out, LPCSTR format, ...) {
    if (!out || !format) return 0;
    va_list ap;
    va_start(ap, format);
    int n = std::vsnprintf(out, 1025, format, ap); // wsprintf writes at most 1024 characters
    va_end(ap);
    return n < 0 ? 0 : (n > 1024 ? 1024 : n);
}
