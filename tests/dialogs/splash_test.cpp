// The splash and about window: controls, texts, logo and buttons.
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

#include <set>

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

TEST(AboutText, ExactText) {
    EXPECT_EQ(BuildAboutText(), kExpectedAbout);
    // Every line break is a CR LF pair.
    const std::string text = BuildAboutText();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << i;
        }
        if (text[i] == '\r') {
            EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << i;
        }
    }
}

TEST(MakerSite, AddressAndCaption) {
    EXPECT_EQ(MakerWebAddress(), std::string("http://") + kMakerDomain);
    EXPECT_EQ(MakerWebAddress().rfind("http://www.", 0), 0u);
    // The caption is the domain without "www.", capitalised.
    std::string domain = std::string(kMakerDomain).substr(4);
    std::string caption = kMakerCaption;
    ASSERT_EQ(caption.size(), domain.size());
    for (std::size_t i = 0; i < caption.size(); ++i)
        EXPECT_EQ(std::tolower(static_cast<unsigned char>(caption[i])), domain[i]);
}

template <typename T> T *Child(QWidget &w, const char *name) {
    T *child = w.findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

TEST(SplashScreen, ControlsNamesCaptionsAndPlaces) {
    Frm_SplashScreen splash;
    EXPECT_EQ(splash.windowTitle(), " ");
    EXPECT_FALSE(splash.isModal());
    EXPECT_EQ(splash.size(), QSize(384, 325));

    struct Place {
        const char *name;
        QRect rect;
        const char *parent;
    } places[] = {
        {"Frame1", QRect(8, 0, 369, 321), "Frm_SplashScreen"},
        {"Frm_SplashPicture", QRect(8, 16, 353, 89), "Frame1"},
        {"Frame2", QRect(8, 104, 353, 185), "Frame1"},
        {"Text1", QRect(8, 16, 337, 161), "Frame2"},
        {"Splash_UpdateButton", QRect(8, 296, 73, 17), "Frame1"},
        {"Command1", QRect(152, 296, 65, 17), "Frame1"},
        {"Frm_splash_button1", QRect(296, 296, 65, 17), "Frame1"},
    };
    for (const Place &p : places) {
        QWidget *w = Child<QWidget>(splash, p.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), p.rect) << p.name;
        EXPECT_EQ(w->parentWidget()->objectName(), p.parent) << p.name;
    }

    EXPECT_EQ(Child<QGroupBox>(splash, "Frame2")->title(), "What is this ?");
    EXPECT_EQ(Child<QGroupBox>(splash, "Frame1")->title(), "");
    EXPECT_EQ(Child<QPushButton>(splash, "Splash_UpdateButton")->text(), "Updates");
    EXPECT_EQ(Child<QPushButton>(splash, "Command1")->text(), "Quit");
    EXPECT_EQ(Child<QPushButton>(splash, "Frm_splash_button1")->text(), "Lets Start");

    auto *text1 = Child<QPlainTextEdit>(splash, "Text1");
    ASSERT_NE(text1, nullptr);
    EXPECT_TRUE(text1->isReadOnly());
    EXPECT_EQ(splash.AboutText(), kExpectedAbout);
    EXPECT_EQ(text1->toPlainText().toStdString(),
              QString::fromStdString(kExpectedAbout).replace("\r\n", "\n").toStdString());
}

TEST(SplashScreen, LogoIs360By84In256Colours) {
    QImage logo = BuildSplashLogo();
    EXPECT_EQ(logo.size(), QSize(360, 84));
    EXPECT_EQ(logo.format(), QImage::Format_Indexed8);
    EXPECT_LE(logo.colorCount(), 256);
    // Drawn, not blank: many different colours across the bars and the name.
    std::set<QRgb> colours;
    for (int y = 0; y < logo.height(); ++y)
        for (int x = 0; x < logo.width(); ++x)
            colours.insert(logo.pixel(x, y));
    EXPECT_GT(colours.size(), 20u);

    Frm_SplashScreen splash;
    auto *picture = Child<QLabel>(splash, "Frm_SplashPicture");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->pixmap().size(), QSize(360, 84));
    EXPECT_EQ(splash.Logo().size(), QSize(360, 84));
}

TEST(SplashScreen, LetsStartCloses) {
    int quits = 0, sites = 0;
    Frm_SplashScreen splash;
    splash.SetQuitRequested([&] { ++quits; });
    splash.SetOpenWebSite([&](const std::string &) { ++sites; });
    splash.show();
    ASSERT_TRUE(splash.isVisible());
    Child<QPushButton>(splash, "Frm_splash_button1")->click();
    EXPECT_FALSE(splash.isVisible());
    EXPECT_EQ(quits, 0);
    EXPECT_EQ(sites, 0);
}

TEST(SplashScreen, QuitClosesThenAsksTheMainWindowToClose) {
    Frm_SplashScreen splash;
    bool visibleAtQuit = true;
    int quits = 0;
    splash.SetQuitRequested([&] {
        ++quits;
        visibleAtQuit = splash.isVisible();
    });
    splash.show();
    Child<QPushButton>(splash, "Command1")->click();
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(visibleAtQuit); // the splash was closed first
    EXPECT_FALSE(splash.isVisible());
}

TEST(SplashScreen, QuitCallbackMayEndTheSplash) {
    // The main window's shut-down may dispose of the splash during the call.
    QPointer<Frm_SplashScreen> splash = new Frm_SplashScreen;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    int quits = 0;
    splash->SetQuitRequested([&] { ++quits; });
    splash->show();
    Child<QPushButton>(*splash, "Command1")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(splash.isNull());
}

TEST(SplashScreen, UpdatesOpensTheSiteAndStaysOpen) {
    Frm_SplashScreen splash;
    std::vector<std::string> urls;
    int quits = 0;
    splash.SetOpenWebSite([&](const std::string &url) { urls.push_back(url); });
    splash.SetQuitRequested([&] { ++quits; });
    splash.show();
    Child<QPushButton>(splash, "Splash_UpdateButton")->click();
    ASSERT_EQ(urls.size(), 1u);
    EXPECT_EQ(urls[0], MakerWebAddress());
    EXPECT_TRUE(splash.isVisible());
    EXPECT_EQ(quits, 0);
}

TEST(SplashScreen, ButtonsWithoutCallbacksAreHarmless) {
    Frm_SplashScreen splash;
    splash.show();
    Child<QPushButton>(splash, "Splash_UpdateButton")->click();
    EXPECT_TRUE(splash.isVisible());
    Child<QPushButton>(splash, "Command1")->click();
    EXPECT_FALSE(splash.isVisible());
}

TEST(SplashScreen, EachNewWindowBuildsTheSameText) {
    Frm_SplashScreen first;
    Frm_SplashScreen second;
    EXPECT_EQ(first.AboutText(), second.AboutText());
    EXPECT_EQ(Child<QPlainTextEdit>(first, "Text1")->toPlainText(),
              Child<QPlainTextEdit>(second, "Text1")->toPlainText());
}

} // namespace
} // namespace tambrel
