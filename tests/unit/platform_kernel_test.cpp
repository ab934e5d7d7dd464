// The single-instance lock of the posix layer: a named mutex held between processes.

#include "support.h"

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class PlatformKernel : public test::SaverTest {
  protected:
    void TearDown() override {
        unsetenv("TMPDIR");
        test::SaverTest::TearDown();
    }
    // True when a CreateMutexA made now finds the lock taken.
    static bool Taken() {
        HANDLE h = CreateMutexA(nullptr, TRUE, kAppName);
        EXPECT_NE(h, nullptr);
        bool taken = GetLastError() == ERROR_ALREADY_EXISTS;
        if (!taken) ReleaseMutex(h);
        CloseHandle(h);
        return taken;
    }
};

TEST_F(PlatformKernel, ALockHeldByAnotherProcessDiesWithIt) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    struct Reaper { // the child goes whatever happens to the checks below
        pid_t pid;
        ~Reaper() {
            if (pid > 0) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        }
    } reaper{child};
    if (child == 0) {
        HANDLE h = CreateMutexA(nullptr, TRUE, kAppName);
        char ok = h && GetLastError() == 0 ? 'y' : 'n';
        if (write(ready[1], &ok, 1) != 1) _exit(1);
        for (;;)
            pause();
    }
    close(ready[1]);
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    close(ready[0]);
    EXPECT_EQ(ok, 'y');
    HANDLE h = CreateMutexA(nullptr, TRUE, kAppName);
    EXPECT_NE(h, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(ReleaseMutex(h)); // not ours to release
    CloseHandle(h);

    kill(child, SIGKILL);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    reaper.pid = 0;
    SetLastError(99);
    EXPECT_FALSE(Taken()); // no stale lock
}

TEST_F(PlatformKernel, ReleasingLetsAnotherCopyIn) {
    HANDLE first = CreateMutexA(nullptr, TRUE, kAppName);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_TRUE(Taken());
    EXPECT_TRUE(ReleaseMutex(first));
    EXPECT_FALSE(ReleaseMutex(first));
    EXPECT_FALSE(Taken());
    CloseHandle(first);
}

TEST_F(PlatformKernel, ALockFileThatIsASymlinkIsNotFollowed) {
    fs::create_directories(dir_ / "elsewhere");
    const fs::path link = dir_ / "run" / "SCRWARPVUE.lock";
    for (bool target_exists : {false, true}) {
        const fs::path target = dir_ / "elsewhere" / (target_exists ? "present" : "absent");
        if (target_exists) test::WriteFile(target, "x");
        fs::remove(link);
        fs::create_symlink(target, link);
        EXPECT_EQ(CreateMutexA(nullptr, TRUE, kAppName), nullptr);
        EXPECT_EQ(fs::exists(target), target_exists);
        if (target_exists) { // and nothing holds a lock on it
            int fd = open(target.c_str(), O_RDONLY);
            EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
            close(fd);
        }
        EXPECT_TRUE(fs::is_symlink(link));
    }
}

TEST_F(PlatformKernel, AForeignOrMissingRuntimeDirectoryFallsBackToAPrivateOne) {
    const fs::path tmp = dir_ / "tmp";
    fs::create_directories(tmp);
    setenv("TMPDIR", tmp.c_str(), 1);
    const fs::path fallback = tmp / ("scrwarpvue-" + std::to_string(getuid()));

    // Someone else's directory: as root, one handed to another user; otherwise the root directory.
    fs::path foreign = "/";
    if (geteuid() == 0) {
        foreign = dir_ / "foreign";
        fs::create_directories(foreign);
        ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
    }
    const char *settings[] = {foreign.c_str(), "relative/run", nullptr};
    for (const char *xdg : settings) {
        if (xdg)
            setenv("XDG_RUNTIME_DIR", xdg, 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
        fs::remove_all(fallback);
        HANDLE h = CreateMutexA(nullptr, TRUE, kAppName);
        ASSERT_NE(h, nullptr) << (xdg ? xdg : "unset");
        EXPECT_EQ(GetLastError(), 0u);
        struct stat st {};
        ASSERT_EQ(lstat(fallback.c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_TRUE(fs::exists(fallback / "SCRWARPVUE.lock"));
        EXPECT_FALSE(fs::exists(foreign / "SCRWARPVUE.lock"));
        ReleaseMutex(h);
        CloseHandle(h);
    }

    // A fallback directory that others can enter is not used.
    fs::permissions(fallback, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    EXPECT_EQ(CreateMutexA(nullptr, TRUE, kAppName), nullptr);
}

} // namespace
