// Start-up, preferences, splash, About and shut-down of the main window, and
// what the windows remember between runs (folders, zoom) in their own file.
#include "gui_test_util.h"

#include "app/remembered.h"
#include "app/show_pic.h"
#include "splash/splash_screen.h"

#include <QPushButton>
#include <QTimer>

#include <cstdio>

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

// The preferences file before the start (nullptr: none), whether the splash
// appears, and whether the run ends by closing the window rather than Quit.
struct SplashCase {
    const char *name, *prefs;
    bool splash, closeWindow;
};

class SplashAtStart : public StartupTest, public ::testing::WithParamInterface<SplashCase> {};

TEST_P(SplashAtStart, SplashOnceUnlessMinusOneAndFileRewrittenAtTheEnd) {
    const SplashCase &c = GetParam();
    if (c.prefs)
        WriteText(Path("TambrelPref.txt"), c.prefs);
    Start();
    EXPECT_EQ(main_->windowTitle().toStdString(), "Tambrel V0.08b,  By " + main_->CreditText());
    Wait(400);
    EXPECT_EQ(SplashShown(), c.splash);
    EXPECT_FALSE(main_->Timer1()->isActive()) << "the timer fires at most once";
    if (c.closeWindow) {
        main_->show();
        main_->close();
        EXPECT_FALSE(main_->isVisible());
    } else {
        Trigger("mnu_File_Quit");
    }
    EXPECT_EQ(ReadText(Path("TambrelPref.txt")), kWrittenPrefs);
    EXPECT_EQ(tk_.EndCount, 1);
    EXPECT_FALSE(SplashShown()) << "shut-down closes the splash";
}

INSTANTIATE_TEST_SUITE_P(Preferences, SplashAtStart,
                         ::testing::Values(SplashCase{"NoFile", nullptr, true, false},
                                           SplashCase{"MinusOne", kWrittenPrefs, false, false},
                                           SplashCase{"OtherValueClosed",
                                                      "Splash: 5\r\nMore:1\r\nTHEEND:\r\nx\r\n",
                                                      true, true}),
                         [](const auto &info) { return std::string(info.param.name); });

// Where the preferences go when the program folder cannot take them; the next
// start finds the choice there (no splash pending).
TEST_F(StartupTest, PreferencesFallBackToTheConfigFolder) {
    WriteText(Path("file"), "x");
    const std::string config = config_.path().toStdString() + "/nested/cfg";
    struct Case {
        std::string program, config;
        bool written; // false: nothing can be created anywhere
    };
    for (const Case &c : {Case{Path("file"), config, true}, // a regular file as the folder
                          Case{"/usr/bin", config, true},   // installed: even root keeps out
                          Case{Path("file/prog"), Path("file/cfg"), false}}) {
        SCOPED_TRACE(c.program);
        std::remove((c.config + "/TambrelPref.txt").c_str());
        tk_.EndCount = 0;
        MakeMain({c.program, c.config});
        EXPECT_EQ(main_->PreferencesPath(), c.config + "/TambrelPref.txt");
        Trigger("mnu_File_Quit");
        EXPECT_EQ(tk_.EndCount, 1) << "shut-down completes whatever the file system says";
        EXPECT_EQ(ReadText(c.config + "/TambrelPref.txt"), c.written ? kWrittenPrefs : "");
        main_.reset();
        MakeMain({c.program, c.config});
        EXPECT_EQ(main_->Timer1()->isActive(), !c.written);
        main_.reset();
    }
}

TEST_F(StartupTest, AboutAndTheSplashButtons) {
    Start(); // no preferences file: the splash timer is pending
    Trigger("mnu_about_about");
    EXPECT_FALSE(main_->Timer1()->isActive()) << "About switches the timer off";
    Frm_SplashScreen *first = main_->SplashWindow();
    ASSERT_TRUE(first && first->isVisible());
    const std::string text = first->AboutText();
    first->findChild<QPushButton *>("Frm_splash_button1")->click(); // Lets Start closes it
    EXPECT_FALSE(first->isVisible());
    Wait(50);
    // Closed and asked for again: a fresh window with the same text.
    Trigger("mnu_about_about");
    Frm_SplashScreen *splash = main_->SplashWindow();
    ASSERT_TRUE(splash && splash->isVisible());
    EXPECT_EQ(splash->AboutText(), text);

    // The web-site entry and the splash's Updates button open the maker's
    // address, whose domain is the entry's caption.
    Trigger("mnu_about_website");
    splash->findChild<QPushButton *>("Splash_UpdateButton")->click();
    ASSERT_EQ(tk_.Opened.size(), 2u);
    const QString caption = main_->findChild<QAction *>("mnu_about_website")->text().toLower();
    for (const std::string &address : tk_.Opened) {
        EXPECT_EQ(address.rfind("http://", 0), 0u);
        EXPECT_NE(address.find(caption.toStdString()), std::string::npos) << address;
    }
    EXPECT_TRUE(splash->isVisible()) << "Updates leaves the splash open";
    EXPECT_FALSE(main_->Ended());

    splash->findChild<QPushButton *>("Command1")->click();
    EXPECT_TRUE(main_->Ended());
    EXPECT_EQ(tk_.EndCount, 1);
    EXPECT_EQ(ReadText(Path("TambrelPref.txt")), kWrittenPrefs);
}

// The load dialog's filters; each dialog starts in the folder last used, across
// runs, and Save As suggests the BMP name; the picture window's zoom is kept.
TEST_F(StartupTest, FoldersAndZoomRememberedBetweenRuns) {
    MakeFolder(Path("pics"));
    MakeFolder(Path("out"));
    LoadQuad("pics/Duck.ilbm", 30, 20);
    ASSERT_EQ(main_->Picture().PictureLoaded, 1);
    const FileDialogRequest first = dialogs_.FileRequests()[0];
    EXPECT_EQ(first.filters,
              (std::vector<FilterEntry>{{"(*.Iff)", "*.iff"},
                                        {"all Amiga pictures", "*.iff;*.ilbm;*.lbm;*.bbm"},
                                        {"all files", "*"}}));
    EXPECT_EQ(std::pair(first.defaultExt, first.initDir),
              std::pair(std::string("IFF"), std::string()))
        << "no folder remembered yet";
    main_->Do_Show_picture();
    EXPECT_DOUBLE_EQ(main_->PictureWindow()->Zoom(), 1) << "none kept yet";
    main_->PictureWindow()->ZoomIn();

    dialogs_.QueueFileAnswer(true, Path("out/Duck.bmp"));
    Trigger("mnu_File_SAVESA");
    EXPECT_EQ(dialogs_.FileRequests()[1].fileName, "Duck.bmp");
    EXPECT_EQ(dialogs_.FileRequests()[1].initDir, Path("pics"));
    EXPECT_TRUE(Exists(Path("out/Duck.bmp")));

    main_.reset(); // the program started again
    LoadViaMenu(Path("pics/Duck.ilbm"));
    EXPECT_EQ(dialogs_.FileRequests()[2].initDir, Path("out"));
    main_->Do_Show_picture();
    EXPECT_DOUBLE_EQ(main_->PictureWindow()->Zoom(), 1.5);
    EXPECT_TRUE(Exists(config_.path().toStdString() + "/" + kRememberedFileName));
    EXPECT_EQ(ReadText(Path("TambrelPref.txt")), kWrittenPrefs)
        << "the preferences keep their two lines";
}

} // namespace
} // namespace tambrel::guitest
