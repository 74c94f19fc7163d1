// Start-up, preferences, splash, shut-down, and what is remembered between runs.
#include "gui_test_util.h"

#include "app/remembered.h"
#include "app/show_pic.h"
#include "splash/splash_screen.h"

#include <QTimer>

#include <cstdio>

namespace tambrel::guitest {
namespace {

class StartupTest : public GuiTest {
  protected:
    void MakeMain(const std::string &program, const std::string &config) {
        main_ = std::make_unique<TambrelMain>(MainWindowOptions{program, config});
    }
    bool SplashShown() const {
        return main_->SplashWindow() != nullptr && main_->SplashWindow()->isVisible();
    }
};

// The splash shows unless the preferences say -1; the run's end rewrites them where it can.
TEST_F(StartupTest, SplashOnceUnlessMinusOneAndPreferencesRewrittenAtTheEnd) {
    WriteText(Path("file"), "x");
    const std::string config = config_.path().toStdString(), nested = config + "/nested/cfg";
    struct Case {
        std::string program, config;
        const char *prefs;
        bool splash, closeWindow, written; // written: false when nothing can be created
    };
    for (const Case &c :
         {Case{Dir(), config, kWrittenPrefs, false, false, true},
          Case{Dir(), config, "Splash: 5\r\nMore:1\r\nTHEEND:\r\nx\r\n", true, true, true},
          Case{Path("file"), nested, nullptr, true, false, true}, // a regular file as the folder
          Case{"/usr/bin", nested, nullptr, true, false, true},   // installed: even root keeps out
          Case{Path("file/prog"), Path("file/cfg"), nullptr, true, false, false}}) {
        const std::string file = (c.config == config ? c.program : c.config) + "/TambrelPref.txt";
        SCOPED_TRACE(file + " " + (c.prefs ? c.prefs : "(none)"));
        std::remove(file.c_str());
        if (c.prefs)
            WriteText(file, c.prefs);
        tk_.EndCount = 0;
        MakeMain(c.program, c.config);
        EXPECT_EQ(main_->PreferencesPath(), file);
        Wait(400);
        EXPECT_EQ(SplashShown(), c.splash);
        if (c.closeWindow) {
            main_->show();
            main_->close();
            EXPECT_FALSE(main_->isVisible());
        } else {
            Trigger("mnu_File_Quit");
        }
        EXPECT_EQ(tk_.EndCount, 1) << "shut-down completes whatever the file system says";
        EXPECT_FALSE(SplashShown()) << "shut-down closes the splash";
        EXPECT_EQ(ReadText(file), c.written ? kWrittenPrefs : "");
        MakeMain(c.program, c.config);
        EXPECT_EQ(main_->Timer1()->isActive(), !c.written);
        main_.reset();
    }
}

// The load filters; dialogs start in the folder last used, across runs.
TEST_F(StartupTest, FoldersRememberedBetweenRuns) {
    MakeFolder(Path("pics"));
    MakeFolder(Path("out"));
    LoadQuad("pics/Duck.ilbm", 30, 20);
    const FileDialogRequest first = dialogs_.FileRequests()[0];
    EXPECT_EQ(first.filters,
              (std::vector<FilterEntry>{{"(*.Iff)", "*.iff"},
                                        {"all Amiga pictures",
                                         "*.iff;*.ilbm;*.lbm;*.bbm;*.acbm;*.ham;*.ham6;*.ham8;"
                                         "*.ehb;*.brush;*.br"},
                                        {"all files", "*"}}));
    EXPECT_EQ(first.filterIndex, 2) << "every picture name at first";
    EXPECT_EQ(std::pair(first.defaultExt, first.initDir),
              std::pair(std::string("IFF"), std::string()))
        << "no folder remembered yet";

    dialogs_.QueueFileAnswer(true, Path("out/Duck.bmp"));
    Trigger("mnu_File_SAVESA");
    EXPECT_EQ(dialogs_.FileRequests()[1].fileName, "Duck.bmp");
    EXPECT_EQ(dialogs_.FileRequests()[1].initDir, Path("pics"));

    main_.reset(); // the program started again
    LoadViaMenu(Path("pics/Duck.ilbm"));
    EXPECT_EQ(dialogs_.FileRequests()[2].initDir, Path("out"));
    EXPECT_TRUE(FileExists(config_.path().toStdString() + "/" + kRememberedFileName));
}

} // namespace
} // namespace tambrel::guitest
