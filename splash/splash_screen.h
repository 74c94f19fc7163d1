#pragma once
// Frm_SplashScreen: the modeless splash and about window with the logo, the
// about text and three buttons. The main window creates it, shows it with
// show() and decides its lifetime (e.g. Qt::WA_DeleteOnClose and a QPointer,
// so the next About makes it afresh and builds the text again).
//
// Child object names: Frame1, Frm_SplashPicture, Frame2, Text1,
// Splash_UpdateButton ("Updates"), Command1 ("Quit"), Frm_splash_button1
// ("Lets Start").
#include <QDialog>
#include <QImage>

#include <functional>
#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tambrel {

class Frm_SplashScreen : public QDialog {
    Q_OBJECT
  public:
    explicit Frm_SplashScreen(QWidget *parent = nullptr);

    // Called by "Quit" after the splash has closed: closes the main window,
    // which runs its normal shut-down.
    void SetQuitRequested(std::function<void()> quitRequested);
    // Called by "Updates" with the maker's web address; the splash stays open.
    void SetOpenWebSite(std::function<void(const std::string &url)> openWebSite);

    // The about text exactly as built (CR LF line breaks).
    const std::string &AboutText() const { return aboutText_; }
    // The 360 x 84 logo shown in Frm_SplashPicture.
    const QImage &Logo() const { return logo_; }

  private:
    void LetsStartClicked();
    void QuitClicked();
    void UpdatesClicked();

    std::function<void()> quitRequested_;
    std::function<void(const std::string &)> openWebSite_;
    std::string aboutText_;
    QImage logo_;
};

// Draws the program's 360 x 84 logo: the name in front of copper-style colour
// bars, limited to a 256-colour palette. With `scale` the drawing has that
// many device pixels per pixel (for the screen's device pixel ratio).
QImage BuildSplashLogo(double scale = 1);

// Window size and control rectangles in pixels (design units / 15).
inline constexpr int kTwipsPerPixel = 15;

} // namespace tambrel
