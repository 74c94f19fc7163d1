#include "splash/splash_screen.h"

#include "splash/about_text.h"
#include "splash/maker_site.h"

#include <QFont>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include <cmath>

namespace tambrel {

namespace {

// Design rectangles are kept in twips (left, top, width, height) and turned
// into pixels at 15 twips per pixel.
QRect FromTwips(int left, int top, int width, int height) {
    return QRect(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
                 height / kTwipsPerPixel);
}

constexpr int kClientWidthTwips = 5760;
constexpr int kClientHeightTwips = 4875;

} // namespace

QImage BuildSplashLogo(double scale) {
    constexpr int kWidth = 360;
    constexpr int kHeight = 84;
    QImage image(static_cast<int>(std::ceil(kWidth * scale)),
                 static_cast<int>(std::ceil(kHeight * scale)), QImage::Format_RGB32);
    image.fill(Qt::black);

    QPainter p(&image);
    p.scale(scale, scale);
    // Copper bars: every second line changes colour, three hue waves over
    // the height, as a display list would have changed the background colour.
    for (int y = 0; y < kHeight; y += 2) {
        const double phase = static_cast<double>(y) / kHeight;
        const int hue = static_cast<int>(360.0 * phase * 1.5) % 360;
        const int value = 90 + static_cast<int>(120.0 * std::fabs(std::sin(phase * 3.14159 * 3)));
        p.fillRect(0, y, kWidth, 2, QColor::fromHsv(hue, 200, value));
    }
    // A thin chrome rule above and below the name.
    p.fillRect(0, 6, kWidth, 2, QColor(240, 240, 255));
    p.fillRect(0, kHeight - 8, kWidth, 2, QColor(240, 240, 255));

    QFont font(QStringLiteral("Sans Serif"));
    font.setBold(true);
    font.setPixelSize(46);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 4);
    QPainterPath name;
    name.addText(0, 0, font, QStringLiteral("TAMBREL"));
    const QRectF bounds = name.boundingRect();
    // Centre inside the 349-pixel area the picture box shows.
    name.translate(349.0 / 2 - bounds.center().x(), kHeight / 2.0 - bounds.center().y());

    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(name.translated(3, 3), QColor(0, 0, 0, 200)); // drop shadow
    QLinearGradient chrome(0, name.boundingRect().top(), 0, name.boundingRect().bottom());
    chrome.setColorAt(0.0, QColor(255, 255, 255));
    chrome.setColorAt(0.45, QColor(120, 170, 255));
    chrome.setColorAt(0.5, QColor(20, 40, 120));
    chrome.setColorAt(1.0, QColor(250, 200, 80));
    p.fillPath(name, chrome);
    p.setPen(QPen(QColor(255, 255, 255), 1));
    p.drawPath(name);
    p.end();

    // Reduce to 256 colours, as the picture was meant to be.
    QImage reduced = image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    reduced.setDevicePixelRatio(scale);
    return reduced;
}

Frm_SplashScreen::Frm_SplashScreen(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Frm_SplashScreen"));
    setModal(false);
    setWindowTitle(QStringLiteral(" "));
    setFixedSize(kClientWidthTwips / kTwipsPerPixel, kClientHeightTwips / kTwipsPerPixel);

    auto *frame1 = new QGroupBox(this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    frame1->setGeometry(FromTwips(120, 0, 5535, 4815));

    logo_ = BuildSplashLogo();
    auto *picture = new QLabel(frame1);
    picture->setObjectName(QStringLiteral("Frm_SplashPicture"));
    picture->setGeometry(FromTwips(120, 240, 5295, 1335));
    picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Shown at the screen's device pixel ratio, so it stays sharp at scale 2.
    picture->setPixmap(QPixmap::fromImage(BuildSplashLogo(devicePixelRatioF())));

    auto *frame2 = new QGroupBox(QStringLiteral("What is this ?"), frame1);
    frame2->setObjectName(QStringLiteral("Frame2"));
    frame2->setGeometry(FromTwips(120, 1560, 5295, 2775));

    aboutText_ = BuildAboutText();
    auto *text1 = new QPlainTextEdit(frame2);
    text1->setObjectName(QStringLiteral("Text1"));
    text1->setGeometry(FromTwips(120, 240, 5055, 2415));
    text1->setReadOnly(true);
    // The text widget keeps paragraphs, not CR LF pairs: it is given plain
    // line feeds and AboutText() keeps the exact text.
    text1->setPlainText(
        QString::fromStdString(aboutText_).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    auto *updates = new QPushButton(QStringLiteral("Updates"), frame1);
    updates->setObjectName(QStringLiteral("Splash_UpdateButton"));
    updates->setGeometry(FromTwips(120, 4440, 1095, 255));

    auto *quit = new QPushButton(QStringLiteral("Quit"), frame1);
    quit->setObjectName(QStringLiteral("Command1"));
    quit->setGeometry(FromTwips(2280, 4440, 975, 255));

    auto *start = new QPushButton(QStringLiteral("Lets Start"), frame1);
    start->setObjectName(QStringLiteral("Frm_splash_button1"));
    start->setGeometry(FromTwips(4440, 4440, 975, 255));
    start->setDefault(true);

    connect(start, &QPushButton::clicked, this, &Frm_SplashScreen::LetsStartClicked);
    connect(quit, &QPushButton::clicked, this, &Frm_SplashScreen::QuitClicked);
    connect(updates, &QPushButton::clicked, this, &Frm_SplashScreen::UpdatesClicked);

    // Centred on the screen.
    if (const QScreen *screen =
            parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.left() + area.width() / 2 - width() / 2,
             area.top() + area.height() / 2 - height() / 2);
    }
}

void Frm_SplashScreen::SetQuitRequested(std::function<void()> quitRequested) {
    quitRequested_ = std::move(quitRequested);
}

void Frm_SplashScreen::SetOpenWebSite(std::function<void(const std::string &)> openWebSite) {
    openWebSite_ = std::move(openWebSite);
}

void Frm_SplashScreen::LetsStartClicked() {
    close();
}

void Frm_SplashScreen::QuitClicked() {
    // Copied first: closing the main window may end this window's life.
    auto quit = quitRequested_;
    close();
    if (quit)
        quit();
}

void Frm_SplashScreen::UpdatesClicked() {
    // A failure to open the browser is not reported.
    if (openWebSite_)
        openWebSite_(MakerWebAddress());
}

} // namespace tambrel
