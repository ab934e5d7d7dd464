// The saver's run-only choices on the Linux command line: taken off before anything reads the switches,
// standing in for the settings file's values while a saver run reads them, and never written to it.

#include "support.h"

#include "platform/posix/saver_options.h"
#include "settings/settings_store.h"

namespace {

class SaverOptions : public test::SaverTest {
  protected:
    void TearDown() override {
        posix::use_saver_choices({});
        test::SaverTest::TearDown();
    }
};

TEST_F(SaverOptions, ChoicesHoldForTheRunAndTheFileKeepsItsOwnValues) {
    const char *const file = "[SCRWARPVUE_SECTION]\nDispType=2\nDispRobo=1\nEternalFire=x\n";
    const char *const file_after = "[SCRWARPVUE_SECTION]\nDispType=2\nDispRobo=1\nEternalFire=0\n";
    struct Case {
        std::vector<const char *> args;
        const char *before;             // the file, or none
        std::vector<const char *> left; // what reaches the host's switches
        int errors;                     // lines on standard error
        Settings run;                   // what the saver run reads
        const char *after;              // the file afterwards
    };
    const Case cases[] = {
        {{"/s"}, file, {"/s"}, 0, {2, 1, 0}, file_after},
        {{"--fault", "7", "--no-robot", "--eternal-fire", "/s"}, file, {"/s"}, 0, {7, 0, 1}, file_after},
        {{"-fault", "4", "-robot", "-no-eternal-fire", "--root"}, file, {"--root"}, 0, {4, 1, 0}, file_after},
        {{"--fault=8", "--window-id", "0x12"}, file, {"--window-id", "0x12"}, 0, {8, 1, 0}, file_after},
        // Without a file the run's write-back makes the key the store always makes, with the file's 0.
        {{"--eternal-fire", "/s"}, nullptr, {"/s"}, 0, {1, 1, 1}, "[SCRWARPVUE_SECTION]\nEternalFire=0\n"},
        // Bad values and unknown options: one line each, and the file's value.
        {{"--fault", "9", "/s"}, file, {"/s"}, 1, {2, 1, 0}, file_after},
        {{"--fault=3x", "/s"}, file, {"/s"}, 1, {2, 1, 0}, file_after},
        {{"--fault", "/s"}, file, {"/s"}, 1, {2, 1, 0}, file_after},               // a switch is no number
        {{"--robot=1", "--secret", "/s"}, file, {"/s"}, 2, {2, 1, 0}, file_after}, // "--secret" is no "-s"
        // What is not an option stays for the entry's scan as it was.
        {{"--s", "-x", "/c:12", "--help"}, file, {"--s", "-x", "/c:12", "--help"}, 0, {2, 1, 0}, file_after},
    };
    for (const Case &c : cases) {
        std::string label;
        for (const char *a : c.args)
            label += std::string(" ") + a;
        SCOPED_TRACE(label);
        std::filesystem::remove(Profile());
        if (c.before) SetProfile(c.before);
        std::vector<char *> argv{const_cast<char *>("scrwarpvue")};
        for (const char *a : c.args)
            argv.push_back(const_cast<char *>(a));
        argv.push_back(nullptr);
        int argc = int(argv.size()) - 1;
        std::FILE *errors = std::tmpfile();
        ASSERT_NE(errors, nullptr);
        posix::use_saver_choices(posix::take_saver_options(&argc, argv.data(), errors));

        std::vector<std::string> left(argv.begin() + 1, argv.begin() + argc);
        EXPECT_EQ(left, std::vector<std::string>(c.left.begin(), c.left.end()));
        std::rewind(errors);
        int lines = 0;
        for (int ch; (ch = std::fgetc(errors)) != EOF;)
            lines += ch == '\n';
        std::fclose(errors);
        EXPECT_EQ(lines, c.errors);

        LoadSettings();
        EXPECT_EQ(g_app.settings.DispType, c.run.DispType);
        EXPECT_EQ(g_app.settings.DispRobo, c.run.DispRobo);
        EXPECT_EQ(g_app.settings.EternalFire, c.run.EternalFire);
        EXPECT_EQ(ProfileText(), c.after);
    }
}

} // namespace
