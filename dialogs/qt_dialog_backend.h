#pragma once
// The program's file dialogs, shown with Qt's file dialog. The dialog's set-up and read-back are
// separate functions so they can be checked without showing the dialog.
#include "dialogs/dialog_backend.h"

#include <QStringList>

class QFileDialog;

namespace tambrel {

// Qt's name-filter texts for a filter list: description + " (" + patterns + ")",
// with ";" between patterns turned into blanks (Qt's separator).
QStringList QtNameFilters(const std::vector<FilterEntry> &filters);

// Sets up a file dialog for a request: accept mode, file mode (existing file,
// existing files or any file), name filters with the preselected one, default
// suffix, overwrite confirmation, folder, title and initial name.
void ConfigureFileDialog(QFileDialog &dialog, const FileDialogRequest &request);

// Reads the user's choice back from a file dialog after it was accepted.
FileDialogAnswer ReadFileDialog(const QFileDialog &dialog, const FileDialogRequest &request);

class QtDialogBackend : public DialogBackend {
  public:
    FileDialogAnswer FileDialog(const FileDialogRequest &request) override;
};

} // namespace tambrel
