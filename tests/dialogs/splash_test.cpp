// The splash and about window: texts, captions and logo (its buttons are
// checked with the main window's callbacks in the window tests).
#include "splash/about_text.h"
#include "splash/splash_screen.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <stdexcept>

namespace tambrel {
namespace {

template <typename T> T &Child(QWidget &w, const char *name) {
    if (T *child = w.findChild<T *>(QString::fromLatin1(name)))
        return *child;
    throw std::runtime_error(std::string("no control ") + name);
}

TEST(SplashScreen, TextsCaptionsAndLogo) {
    Frm_SplashScreen splash;
    const std::string about = splash.AboutText();
    EXPECT_EQ(about.substr(0, about.find("\r\n")),
              " Thanks for trying TAMBREL V0.08b  Released:23rd, Jan, 2010");
    EXPECT_TRUE(about.ends_with(
        "\r\n\r\n If you notice any bugs for unsupported formats...Just Email Me\r\n"));
    const auto &text = Child<QPlainTextEdit>(splash, "Text1");
    EXPECT_TRUE(text.isReadOnly());
    EXPECT_EQ(text.toPlainText(), QString::fromStdString(about).replace("\r\n", "\n"));
    EXPECT_EQ(Child<QGroupBox>(splash, "Frame2").title(), "What is this ?");
    EXPECT_EQ(Child<QPushButton>(splash, "Splash_UpdateButton").text(), "Updates");
    EXPECT_EQ(Child<QPushButton>(splash, "Command1").text(), "Quit");
    EXPECT_EQ(Child<QPushButton>(splash, "Frm_splash_button1").text(), "Lets Start");
    EXPECT_EQ(splash.windowTitle(), " ");
    EXPECT_FALSE(splash.isModal());
    const QImage logo = BuildSplashLogo();
    EXPECT_EQ(std::pair(logo.size(), logo.format()),
              std::pair(QSize(360, 84), QImage::Format_Indexed8));
    EXPECT_GT(logo.colorCount(), 20); // drawn, not blank
    EXPECT_EQ(Child<QLabel>(splash, "Frm_SplashPicture").pixmap().size(), QSize(360, 84));
}

} // namespace
} // namespace tambrel
