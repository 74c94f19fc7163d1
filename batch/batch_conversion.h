#pragma once
// Frm_Batch_Conversion: converts every IFF file of one folder to BMP. Each file
// goes through the host window (the main window), so the pictures show there
// as the run goes; failures are collected and listed after the run.
#include "batch/batch_host.h"

#include <QIcon>
#include <QWidget>

#include <string>
#include <utility>
#include <vector>

class QComboBox;
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

class Frm_Batch_Conversion : public QWidget {
    Q_OBJECT
  public:
    Frm_Batch_Conversion(BatchHost &host, const QIcon &icon);

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
    const std::vector<std::string> &FolderFiles() const { return folderFiles_; }

    // The drive list's entries (paths), in display order.
    std::vector<std::string> DrivePaths() const;

    void Button_Convert_Click();
    void Button_Cancel_Click();
    bool Running() const { return running_; }
    // Asks a run under way to stop after the current file (program shut-down).
    void RequestStop() { stopRequested_ = true; }

    QListWidget *SaveMethodList() const { return listSaveMethod_; }
    QProgressBar *Progress() const { return progress_; }
    QPlainTextEdit *FileListText() const { return textFileList_; }

  protected:
    void closeEvent(QCloseEvent *event) override;

  private:
    void Drive_Change(int index);
    void Folder_Change();
    void Folder_Activated(QListWidgetItem *item);
    void List_SaveMethod_Click(int row);
    void FillFolderList();

    BatchHost &host_;
    std::string currentPath_;
    std::vector<std::string> folderFiles_;
    bool running_ = false;
    bool stopRequested_ = false;

    QComboBox *drive_ = nullptr;
    QListWidget *folder_ = nullptr;
    QLabel *folderPath_ = nullptr;
    QPlainTextEdit *textFileList_ = nullptr;
    QListWidget *listSaveMethod_ = nullptr;
    QPushButton *buttonConvert_ = nullptr;
    QPushButton *buttonCancel_ = nullptr;
    QProgressBar *progress_ = nullptr;
};

} // namespace tambrel
