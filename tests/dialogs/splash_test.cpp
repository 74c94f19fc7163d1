// The splash window's texts (its buttons: the window tests).
#include "splash/about_text.h"
#include "splash/splash_screen.h"

#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace tambrel {
namespace {

TEST(SplashScreen, Texts) {
    Frm_SplashScreen splash;
    const std::string about = splash.AboutText();
    EXPECT_EQ(about.substr(0, about.find("\r\n")),
              " Thanks for trying TAMBREL V0.08b  Released:23rd, Jan, 2010");
    EXPECT_TRUE(about.ends_with(
        "\r\n\r\n If you notice any bugs for unsupported formats...Just Email Me\r\n"));
    const auto *text = splash.findChild<QPlainTextEdit *>("Text1");
    const auto *updates = splash.findChild<QPushButton *>("Splash_UpdateButton");
    ASSERT_TRUE(text && updates);
    EXPECT_EQ(text->toPlainText(), QString::fromStdString(about).replace("\r\n", "\n"));
    EXPECT_EQ(updates->text(), "Updates");
}

} // namespace
} // namespace tambrel
