// tambrel: the desktop program. Starts the main window and runs the event loop.
//   tambrel [FILE]   FILE (a path or a file: URL) is loaded as if chosen in
//                    the open dialog; of several files the first is opened.
#include "app/open_request.h"
#include "app/screenshot_hook.h"
#include "app/tambrel_main.h"

#include <QAction>
#include <QApplication>
#include <QTimer>

#include <csignal>
#include <cstdlib>

int main(int argc, char *argv[]) {
    // A file-size limit must fail the write with a message, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tambrel");
    // The program ends through ProgramEnded, not when the last window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    tambrel::TambrelMain window;
    window.show();
    window.OpenAtStart(tambrel::FileFromArguments(argc, argv));

    // Test hook for the start-and-quit check under a virtual display:
    // TAMBREL_SMOKE_QUIT_MS=N triggers File > Quit after N milliseconds.
    if (const char *ms = std::getenv("TAMBREL_SMOKE_QUIT_MS")) {
        QTimer::singleShot(std::atoi(ms), &window, [&window] {
            if (auto *quit = window.findChild<QAction *>("mnu_File_Quit"))
                quit->trigger();
        });
    }
    // Hook for scripts/screenshots.sh (see screenshot_hook.h).
    if (const char *dir = std::getenv("TAMBREL_SCREENSHOT_DIR"))
        tambrel::StartScreenshotTour(window, dir, std::getenv("TAMBREL_SCREENSHOT_BATCH_FOLDER"));
    return app.exec();
}
