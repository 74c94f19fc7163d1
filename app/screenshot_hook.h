#pragma once
// Screenshot tour for scripts/screenshots.sh. With TAMBREL_SCREENSHOT_DIR set,
// the program, once started, saves into that folder:
//   splash.png   the start-up splash window
//   main.png     the main window (with the picture named on the command line)
//   picture.png  the picture window for that picture
//   batch.png    the batch and main windows while a batch run is under way,
//                when TAMBREL_SCREENSHOT_BATCH_FOLDER names a folder of IFF
//                files to convert (its BMP files are written there)
// and then quits through File > Quit (exit status 1 when a shot was missing).
namespace tambrel {

class TambrelMain;

void StartScreenshotTour(TambrelMain &main, const char *outFolder, const char *batchFolder);

} // namespace tambrel
