// Measures a load through IFF_DO_LOAD_IFF until the preview is painted, for a
// 4096 x 4096 8-plane picture and a 320 x 256 one. Prints milliseconds per
// load (best and median of several runs). Not a test: timings depend on the machine.
//   tambrel_gui_timing [runs] [--grab picture.png]
// With --grab the main window (and, beside it, the batch window as
// picture-batch.png) is saved as an image after the last load.
//   tambrel_gui_timing --load picture.iff
// loads one file and prints the time, the longest pause of the event loop
// (a 10 ms timer runs throughout), the progress values the load showed and
// the messages it gave. Run it under /usr/bin/time -v for the peak memory.
#include "app/tambrel_main.h"
#include "batch/batch_conversion.h"
#include "dialogs/toolkit.h"
#include "tests/support/ilbm_writer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <vector>

namespace {

std::string WritePicture(const QTemporaryDir &dir, int width, int height, int planes) {
    using namespace tambrel::test;
    ChunkyImage img(width, height, planes);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            img.At(x, y) =
                static_cast<std::uint8_t>((x * 7 + y * 13 + (x ^ y)) & ((1 << planes) - 1));
    SimpleIlbm s;
    s.Image = img;
    for (int i = 0; i < (1 << planes); ++i)
        s.Colours.push_back(static_cast<std::uint32_t>(i * 0x010203) & 0xFFFFFF);
    s.Compressed = true;
    const std::string path = dir.path().toStdString() + "/p" + std::to_string(width) + "x" +
                             std::to_string(height) + ".iff";
    WriteBytes(path, BuildSimple(s));
    return path;
}

// One load of `path`, watched from the event loop.
int TimeOneLoad(tambrel::TambrelMain &main, const tambrel::ScriptedToolkit &tk,
                const std::string &path) {
    QElapsedTimer clock, sinceTick;
    qint64 longest = 0;
    std::set<int> shown;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longest = std::max(longest, sinceTick.restart());
        for (auto *dialog : main.findChildren<QProgressDialog *>())
            if (auto *bar = dialog->findChild<QProgressBar *>(); bar && dialog->isVisible())
                shown.insert(bar->maximum() > 0 ? 100 * bar->value() / bar->maximum() : -1);
    });
    clock.start();
    sinceTick.start();
    ticker.start(10);
    main.IFF_DO_LOAD_IFF(path);
    longest = std::max(longest, sinceTick.elapsed());
    std::printf("load %.0f ms, longest event-loop pause %lld ms\nprogress shown (%%, -1 busy):",
                clock.nsecsElapsed() / 1e6, static_cast<long long>(longest));
    for (int v : shown)
        std::printf(" %d", v);
    std::printf("\n");
    for (const auto &m : tk.Messages)
        std::printf("message: %s\n", m.Text.c_str());
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    int runs = 5;
    std::string grab;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--grab" && i + 1 < argc)
            grab = argv[++i];
        else
            runs = std::max(1, std::atoi(argv[i]));
    }
    QTemporaryDir dir;
    tambrel::ScriptedToolkit tk;
    tk.Folder = dir.path().toStdString();
    tambrel::SetToolkit(&tk);
    tambrel::TambrelMain main({dir.path().toStdString(), dir.path().toStdString()});
    main.Timer1()->stop();
    main.show();
    if (argc == 3 && std::string(argv[1]) == "--load") {
        TimeOneLoad(main, tk, argv[2]);
        tambrel::SetToolkit(nullptr);
        return 0;
    }

    struct Size {
        int w, h, planes;
    };
    for (Size s : {Size{4096, 4096, 8}, Size{320, 256, 8}, Size{320, 256, 5}}) {
        const std::string path = WritePicture(dir, s.w, s.h, s.planes);
        std::vector<double> ms;
        for (int i = 0; i < runs; ++i) {
            QElapsedTimer t;
            t.start();
            main.do_New();
            main.IFF_DO_LOAD_IFF(path);
            main.Picture6()->repaint(); // the preview on screen
            ms.push_back(t.nsecsElapsed() / 1e6);
        }
        std::sort(ms.begin(), ms.end());
        std::printf("%dx%d, %d planes: best %.1f ms, median %.1f ms (%d runs)\n", s.w, s.h,
                    s.planes, ms.front(), ms[ms.size() / 2], runs);
    }
    if (!grab.empty()) {
        const QString file = QString::fromStdString(grab);
        main.grab().save(file);
        main.mnu_Convert_Folder_Click();
        if (auto *batch = main.BatchWindow()) {
            batch->SetCurrentPath(dir.path().toStdString());
            QString batchFile = file;
            batchFile.insert(batchFile.lastIndexOf('.'), "-batch");
            batch->grab().save(batchFile);
        }
    }
    tambrel::SetToolkit(nullptr);
    return 0;
}
