#pragma once
// TambrelMain: the program's main window. It holds the one picture record of
// the run, the information panel, the preview and the hidden work surface,
// the menus and toolbar, and the commands behind them: load, display, save,
// convert, exports, the picture window, the batch window and the splash.
#include "app/picture_surface.h"
#include "batch/batch_host.h"
#include "common/declarations.h"
#include "common/errors.h"
#include "convert/convert.h"
#include "convert/export_kinds.h"
#include "decoder/iff_picture.h"
#include "output/file_functions.h"
#include "output/preferences.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QGroupBox;
class QTimer;
class QToolBar;

namespace tambrel {

class Frm_SplashScreen;
class Frm_Batch_Conversion;
class Remembered;
class ShowPic;

// Where the program's folders are; empty texts take the real ones. Tests set
// them so the preferences file lands in a folder of their own.
struct MainWindowOptions {
    std::string ProgramFolder; // empty: the toolkit's application folder
    std::string ConfigFolder;  // empty: the user's configuration folder for this program
};

class TambrelMain : public QMainWindow, public BatchHost {
    Q_OBJECT
  public:
    explicit TambrelMain(const MainWindowOptions &options = {}, QWidget *parent = nullptr);
    ~TambrelMain() override;

    // ---- Commands (public methods other windows call) ----
    // Forgets the current picture and whitens the three surfaces.
    void do_New();
    // Loads one file into the record and shows its panel and preview. Throws
    // TambrelError (or std::bad_alloc) for files that cannot be read or held.
    void IFF_DO_LOAD_IFF(const std::string &path);
    // Paints the current picture at full size on `surface` (white when no BODY).
    void DrawBitmap(PictureSurface &surface);
    // The information panel on `surface`.
    void IFF_Show_Image_info(PictureSurface &surface);
    // One label/value line of the panel; always 0.
    int COlPrint(PictureSurface &surface, const QString &ThisField, const QString &ThisTExt);
    // Loads `path` exactly as a file chosen in the open dialog: do_New, then
    // IFF_DO_LOAD_IFF, with failures shown as "Load Error: ...". Refused
    // (false) while a load or batch run is under way.
    bool LoadFromPath(const std::string &path);
    // Loads `path` through LoadFromPath once the event loop runs (the file
    // named on the command line, after the window is shown).
    void OpenAtStart(const std::string &path);
    // Opens the picture window for the current picture.
    void Do_Show_picture();
    // "Save Bitmap As".
    void Do_SAVE();
    // Loads `Filename` through the main window and writes its BMP by the save
    // mode (0, 1, 2). Throws TambrelError when loading or writing fails.
    ConvertResult Convert_And_Save_This_File(const std::string &Filename, long SaveMode);
    // Writes the preferences and closes the batch, splash and main windows.
    void ProgramEnded();

    // ---- Menu and toolbar handlers ----
    void Mnu_File_new_Click();
    void mnu_file_Load_Click();
    void mnu_File_SAVE_Click();
    void mnu_File_SAVESA_Click();
    void mnu_Convert_Folder_Click();
    void mnu_File_Quit_Click();
    void mnu_Export_palette_AS_text_Click();
    void mnu_Export_Image_As_Chunky_Click();
    void mnu_Export_Image_As_32bitRGBChunky_Click();
    void mnu_Export_Image_As_PNG_Click();
    void mnu_about_about_Click();
    void mnu_about_website_Click();
    // Toolbar button by its 1-based position; other positions do nothing.
    void Toolbar1_ButtonClick(int position);

    // ---- The batch window's view of this window ----
    ConvertResult ConvertOneFile(const std::string &path, int saveMode) override;
    bool RunAllowed() const override { return !Busy(); }
    void RunStarted() override { ++busyDepth_; }
    void RunEnded() override { --busyDepth_; }
    int SaveMethod() const override { return batchSaveMode_; }
    void SetSaveMethod(int mode) override { batchSaveMode_ = mode; }
    std::string BatchFolder() const override;
    void SetBatchFolder(const std::string &folder) override;

    // ---- Re-entry guard ----
    // True while a load or a batch run is under way: commands that change or
    // write the picture are then ignored.
    bool Busy() const { return busyDepth_ > 0; }
    class BusyScope {
      public:
        explicit BusyScope(TambrelMain &main) : main_(main) { ++main_.busyDepth_; }
        ~BusyScope() { --main_.busyDepth_; }
        BusyScope(const BusyScope &) = delete;
        BusyScope &operator=(const BusyScope &) = delete;

      private:
        TambrelMain &main_;
    };

    // ---- State ----
    // The loaded picture, for reading: only the window's own commands change it.
    const IFF_Picture &Picture() const { return picture_; }
    long SplashSetting() const { return prefs_.SplashSetting; }
    const std::string &ProgramFolder() const { return programFolder_; }
    const std::string &PreferencesPath() const { return prefsPath_; }
    const std::string &CreditText() const { return creditText_; }
    bool Ended() const { return ended_; }
    // What the windows keep between runs (folders).
    Remembered &Memory() { return *memory_; }

    PictureSurface *Picture1() const { return picture1_; }
    PictureSurface *Picture5() const { return picture5_; }
    PictureSurface *Picture6() const { return picture6_; }
    QTimer *Timer1() const { return timer1_; }
    QToolBar *Toolbar1() const { return toolbar1_; }
    ShowPic *PictureWindow() const;
    Frm_SplashScreen *SplashWindow() const;
    Frm_Batch_Conversion *BatchWindow() const;

  protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    // Dropped local files: the first one is loaded through LoadFromPath.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

  private:
    void BuildLayout();
    void BuildMenus();
    void BuildToolbar();
    void Timer1_Timer();
    void ShowSplash();
    void Do_LOAD();
    // Runs `step` inside the load command's error trap; false when it failed
    // (the failure has been shown).
    bool InLoadErrorTrap(const std::function<void()> &step);
    // The load after a file has been chosen; the caller holds the busy scope.
    void LoadChosenFile(const std::string &path);
    // LoadIffPicture on a worker thread within the memory budget, while this
    // thread keeps the windows painted and shows progress; closing the window
    // cancels the load. Rethrows the load's failure.
    // With a picture, `drawing` is its work surface's finished inner area.
    int LoadInWorker(const std::string &path, QImage &drawing);
    // Keys typed during a load are held (mouse clicks dropped) and delivered,
    // in order, once no load or batch run is under way.
    class KeyHold;
    void DeliverHeldKeys();
    void ChoosePreferencesPath(const MainWindowOptions &options);
    void WritePreferences();
    // The shared flow of the exports.
    void RunExport(ExportKind kind);
    void ReportSaveError(const Failure &failure);
    // The folder a file dialog starts in: the one last used, else `fallback`.
    std::string DialogFolder(const std::string &fallback = {}) const;
    void RememberDialogFolder(const std::string &chosen);
    // Redraws the picture window, when open, for the current picture.
    void FollowInPictureWindow();

    IFF_Picture picture_;
    Preferences prefs_;
    std::string programFolder_;
    std::string configFolder_;
    std::string prefsPath_;
    std::string creditText_;
    int busyDepth_ = 0;
    LoadProgress *loading_ = nullptr; // the load under way, for a close to cancel
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> heldKeys_;
    int batchSaveMode_ = 2; // the batch window's save method, kept while the program runs
    bool ended_ = false;
    bool centredShown_ = false;
    std::unique_ptr<Remembered> memory_;

    QGroupBox *frame1_ = nullptr;
    QGroupBox *frame2_ = nullptr;
    PictureSurface *picture1_ = nullptr;
    PictureSurface *picture5_ = nullptr;
    PictureSurface *picture6_ = nullptr;
    QTimer *timer1_ = nullptr;
    QToolBar *toolbar1_ = nullptr;
    QPointer<ShowPic> showPic_;
    QPointer<Frm_SplashScreen> splash_;
    QPointer<Frm_Batch_Conversion> batch_;
};

} // namespace tambrel
