// tambrel: the desktop program. Starts the main window and runs the event loop.
#include "app/tambrel_main.h"

#include <QAction>
#include <QApplication>
#include <QTimer>

#include <cstdlib>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tambrel");
    // The program ends through ProgramEnded, not when the last window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    tambrel::TambrelMain window;
    window.show();

    // Test hook for the start-and-quit check under a virtual display:
    // TAMBREL_SMOKE_QUIT_MS=N triggers File > Quit after N milliseconds.
    if (const char *ms = std::getenv("TAMBREL_SMOKE_QUIT_MS")) {
        QTimer::singleShot(std::atoi(ms), &window, [&window] {
            if (auto *quit = window.findChild<QAction *>("mnu_File_Quit"))
                quit->trigger();
        });
    }
    return app.exec();
}
