// The settings as the profile file holds them: what a saver run reads and writes back, and what the
// settings dialog shows, stores and warns about.

#include "support.h"

#include "settings/settings_dialog.h"
#include "settings/settings_store.h"

#include <iconv.h>

namespace {

using test::SaverTest;

class SettingsTest : public SaverTest {
  protected:
    int RunSaverOnce() {
        headless::script({[] { headless::tick(); }, [] { headless::input(WM_KEYDOWN); }});
        return Run("/s");
    }
    // Opens the dialog and lets the driver act on it; returns the exit code.
    int RunDialog(std::function<void(HWND)> driver) {
        headless::set_dialog_driver(std::move(driver));
        return Run("/c");
    }
    static std::vector<int> Checked() {
        std::vector<int> ids;
        for (int id : {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008})
            if (headless::dialog_state(id)) ids.push_back(id);
        return ids;
    }
};

TEST_F(SettingsTest, SaverRunWritesEndlessFireBackAndNothingElse) {
    struct Case {
        const char *before, *after;
        int32_t eternal;
    } cases[] = {
        // No file at all: the defaults, and the section with the one key afterwards.
        {nullptr, "[SCRWARPVUE_SECTION]\nEternalFire=0\n", 0},
        {"[SCRWARPVUE_SECTION]\nEternalFire=5\n", "[SCRWARPVUE_SECTION]\nEternalFire=5\n", 5},
        // Whatever text the key held becomes the decimal form of what was read from it.
        {"[SCRWARPVUE_SECTION]\nEternalFire= 0x10 \n", "[SCRWARPVUE_SECTION]\nEternalFire=16\n", 16},
        // Display type and robot switch are never written, whatever they hold; other lines survive.
        {"; mine\n[SCRWARPVUE_SECTION]\nDispType = abc\nDispRobo=0x2\n\n[Other]\nx=1\n",
         "; mine\n[SCRWARPVUE_SECTION]\nDispType = abc\nDispRobo=0x2\nEternalFire=0\n\n[Other]\nx=1\n", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.before ? c.before : "(no file)");
        std::filesystem::remove(Profile());
        if (c.before) SetProfile(c.before);
        test::ResetProgramState();
        headless::reset(16, 12);
        EXPECT_EQ(RunSaverOnce(), 0);
        EXPECT_EQ(ProfileText(), c.after);
        EXPECT_EQ(g_app.settings.EternalFire, c.eternal);
    }
}

TEST_F(SettingsTest, DefaultsWithoutAFile) {
    EXPECT_EQ(RunSaverOnce(), 0);
    EXPECT_EQ(g_app.settings.DispType, 1);
    EXPECT_EQ(g_app.settings.DispRobo, 1);
    EXPECT_EQ(g_app.settings.EternalFire, 0);
}

TEST_F(SettingsTest, UnwritableProfileIsQuietlyIgnored) {
    // A configuration directory nobody can create, not even root: reads give the defaults and the
    // write-back fails without a word.
    setenv("XDG_CONFIG_HOME", "/proc/self/no-such-directory", 1);
    EXPECT_EQ(RunSaverOnce(), 0);
    EXPECT_EQ(g_app.settings.DispType, 1);
    EXPECT_EQ(g_app.settings.EternalFire, 0);
    EXPECT_TRUE(headless::message_boxes().empty());
    EXPECT_FALSE(headless::script_overrun());
}

TEST_F(SettingsTest, DialogShowsTheStoredValues) {
    struct Case {
        const char *profile;
        std::vector<int> checked;
    } cases[] = {
        {nullptr, {1000, 1007}},
        {"DispType=4\nDispRobo=1\n", {1002, 1007}},
        {"DispType=3\nDispRobo=0\n", {1003}},
        {"DispType=8\nDispRobo=2\n", {1008}},
        {"DispType=9\n", {1007}},
        {"DispType=-1\nDispRobo=1\n", {1007}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.profile ? c.profile : "(no file)");
        std::filesystem::remove(Profile());
        if (c.profile) SetProfile(std::string("[SCRWARPVUE_SECTION]\n") + c.profile);
        std::string before = c.profile ? ProfileText() : "";
        std::vector<int> seen;
        EXPECT_EQ(RunDialog([&](HWND) {
                      seen = Checked();
                      headless::dialog_escape();
                  }),
                  0);
        EXPECT_EQ(seen, c.checked);
        EXPECT_FALSE(headless::dialog_left_open());
        // Cancelling writes nothing and shows nothing.
        EXPECT_EQ(c.profile ? ProfileText() : std::string(), before);
        EXPECT_EQ(std::filesystem::exists(Profile()), c.profile != nullptr);
        EXPECT_TRUE(headless::message_boxes().empty());
    }
}

TEST_F(SettingsTest, ConfirmingStoresTheChoice) {
    struct Case {
        const char *profile;
        std::vector<int> clicks;
        const char *after;
    } cases[] = {
        {nullptr, {}, "[SCRWARPVUE_SECTION]\nDispType=1\nDispRobo=1\n"},
        {nullptr, {1003, 1007}, "[SCRWARPVUE_SECTION]\nDispType=3\nDispRobo=0\n"},
        {nullptr, {1002}, "[SCRWARPVUE_SECTION]\nDispType=4\nDispRobo=1\n"},
        {nullptr, {1008, 1004}, "[SCRWARPVUE_SECTION]\nDispType=5\nDispRobo=1\n"},
        // A type outside 1 to 8 checks nothing; confirming at once stores 1.
        {"[SCRWARPVUE_SECTION]\nDispType=9\nDispRobo=0\n",
         {},
         "[SCRWARPVUE_SECTION]\nDispType=1\nDispRobo=0\n"},
        // The endless fire, set by hand, survives; the order of the keys stays.
        {"[SCRWARPVUE_SECTION]\nEternalFire=5\nDispRobo=1\n",
         {1007, 1005},
         "[SCRWARPVUE_SECTION]\nEternalFire=5\nDispRobo=0\nDispType=6\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.after);
        std::filesystem::remove(Profile());
        if (c.profile) SetProfile(c.profile);
        EXPECT_EQ(RunDialog([&](HWND) {
                      for (int id : c.clicks)
                          headless::dialog_click(id);
                      headless::dialog_enter();
                  }),
                  0);
        EXPECT_EQ(ProfileText(), c.after);
        EXPECT_TRUE(headless::message_boxes().empty());
    }
}

TEST_F(SettingsTest, OvervoltageIsStoredOnlyAfterTheWarning) {
    for (const char *profile : {"", "[SCRWARPVUE_SECTION]\nDispType=7\n"}) {
        SCOPED_TRACE(profile);
        SetProfile(profile);
        headless::reset(16, 12);
        std::string file_while_warning = "unset";
        headless::set_message_box_hook([&](const headless::ShownBox &) {
            file_while_warning = ProfileText();
            return IDOK;
        });
        HWND dialog_hwnd = nullptr;
        EXPECT_EQ(RunDialog([&](HWND dialog) {
                      dialog_hwnd = dialog;
                      headless::dialog_click(1006);
                      EXPECT_TRUE(headless::message_boxes().empty())
                          << "clicking the button alone never warns";
                      headless::dialog_enter();
                  }),
                  0);
        ASSERT_EQ(headless::message_boxes().size(), 1u);
        const headless::ShownBox &box = headless::message_boxes()[0];
        EXPECT_EQ(box.text, FireWarning);
        EXPECT_EQ(box.caption, "SCRWARPVUE");
        EXPECT_EQ(box.type, UINT(MB_OK | MB_ICONINFORMATION));
        EXPECT_EQ(box.owner, dialog_hwnd);
        EXPECT_EQ(file_while_warning, profile) << "nothing is written before the warning is closed";
        EXPECT_EQ(ProfileText(), "[SCRWARPVUE_SECTION]\nDispType=7\nDispRobo=1\n");
    }
}

TEST_F(SettingsTest, CancellingAfterChoosingOvervoltageNeitherWarnsNorWrites) {
    SetProfile("[SCRWARPVUE_SECTION]\nDispType=2\n");
    EXPECT_EQ(RunDialog([](HWND) {
                  headless::dialog_click(1006);
                  headless::dialog_click(1007);
                  headless::dialog_escape();
              }),
              0);
    EXPECT_TRUE(headless::message_boxes().empty());
    EXPECT_EQ(ProfileText(), "[SCRWARPVUE_SECTION]\nDispType=2\n");
}

TEST_F(SettingsTest, KeyboardWalksTheTabStopsAndTheFaultButtons) {
    // Tab reaches the faults at the checked button (a radio button is a tab stop while checked); the
    // arrows walk the dialog's one group in template order, choosing each fault they land on and
    // wrapping round; Space toggles the focused box; Enter presses the default button.
    SetProfile("[SCRWARPVUE_SECTION]\nDispType=5\nDispRobo=1\n");
    using K = dialog::Key;
    struct Step {
        K key;
        int focus;
        std::vector<int> checked;
    } steps[] = {
        {K::Tab, 2, {1004, 1007}},     {K::Tab, 1004, {1004, 1007}},  {K::Down, 1005, {1005, 1007}},
        {K::Down, 1006, {1006, 1007}}, {K::Down, 1007, {1006, 1007}}, {K::Down, 1008, {1007, 1008}},
        {K::Down, 1, {1007, 1008}},    {K::Up, 1008, {1007, 1008}},   {K::BackTab, 1007, {1007, 1008}},
        {K::BackTab, 2, {1007, 1008}}, {K::Tab, 1007, {1007, 1008}},  {K::Space, 1007, {1008}},
        {K::Up, 1006, {1006}},         {K::Up, 1005, {1005}},
    };
    EXPECT_EQ(RunDialog([&](HWND) {
                  EXPECT_EQ(headless::dialog_focus(), 1);
                  for (const Step &step : steps) {
                      headless::dialog_key(step.key);
                      EXPECT_EQ(headless::dialog_focus(), step.focus) << "step " << &step - steps;
                      EXPECT_EQ(Checked(), step.checked) << "step " << &step - steps;
                  }
                  headless::dialog_enter();
              }),
              0);
    EXPECT_EQ(ProfileText(), "[SCRWARPVUE_SECTION]\nDispType=6\nDispRobo=0\n");
    // Enter on the focused cancel button cancels: nothing is written.
    std::filesystem::remove(Profile());
    EXPECT_EQ(RunDialog([](HWND) {
                  headless::dialog_key(dialog::Key::Tab);
                  headless::dialog_enter();
              }),
              0);
    EXPECT_FALSE(headless::dialog_left_open());
    EXPECT_FALSE(std::filesystem::exists(Profile()));
}

TEST_F(SettingsTest, DialogChoiceThenSaverRun) {
    EXPECT_EQ(RunDialog([](HWND) {
                  headless::dialog_click(1006);
                  headless::dialog_click(1007);
                  headless::dialog_enter();
              }),
              0);
    test::ResetProgramState();
    headless::reset(16, 12);
    EXPECT_EQ(RunSaverOnce(), 0);
    EXPECT_EQ(g_app.settings.DispType, 7);
    EXPECT_EQ(ProfileText(), "[SCRWARPVUE_SECTION]\nDispType=7\nDispRobo=0\nEternalFire=0\n");
}

TEST(FireWarningText, TwelveLinesInTheJapaneseCodePage) {
    std::string text = FireWarning;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 12);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_NE(text.find("があ　　　\n"), std::string::npos);
    EXPECT_NE(text.find("１０分"), std::string::npos);
    // Held in code page 932 the warning is 279 bytes: every character is one that code page has.
    iconv_t cd = iconv_open("CP932", "UTF-8");
    ASSERT_NE(cd, iconv_t(-1));
    std::vector<char> out(1024);
    char *in = text.data(), *o = out.data();
    size_t in_left = text.size(), out_left = out.size();
    ASSERT_NE(iconv(cd, &in, &in_left, &o, &out_left), size_t(-1));
    iconv_close(cd);
    EXPECT_EQ(out.size() - out_left, 279u);
}

TEST_F(SettingsTest, DialogTemplateAsBuiltIntoTheProgram) {
    const backend::DialogTemplate *tpl = nullptr;
    std::vector<int> ids;
    std::vector<std::string> labels;
    DWORD style = 0;
    RunDialog([&](HWND) {
        tpl = headless::dialog_template();
        style = tpl->style;
        for (int i = 0; i < tpl->count; ++i) {
            ids.push_back(tpl->controls[i].id);
            labels.push_back(tpl->controls[i].text);
            EXPECT_STREQ(tpl->controls[i].klass, "BUTTON");
            EXPECT_EQ(tpl->controls[i].style & WS_GROUP, 0u) << "the eight radio buttons form one group";
        }
        EXPECT_STREQ(tpl->caption, "スクリーンセーバー設定");
        EXPECT_STREQ(tpl->font, "MS Shell Dlg");
        EXPECT_EQ(tpl->point_size, 10);
        EXPECT_EQ(tpl->cx, 188);
        EXPECT_EQ(tpl->cy, 169);
        headless::dialog_escape();
    });
    EXPECT_EQ(style, DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SHELLFONT));
    EXPECT_EQ(ids, (std::vector<int>{1, 2, -1, 1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008}));
    EXPECT_EQ(labels[1], "ｷｬﾝｾﾙ");
    EXPECT_EQ(labels[5], "垂直同期異常（ﾛﾎﾞｯﾄ表示あり）");
    EXPECT_EQ(labels[10], "ロボット表示する");
}

} // namespace
