// Profile files of the posix layer: how GetPrivateProfileIntA reads values, and how
// WritePrivateProfileStringA changes a file without disturbing the rest of it.

#include "support.h"

#include "platform/posix/profile_number.h"

#include <climits>
#include <csignal>
#include <functional>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
constexpr char kIni[] = "SCRWARPVUE.ini";

class PlatformProfile : public test::SaverTest {
  protected:
    int ReadInt(const char *section = "Settings", const char *key = "DispType") const {
        return int(GetPrivateProfileIntA(section, key, 42, kIni));
    }
    bool Write(const char *section, const char *key, const char *value) const {
        return WritePrivateProfileStringA(section, key, value, kIni) != FALSE;
    }
    std::vector<std::string> ConfigEntries() const {
        std::vector<std::string> names;
        for (const auto &e : fs::directory_iterator(dir_ / "config"))
            names.push_back(e.path().filename());
        return names;
    }
};

TEST_F(PlatformProfile, IntegersReadTheWayWindowsReadsThem) {
    struct Case {
        std::string text;
        int expected;
    } cases[] = {
        {"[Settings]\nDispType=5\n", 5},
        {"[Settings]\n  DispType \t=\t 6  \n", 6},
        {" \t[Settings]\nDispType=9\n", 9},
        {"[Settings]\nDispType=+5\n", 5},
        {"[Settings]\nDispType=-1\n", -1},
        {"[Settings]\nDispType=4294967295\n", -1},
        {"[Settings]\nDispType=0x1F\n", 31},
        {"[Settings]\nDispType=0xaA\n", 170},
        {"[Settings]\nDispType=0X1f\n", 31},
        {"[Settings]\nDispType=010\n", 10},  // a leading zero is no octal
        {"[Settings]\nDispType=\"7\"\n", 7}, // matching quotes are taken off
        {"[Settings]\nDispType='8'\n", 8},
        {"[Settings]\nDispType=\"9'\n", 0}, // unmatched ones are not
        {"[Settings]\nDispType=\"\n", 0},
        {"[Settings]\nDispType=\"\"\n", 42}, // quotes around nothing: no value
        {"[Settings]\nDispType=12abc\n", 12},
        {"[Settings]\nDispType=abc\n", 0},
        {"[Settings]\nDispType=\n", 42},
        {"[Settings]\nDispType=99999999999\n", int(99999999999 % 4294967296)},
        {"[Settings]\r\nDispType=3\r\nDispRobo=1\r\n", 3},
        {"[sETTINGS]\ndisptype=4\n", 4},
        {"[Other]\nDispType=3\n[Settings]\nDispRobo=1\n", 42},
        {"[Settings]\n;DispType=3\n", 42},
        {"[Settings]\n;DispType=3\nDispType=7", 7},
        {"[Settings]\nDispType=2\n[Settings]\nDispType=8\n", 2},
        {"[Settings]\nDispType=2\ndisptype=8\n", 2},
        {"[Settings\nDispType=5\n", 5}, // a header missing its bracket still names its section
        {"DispType=3\n", 42},
        {"\xEF\xBB\xBF[Settings]\r\nDispType=6\r\n", 6},
    };
    for (const Case &c : cases) {
        SetProfile(c.text);
        EXPECT_EQ(ReadInt(), c.expected) << c.text;
    }
    fs::remove(Profile());
    EXPECT_EQ(ReadInt(), 42);
    // A number ends where its text does, whatever follows in memory.
    EXPECT_EQ(posix::profile::parse_int(std::string_view("123", 2)), 12u);
}

TEST_F(PlatformProfile, BinaryGarbageReadsAsDefaultsAndStaysUntouched) {
    std::string garbage("[Settings]\0DispType=3\n", 22);
    for (int i = 0; i < 512; ++i)
        garbage.push_back(char((i * 7919) % 251));
    SetProfile(garbage);
    EXPECT_EQ(ReadInt(), 42);
    EXPECT_EQ(ReadInt("Settings", "DispRobo"), 42);
    EXPECT_EQ(ProfileText(), garbage);
}

TEST_F(PlatformProfile, WritingCreatesOnlyTheConfigurationDirectoryItself) {
    const fs::path own = dir_ / "config" / "own";
    setenv("XDG_CONFIG_HOME", own.c_str(), 1);
    EXPECT_TRUE(Write("S", "K", "V"));
    EXPECT_EQ(test::ReadFile(own / kIni), "[S]\nK=V\n");
    EXPECT_EQ(fs::status(own).permissions() & fs::perms::all, fs::perms::owner_all);

    // Neither a missing parent of the directory nor a missing home is made: the write fails.
    const fs::path home = dir_ / "gone", deeper = dir_ / "config" / "deeper" / "still";
    setenv("XDG_CONFIG_HOME", deeper.c_str(), 1);
    EXPECT_FALSE(Write("S", "K", "V"));
    unsetenv("XDG_CONFIG_HOME");
    const std::string real_home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", home.c_str(), 1);
    EXPECT_FALSE(Write("S", "K", "V"));
    setenv("HOME", real_home.c_str(), 1);
    EXPECT_FALSE(fs::exists(dir_ / "config" / "deeper"));
    EXPECT_FALSE(fs::exists(home));
}

TEST_F(PlatformProfile, WritingKeepsEveryOtherLine) {
    struct Case {
        std::string before;
        const char *section, *key, *value;
        std::string after;
    } cases[] = {
        {"; note\n\n[Other]\nA=1\n\n[S]\nUnknown=x\nK=old ; c\n\n[Z]\nB=2\n", "S", "K", "new",
         "; note\n\n[Other]\nA=1\n\n[S]\nUnknown=x\nK=new\n\n[Z]\nB=2\n"},
        {"[S]\nA=1\n; last\n\n\n[T]\nB=2\n", "S", "C", "3", "[S]\nA=1\n; last\nC=3\n\n\n[T]\nB=2\n"},
        {"[S]\nA=1\n \n[T]\n", "S", "C", "3", "[S]\nA=1\nC=3\n \n[T]\n"}, // a line of blanks is no content
        {"[S]\nA=1\nx\n", "S", "C", "3", "[S]\nA=1\nx\nC=3\n"},
        {"[S]\n[T]\nB=2\n", "S", "C", "3", "[S]\nC=3\n[T]\nB=2\n"},
        {"[S]\r\nA=1\r\n\r\n[T]\r\n", "S", "C", "3", "[S]\r\nA=1\r\nC=3\r\n\r\n[T]\r\n"},
        {"[S]\nA=1", "S", "C", "3", "[S]\nA=1\nC=3\n"},
        {"[T]\nB=2", "S", "K", "V", "[T]\nB=2\n[S]\nK=V\n"},
        {"[S]\r\nA=1\r\n; c\r\n[T]\r\nB=2\r\n", "S", "C", "3", "[S]\r\nA=1\r\n; c\r\nC=3\r\n[T]\r\nB=2\r\n"},
        {"[S]\r\nA=1\r\n[T]\r\nB=2\r\n", "s", "a", "99", "[S]\r\nA=99\r\n[T]\r\nB=2\r\n"},
        {"[S]\nA=1\n[S]\nA=2\n", "S", "A", "5", "[S]\nA=5\n[S]\nA=2\n"},
        // A last line ending in a lone carriage return still ends before the new line.
        {"[S]\nA=1\r", "S", "C", "3", "[S]\nA=1\r\nC=3\n"},
        {"[S]\r\nA=1\r", "S", "C", "3", "[S]\r\nA=1\r\nC=3\r\n"},
        {"[T]\r\nB=2\r", "S", "C", "3", "[T]\r\nB=2\r\n[S]\r\nC=3\r\n"},
        // A byte order mark before the first section stays, and the section is found behind it.
        {"\xEF\xBB\xBF[S]\r\nA=1\r\n", "S", "A", "2", "\xEF\xBB\xBF[S]\r\nA=2\r\n"},
        {"\xEF\xBB\xBF[S]\nA=1\n", "S", "C", "3", "\xEF\xBB\xBF[S]\nA=1\nC=3\n"},
    };
    for (const Case &c : cases) {
        SetProfile(c.before);
        EXPECT_TRUE(Write(c.section, c.key, c.value));
        EXPECT_EQ(ProfileText(), c.after) << c.before;
        char back[32] = {};
        GetPrivateProfileStringA(c.section, c.key, "(none)", back, sizeof back, kIni);
        EXPECT_STREQ(back, c.value) << c.before;
        EXPECT_TRUE(Write(c.section, c.key, c.value)); // the same write again changes nothing
        EXPECT_EQ(ProfileText(), c.after) << c.before;
    }
}

// No value removes the key's line; no key removes the whole section, up to the next one.
TEST_F(PlatformProfile, RemovingTakesOutTheKeyOrTheSectionOnly) {
    struct Case {
        std::string before;
        const char *key;
        std::string after;
    } cases[] = {
        {"[S]\nA=1\nK=2\nB=3\n", "K", "[S]\nA=1\nB=3\n"},
        {"[A]\nx=1\n[S]\nK=1\n\n[T]\nB=2\n", nullptr, "[A]\nx=1\n[T]\nB=2\n"},
    };
    for (const Case &c : cases) {
        SetProfile(c.before);
        EXPECT_TRUE(Write("S", c.key, nullptr));
        EXPECT_EQ(ProfileText(), c.after) << c.before;
    }
}

TEST_F(PlatformProfile, AWriteReplacesTheFileAtomically) {
    SetProfile("[S]\nK=old\n");
    int fd = open(Profile().c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    struct stat before {
    }, after{};
    ASSERT_EQ(stat(Profile().c_str(), &before), 0);

    EXPECT_TRUE(Write("S", "K", "new"));
    ASSERT_EQ(stat(Profile().c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_EQ(ProfileText(), "[S]\nK=new\n");
    char buf[64] = {};
    EXPECT_EQ(pread(fd, buf, sizeof buf - 1, 0), 10);
    EXPECT_STREQ(buf, "[S]\nK=old\n");
    close(fd);
    EXPECT_EQ(ConfigEntries(), std::vector<std::string>{kIni}); // no temporary file left behind
}

TEST_F(PlatformProfile, AWriteIntoAReadOnlyDirectoryFailsAndChangesNothing) {
    const std::string text = "[S]\nK=old\n";
    SetProfile(text);
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(dir_ / "config", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                         fs::perms::others_exec);
    fs::permissions(Profile(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    // Root writes anywhere, so the write runs in a child that, under root, becomes an ordinary user.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        _exit(Write("S", "K", "new") ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the write succeeded, 2: could not drop root";
    fs::permissions(dir_ / "config", fs::perms::owner_all);
    EXPECT_EQ(ProfileText(), text);
    EXPECT_EQ(ConfigEntries(), std::vector<std::string>{kIni});
}

TEST_F(PlatformProfile, AProfileThatIsASymlinkStaysOne) {
    const fs::path target = dir_ / "real" / "target.ini";
    fs::create_directories(target.parent_path());
    test::WriteFile(target, "[S]\nK=old\n");
    fs::create_symlink(target, Profile());
    EXPECT_TRUE(Write("S", "K", "new"));
    EXPECT_TRUE(fs::is_symlink(Profile()));
    EXPECT_EQ(test::ReadFile(target), "[S]\nK=new\n");
    char buf[16];
    GetPrivateProfileStringA("S", "K", "", buf, sizeof buf, kIni);
    EXPECT_STREQ(buf, "new");
}

// Runs fn in a child process that is stopped if it takes more than a few seconds; true when fn returned
// true in time.
bool InChild(const std::function<bool()> &fn) {
    pid_t child = fork();
    if (child == 0) {
        alarm(20);
        _exit(fn() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Only a regular file of bounded size is a profile: anything else reads as missing, the read never
// waits or runs out of memory, and the write fails without replacing it.
TEST_F(PlatformProfile, OnlyABoundedRegularFileIsReadOrReplaced) {
    const bool root = geteuid() == 0;
    const fs::path nodes = dir_ / "nodes";
    fs::create_directories(nodes);
    // Private device nodes as root (the system's own are never put at risk); else the real ones, which an
    // ordinary user cannot replace.
    const auto device = [root](const char *system_node, unsigned minor) {
        return [=](const fs::path &p) {
            return root ? mknod(p.c_str(), S_IFCHR | 0666, makedev(1, minor)) == 0
                        : symlink(system_node, p.c_str()) == 0;
        };
    };
    struct Case {
        const char *name;
        std::function<bool(const fs::path &)> make; // false: cannot be made here
        bool link;                                  // the profile is a symbolic link to it
    } cases[] = {
        {"fifo", [](const fs::path &p) { return mkfifo(p.c_str(), 0600) == 0; }, false},
        {"fifo", [](const fs::path &p) { return mkfifo(p.c_str(), 0600) == 0; }, true},
        {"directory", [](const fs::path &p) { return fs::create_directory(p); }, true},
        {"null", device("/dev/null", 3), true},
        {"zero", device("/dev/zero", 5), true},
        {"urandom", device("/dev/urandom", 9), true},
        {"huge",
         [](const fs::path &p) { // 17 MiB: a section at the start, then a hole
             test::WriteFile(p, "[Settings]\nDispType=5\n");
             return truncate(p.c_str(), 17 << 20) == 0;
         },
         true},
    };
    for (const Case &c : cases) {
        const fs::path node = nodes / c.name;
        fs::remove(Profile());
        fs::remove(node);
        if (!c.make(c.link ? node : Profile())) {
            ADD_FAILURE() << c.name << " could not be made";
            continue;
        }
        if (c.link) fs::create_symlink(node, Profile());
        struct stat before {
        }, after{};
        ASSERT_EQ(stat(Profile().c_str(), &before), 0) << c.name;
        EXPECT_TRUE(InChild([&] { return ReadInt() == 42 && !Write("Settings", "DispType", "3"); }))
            << c.name;
        ASSERT_EQ(stat(Profile().c_str(), &after), 0) << c.name;
        EXPECT_EQ(after.st_ino, before.st_ino) << c.name;
        EXPECT_EQ(after.st_mode, before.st_mode) << c.name;
        EXPECT_EQ(after.st_size, before.st_size) << c.name;
        EXPECT_EQ(fs::is_symlink(Profile()), c.link) << c.name;
        EXPECT_EQ(ConfigEntries(), std::vector<std::string>{kIni}) << c.name;
    }
}

// A write changes the file's bytes and nothing else: its owner, its mode, and every name it has.
TEST_F(PlatformProfile, AWriteKeepsOwnerModeAndHardLinks) {
    const fs::path elsewhere = dir_ / "elsewhere";
    fs::create_directories(elsewhere);
    const uid_t owner = geteuid() == 0 ? 65534 : geteuid(); // as root: another user's file
    const gid_t group = geteuid() == 0 ? 65534 : getegid();
    for (bool linked : {false, true}) {
        const fs::path file = elsewhere / "target.ini", second = elsewhere / "second.ini";
        fs::remove(Profile());
        fs::remove(second);
        test::WriteFile(file, "[S]\nK=old\n");
        ASSERT_EQ(chmod(file.c_str(), 0640), 0);
        ASSERT_EQ(chown(file.c_str(), owner, group), 0);
        fs::create_symlink(file, Profile());
        if (linked) fs::create_hard_link(file, second);
        struct stat before {
        }, after{};
        ASSERT_EQ(stat(file.c_str(), &before), 0);

        EXPECT_TRUE(Write("S", "K", "new")) << linked;
        ASSERT_EQ(stat(file.c_str(), &after), 0);
        EXPECT_EQ(test::ReadFile(file), "[S]\nK=new\n");
        EXPECT_EQ(after.st_uid, owner);
        EXPECT_EQ(after.st_gid, group);
        EXPECT_EQ(after.st_mode & 07777, 0640u);
        EXPECT_EQ(after.st_nlink, before.st_nlink);
        if (linked) {
            EXPECT_EQ(after.st_ino, before.st_ino); // one file under both names
            EXPECT_EQ(test::ReadFile(second), "[S]\nK=new\n");
        }
        std::vector<std::string> names;
        for (const auto &e : fs::directory_iterator(elsewhere))
            names.push_back(e.path().filename());
        EXPECT_EQ(names.size(), linked ? 2u : 1u) << "a temporary file was left";
    }
}

// Writes killed at random moments leave the old text or the new, never a torn, empty or missing file,
// and the next write clears what a killed one left.
TEST_F(PlatformProfile, KilledWritesNeverTearTheFile) {
    const std::string pad(256 << 10, ';'), a = "[S]\nK=a\n;" + pad + "\n",
                                           b = "[S]\nK=bbbbbbbb\n;" + pad + "\n";
    SetProfile(a);
    unsigned seed = unsigned(getpid());
    for (int round = 0; round < 60; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i)
                Write("S", "K", i % 2 ? "a" : "bbbbbbbb");
        }
        usleep(useconds_t(rand_r(&seed) % 4000));
        kill(child, SIGKILL);
        ASSERT_EQ(waitpid(child, nullptr, 0), child);
        const std::string text = ProfileText();
        ASSERT_TRUE(text == a || text == b) << "round " << round << ": " << text.size() << " bytes";
        EXPECT_LE(ConfigEntries().size(), 2u);
    }
    EXPECT_TRUE(Write("S", "K", "final"));
    EXPECT_EQ(ConfigEntries(), std::vector<std::string>{kIni});
}

TEST_F(PlatformProfile, DecimalTextReadsBackAsTheSameNumber) {
    for (int value : {INT_MIN, -1, 0, INT_MAX}) {
        char text[16];
        wsprintfA(text, "%d", value);
        ASSERT_TRUE(Write("Settings", "DispType", text));
        EXPECT_EQ(ReadInt(), value) << text;
    }
}

} // namespace
