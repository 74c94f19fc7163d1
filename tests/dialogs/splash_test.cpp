// The splash and about window: texts, logo and the three buttons.
#include "splash/about_text.h"
#include "splash/maker_site.h"
#include "splash/splash_screen.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

#include <gtest/gtest.h>

#include <stdexcept>

namespace tambrel {
namespace {

const std::string kExpectedAbout =
    " Thanks for trying TAMBREL V0.08b  Released:23rd, Jan, 2010\r\n"
    "\r\n"
    " TAMBREL Is a simple tool for the conversion of IFF images to Windows BITMAPS.\r\n"
    "\r\n"
    " What makes TAMBREL special as it's support for various AMIGA specific IFF file formats, "
    "that aren't supported by other mainstream PC packages, and in some cases, even on the "
    "Amiga.  Including Half Bright, Dynamic Hires, HAM6, HAM8 and even Sliced Ham. (SHAM) \r\n"
    "\r\n"
    " If you notice any bugs for unsupported formats...Just Email Me\r\n";

template <typename T> T &Child(QWidget &w, const char *name) {
    if (T *child = w.findChild<T *>(QString::fromLatin1(name)))
        return *child;
    throw std::runtime_error(std::string("no control ") + name);
}

TEST(SplashScreen, TextsCaptionsAndLogo) {
    Frm_SplashScreen splash;
    EXPECT_EQ(splash.AboutText(), kExpectedAbout);
    EXPECT_TRUE(Child<QPlainTextEdit>(splash, "Text1").isReadOnly());
    EXPECT_EQ(Child<QPlainTextEdit>(splash, "Text1").toPlainText(),
              QString::fromStdString(kExpectedAbout).replace("\r\n", "\n"));
    EXPECT_EQ(Child<QGroupBox>(splash, "Frame2").title(), "What is this ?");
    EXPECT_EQ(Child<QPushButton>(splash, "Splash_UpdateButton").text(), "Updates");
    EXPECT_EQ(Child<QPushButton>(splash, "Command1").text(), "Quit");
    EXPECT_EQ(Child<QPushButton>(splash, "Frm_splash_button1").text(), "Lets Start");
    EXPECT_EQ(splash.windowTitle(), " ");
    EXPECT_FALSE(splash.isModal());

    const QImage logo = BuildSplashLogo();
    EXPECT_EQ(logo.size(), QSize(360, 84));
    EXPECT_EQ(logo.format(), QImage::Format_Indexed8);
    EXPECT_GT(logo.colorCount(), 20); // drawn, not blank
    EXPECT_EQ(Child<QLabel>(splash, "Frm_SplashPicture").pixmap().size(), QSize(360, 84));
}

TEST(SplashScreen, ButtonEffectsWithAndWithoutCallbacks) {
    struct Case {
        const char *button;
        bool staysOpen;
        int quits;
        unsigned sites;
    } cases[] = {{"Frm_splash_button1", false, 0, 0},  // Lets Start: closes
                 {"Command1", false, 1, 0},            // Quit: closes, then ends the program
                 {"Splash_UpdateButton", true, 0, 1}}; // Updates: opens the maker's site
    for (const Case &c : cases)
        for (bool callbacks : {true, false}) {
            SCOPED_TRACE(std::string(c.button) + (callbacks ? "" : " without callbacks"));
            Frm_SplashScreen splash;
            int quits = 0;
            std::vector<std::string> urls;
            if (callbacks) {
                splash.SetQuitRequested([&] { ++quits; });
                splash.SetOpenWebSite([&](const std::string &url) { urls.push_back(url); });
            }
            splash.show();
            Child<QPushButton>(splash, c.button).click();
            EXPECT_EQ(splash.isVisible(), c.staysOpen);
            EXPECT_EQ(quits, callbacks ? c.quits : 0);
            EXPECT_EQ(urls.size(), callbacks ? c.sites : 0u);
            EXPECT_EQ(urls, std::vector<std::string>(urls.size(), MakerWebAddress()));
        }
}

TEST(SplashScreen, QuitCallbackMayEndTheSplash) {
    // The main window's shut-down may dispose of the splash during the call.
    QPointer<Frm_SplashScreen> splash = new Frm_SplashScreen;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    int quits = 0;
    bool visibleAtQuit = true;
    splash->SetQuitRequested([&] {
        ++quits;
        visibleAtQuit = splash->isVisible();
    });
    splash->show();
    Child<QPushButton>(*splash, "Command1").click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(visibleAtQuit); // the splash closes before the main window is asked to
    EXPECT_TRUE(splash.isNull());
}

} // namespace
} // namespace tambrel
