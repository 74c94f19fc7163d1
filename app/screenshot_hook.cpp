#include "app/screenshot_hook.h"

#include "app/show_pic.h"
#include "app/tambrel_main.h"
#include "batch/batch_conversion.h"
#include "splash/splash_screen.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace tambrel {

namespace {

struct Tour {
    TambrelMain &Main;
    QString Out;
    QString BatchFolder;
    bool Missing = false;
    bool BatchShot = false;

    void Save(const QPixmap &shot, const char *name) {
        const QString path = Out + "/" + name;
        if (shot.isNull() || !shot.save(path)) {
            std::fprintf(stderr, "screenshot: could not save %s\n", qPrintable(path));
            Missing = true;
            return;
        }
        std::fprintf(stderr, "screenshot: %s\n", qPrintable(path));
    }
    void SaveWidget(QWidget *w, const char *name) {
        if (!w || !w->isVisible()) {
            std::fprintf(stderr, "screenshot: no window for %s\n", name);
            Missing = true;
            return;
        }
        // The screen under the window's frame, so the window manager's title bar shows.
        w->raise();
        QCoreApplication::processEvents();
        const QRect f = w->frameGeometry();
        Save(QGuiApplication::primaryScreen()->grabWindow(0, f.x(), f.y(), f.width(), f.height()),
             name);
    }
    void Quit() {
        if (auto *quit = Main.findChild<QAction *>("mnu_File_Quit"))
            quit->trigger();
        // The last exit call gives the program's status.
        if (Missing)
            QCoreApplication::exit(1);
    }
};

} // namespace

void StartScreenshotTour(TambrelMain &main, const char *outFolder, const char *batchFolder) {
    auto tour =
        std::make_shared<Tour>(Tour{main, QString::fromLocal8Bit(outFolder),
                                    QString::fromLocal8Bit(batchFolder ? batchFolder : "")});
    QDir().mkpath(tour->Out);
    // The splash comes up on the start-up timer; the command-line file is
    // loaded by then.
    QTimer::singleShot(1500, &main, [tour] {
        tour->SaveWidget(tour->Main.SplashWindow(), "splash.png");
        if (tour->Main.SplashWindow())
            tour->Main.SplashWindow()->close();
    });
    // The screen is grabbed: the closed splash must have left it first.
    QTimer::singleShot(2200, &main, [tour] {
        tour->SaveWidget(&tour->Main, "main.png");
        tour->Main.Do_Show_picture();
    });
    QTimer::singleShot(3200, &main, [tour] {
        tour->SaveWidget(tour->Main.PictureWindow(), "picture.png");
        if (tour->Main.PictureWindow())
            tour->Main.PictureWindow()->close();
        if (tour->BatchFolder.isEmpty()) {
            tour->Quit();
            return;
        }
        // The batch window places itself beside the main window.
        tour->Main.findChild<QAction *>("mnu_Convert_Folder")->trigger();
        Frm_Batch_Conversion *batch = tour->Main.BatchWindow();
        batch->SetCurrentPath(tour->BatchFolder.toStdString());
        // The shot is taken as the fourth file is done, when the main window
        // shows it in full; then File > Quit asks the run to stop.
        QObject::connect(batch->Progress(), &QProgressBar::valueChanged, batch,
                         [tour, batch](int value) {
                             if (tour->BatchShot || !batch->Running() || value < 4)
                                 return;
                             tour->BatchShot = true;
                             tour->Main.repaint();
                             batch->repaint();
                             const QRect area = tour->Main.frameGeometry()
                                                    .united(batch->frameGeometry())
                                                    .adjusted(-10, -10, 10, 10);
                             tour->Save(QGuiApplication::primaryScreen()->grabWindow(
                                            0, area.x(), area.y(), area.width(), area.height()),
                                        "batch.png");
                             tour->Quit();
                         });
        QTimer::singleShot(300, batch, [tour, batch] {
            batch->Button_Convert_Click();
            if (!tour->BatchShot) {
                std::fprintf(stderr, "screenshot: the run ended before its shot\n");
                tour->Missing = true;
                tour->Quit();
            }
        });
    });
}

} // namespace tambrel
