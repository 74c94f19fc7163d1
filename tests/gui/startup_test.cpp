// Start-up, preferences, splash timer and shut-down of the main window.
#include "gui_test_util.h"

#include "app/credit.h"
#include "splash/splash_screen.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QPushButton>
#include <QTimer>

namespace tambrel::guitest {
namespace {

constexpr const char *kWrittenPrefs = "Splash:-1\r\nTHEEND:\r\n";

class StartupTest : public GuiTest {
  protected:
    void Start() { MakeMain({Dir(), config_.path().toStdString()}); }
    bool SplashShown() const {
        return main_->SplashWindow() != nullptr && main_->SplashWindow()->isVisible();
    }
};

TEST_F(StartupTest, TitleCarriesVersionAndTwelveCharacterCredit) {
    Main();
    EXPECT_EQ(main_->CreditText().size(), 12u);
    EXPECT_EQ(main_->windowTitle().toStdString(), "Tambrel V0.08b,  By " + main_->CreditText());
    EXPECT_EQ(main_->BatchSaveMode, 2);
    EXPECT_EQ(main_->ProgramFolder(), Dir());
}

// Each row: the preferences file's content before the start (nullptr: no file)
// and whether the splash appears.
struct SplashCase {
    const char *name;
    const char *prefs;
    bool splash;
};
void PrintTo(const SplashCase &c, std::ostream *os) {
    *os << c.name;
}

class SplashAtStart : public StartupTest, public ::testing::WithParamInterface<SplashCase> {};

TEST_P(SplashAtStart, ShowsSplashOnceUnlessPreferencesSayMinusOne) {
    const SplashCase &c = GetParam();
    if (c.prefs)
        WriteText(Path("TambrelPref.txt"), c.prefs);
    Start();
    EXPECT_EQ(main_->Timer1()->isActive(), c.splash);
    EXPECT_EQ(main_->Timer1()->interval(), 100);
    Wait(400);
    EXPECT_EQ(SplashShown(), c.splash);
    EXPECT_FALSE(main_->Timer1()->isActive()) << "the timer fires at most once";

    // Quit writes the file anew: exactly two CR LF lines.
    Trigger("mnu_File_Quit");
    EXPECT_EQ(ReadText(Path("TambrelPref.txt")), kWrittenPrefs);
    EXPECT_EQ(tk_.EndCount, 1);
    EXPECT_TRUE(main_->Ended());
    EXPECT_FALSE(SplashShown()) << "shut-down closes the splash";
}

INSTANTIATE_TEST_SUITE_P(
    Preferences, SplashAtStart,
    ::testing::Values(SplashCase{"NoFile", nullptr, true},
                      SplashCase{"MinusOne", "Splash:-1\r\nTHEEND:\r\n", false},
                      SplashCase{"BlankZero", "Splash: 0\r\nTHEEND:\r\n", true},
                      SplashCase{"LowerCaseKey", "splash:-1\r\nTHEEND:\r\n", true},
                      SplashCase{"OtherKeysFirst", "Colour:3\r\nx\r\nSplash:-1\r\nTHEEND:\r\n",
                                 false},
                      SplashCase{"AfterTheEnd", "THEEND:\r\nSplash:-1\r\n", true},
                      SplashCase{"NoTerminator", "Splash:-1\r\n", false},
                      SplashCase{"Garbage", "\x01\x02zz:::\r\n,,,\r\n", true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(StartupTest, ClosingTheWindowRunsTheShutDown) {
    WriteText(Path("TambrelPref.txt"), "Splash: 5\r\nMore:1\r\nTHEEND:\r\nTrailing\r\n");
    Start();
    main_->show();
    main_->close();
    EXPECT_EQ(ReadText(Path("TambrelPref.txt")), kWrittenPrefs);
    EXPECT_EQ(tk_.EndCount, 1);
    EXPECT_FALSE(main_->isVisible());
}

TEST_F(StartupTest, UnwritableProgramFolderKeepsPreferencesInConfigFolder) {
    // A regular file as the program "folder": nothing can be created in it.
    const std::string notAFolder = Path("program-file");
    WriteText(notAFolder, "x");
    const std::string config = config_.path().toStdString() + "/nested/cfg";
    MakeMain({notAFolder, config});
    EXPECT_EQ(main_->PreferencesPath(), config + "/TambrelPref.txt");
    Wait(300);
    EXPECT_TRUE(main_->SplashWindow() && main_->SplashWindow()->isVisible());
    Trigger("mnu_File_Quit");
    EXPECT_EQ(ReadText(config + "/TambrelPref.txt"), kWrittenPrefs);
    EXPECT_EQ(tk_.EndCount, 1);

    // The next start finds the choice there: no splash.
    main_.reset();
    MakeMain({notAFolder, config});
    EXPECT_FALSE(main_->Timer1()->isActive());
}

TEST_F(StartupTest, InstalledProgramKeepsPreferencesInConfigFolderEvenForRoot) {
    // /usr/bin is writable for root, but a package must not leave files there.
    const std::string config = config_.path().toStdString() + "/cfg";
    MakeMain({"/usr/bin", config});
    EXPECT_EQ(main_->PreferencesPath(), config + "/TambrelPref.txt");
}

TEST_F(StartupTest, ShutDownCompletesWhenNoPreferencesCanBeWritten) {
    WriteText(Path("blocker"), "x");
    // Both folders lie below a regular file, so neither can be created.
    MakeMain({Path("blocker/prog"), Path("blocker/config")});
    Trigger("mnu_File_Quit");
    EXPECT_TRUE(main_->Ended());
    EXPECT_EQ(tk_.EndCount, 1);
    EXPECT_FALSE(Exists(Path("blocker/prog/TambrelPref.txt")));
}

TEST_F(StartupTest, AboutShowsSplashAndSwitchesTheTimerOff) {
    Start(); // no preferences file: the timer is pending
    ASSERT_TRUE(main_->Timer1()->isActive());
    Trigger("mnu_about_about");
    EXPECT_FALSE(main_->Timer1()->isActive());
    ASSERT_NE(main_->SplashWindow(), nullptr);
    auto *first = main_->SplashWindow();
    EXPECT_TRUE(first->isVisible());
    Wait(300);
    EXPECT_EQ(main_->SplashWindow(), first) << "one splash window only";

    // Closed and asked for again: a fresh window with the same text.
    const std::string text = first->AboutText();
    first->close();
    Wait(50);
    Trigger("mnu_about_about");
    ASSERT_NE(main_->SplashWindow(), nullptr);
    EXPECT_TRUE(main_->SplashWindow()->isVisible());
    EXPECT_EQ(main_->SplashWindow()->AboutText(), text);
}

TEST_F(StartupTest, SplashButtonsReachTheShellAndTheShutDown) {
    Start();
    Wait(300);
    Frm_SplashScreen *splash = main_->SplashWindow();
    ASSERT_TRUE(splash && splash->isVisible());
    splash->findChild<QPushButton *>("Splash_UpdateButton")->click();
    ASSERT_EQ(tk_.Opened.size(), 1u);
    EXPECT_EQ(tk_.Opened[0].rfind("http://", 0), 0u);
    EXPECT_TRUE(splash->isVisible()) << "Updates leaves the splash open";
    EXPECT_FALSE(main_->Ended());

    splash->findChild<QPushButton *>("Command1")->click();
    EXPECT_TRUE(main_->Ended());
    EXPECT_EQ(tk_.EndCount, 1);
    EXPECT_EQ(ReadText(Path("TambrelPref.txt")), kWrittenPrefs);
}

TEST_F(StartupTest, WebSiteEntryOpensTheMakersAddress) {
    Main();
    Trigger("mnu_about_website");
    ASSERT_EQ(tk_.Opened.size(), 1u);
    EXPECT_EQ(tk_.Opened[0].rfind("http://", 0), 0u);
    auto *entry = main_->findChild<QAction *>("mnu_about_website");
    ASSERT_NE(entry, nullptr);
    // The caption is the domain the address leads to, capitalised.
    const std::string caption = entry->text().toLower().toStdString();
    EXPECT_NE(tk_.Opened[0].find(caption), std::string::npos) << caption;
}

} // namespace
} // namespace tambrel::guitest
