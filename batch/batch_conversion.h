#pragma once
// Frm_Batch_Conversion: converts every IFF file of one folder to BMP. Each file
// goes through the host window (the main window), so the pictures show there
// as the run goes; failures are collected and listed after the run. The
// window opens beside the main window and never over it.
#include "batch/batch_host.h"

#include <QIcon>
#include <QRect>
#include <QWidget>

#include <string>
#include <utility>
#include <vector>

class QComboBox;
class QLineEdit;
class QGroupBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace tambrel {

// The save-method texts, at list indices 0, 1, 2 (the save modes).
extern const char *const kSaveMethodTexts[3];

// Where the batch window goes beside the main window. Rectangles and sizes are
// outer frames. The window keeps clear of `main` inside `area`: first to the
// right, left, below or above where the main window stands (narrowed down to
// `minimum` when the room is short), else the main window is moved so that the
// two stand side by side (or one above the other), centred in the area.
struct BatchPlacement {
    QRect Batch;    // the batch window's outer frame
    QPoint MainPos; // the main window's outer top-left (unchanged when it need not move)
};
BatchPlacement PlaceBeside(const QRect &main, const QSize &wanted, const QSize &minimum,
                           const QRect &area);

// Counts of a run, for the end message.
struct BatchCounts {
    int Converted = 0; // a BMP was written
    int Kept = 0;      // its BMP existed and the save method keeps it
    int Failed = 0;    // not converted, listed with its reason
};
// The counts line added below a run's message.
std::string CountsLine(const BatchCounts &counts);

class Frm_Batch_Conversion : public QWidget {
    Q_OBJECT
  public:
    // `mainWindow` (may be nullptr) is the window it opens beside.
    Frm_Batch_Conversion(BatchHost &host, const QIcon &icon, QWidget *mainWindow = nullptr);

    // The folder that is listed and converted.
    const std::string &CurrentPath() const { return currentPath_; }
    // Sets the folder list's path; as a user's choice, it relists the files.
    void SetCurrentPath(const std::string &path);

    // Lists the ".iff" files of `path` (any letter case, regular files, sorted by name).
    void ListFolderFiles(const std::string &path);
    // Converts the listed files of `folder`; returns each failed file's name
    // with its reason.
    std::vector<std::pair<std::string, std::string>>
    Convert_Pictures_In_Folder(const std::string &folder);
    // The counts of the last run.
    const BatchCounts &Counts() const { return counts_; }
    const std::vector<std::string> &FolderFiles() const { return folderFiles_; }

    // The drive list's entries (paths), in display order.
    std::vector<std::string> DrivePaths() const;

    void Button_Convert_Click();
    void Button_Cancel_Click();
    bool Running() const { return running_; }
    // Asks a run under way to stop after the current file (program shut-down).
    void RequestStop() { stopRequested_ = true; }
    // Places the window beside the main window (see PlaceBeside).
    void PlaceBesideMain();

    QListWidget *SaveMethodList() const { return listSaveMethod_; }
    QProgressBar *Progress() const { return progress_; }
    QPlainTextEdit *FileListText() const { return textFileList_; }
    QLineEdit *FolderField() const { return folderPath_; }
    QPushButton *CancelButton() const { return buttonCancel_; }

  protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

  private:
    void Drive_Change(int index);
    void Folder_Change();
    void Folder_Activated(QListWidgetItem *item);
    void List_SaveMethod_Click(int row);
    void FillFolderList();
    void FolderField_Entered();
    void ShowProgress(int done, int total);
    void SetInputEnabled(bool enabled);

    BatchHost &host_;
    std::string currentPath_;
    std::vector<std::string> folderFiles_;
    bool running_ = false;
    bool stopRequested_ = false; // program shut-down: stop and close
    bool cancelled_ = false;     // Cancel during a run: stop after the current file
    bool placed_ = false;
    BatchCounts counts_;
    QWidget *mainWindow_ = nullptr;
    QGroupBox *sourceFrame_ = nullptr;
    QGroupBox *methodFrame_ = nullptr;

    QComboBox *drive_ = nullptr;
    QListWidget *folder_ = nullptr;
    QLineEdit *folderPath_ = nullptr;
    QPlainTextEdit *textFileList_ = nullptr;
    QListWidget *listSaveMethod_ = nullptr;
    QPushButton *buttonConvert_ = nullptr;
    QPushButton *buttonCancel_ = nullptr;
    QProgressBar *progress_ = nullptr;
};

} // namespace tambrel
