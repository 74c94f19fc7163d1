// The splash window's texts and logo (its buttons: the window tests).
#include "splash/about_text.h"
#include "splash/splash_screen.h"

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

TEST(SplashScreen, TextsAndLogo) {
    Frm_SplashScreen splash;
    const std::string about = splash.AboutText();
    EXPECT_EQ(about.substr(0, about.find("\r\n")),
              " Thanks for trying TAMBREL V0.08b  Released:23rd, Jan, 2010");
    EXPECT_TRUE(about.ends_with(
        "\r\n\r\n If you notice any bugs for unsupported formats...Just Email Me\r\n"));
    EXPECT_EQ(Child<QPlainTextEdit>(splash, "Text1").toPlainText(),
              QString::fromStdString(about).replace("\r\n", "\n"));
    EXPECT_EQ(Child<QPushButton>(splash, "Splash_UpdateButton").text(), "Updates");
    EXPECT_GT(BuildSplashLogo().colorCount(), 20); // drawn, not blank
    EXPECT_EQ(Child<QLabel>(splash, "Frm_SplashPicture").pixmap().size(), QSize(360, 84));
}

} // namespace
} // namespace tambrel
