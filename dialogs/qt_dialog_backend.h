#pragma once
// The program's dialogs: Qt's file, colour, font, print and page set-up
// dialogs. The file dialog's set-up and read-back are separate functions so
// they can be checked without showing the dialog.
#include "dialogs/dialog_backend.h"

#include <QStringList>

class QFileDialog;
class QPrintDialog;
class QPrinter;

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

// Sets up a print dialog and its printer for a request: options, page limits,
// pages and range, collation.
void ConfigurePrintDialog(QPrintDialog &dialog, QPrinter &printer,
                          const PrintDialogRequest &request);
// The answer a confirmed print dialog leaves in its printer.
PrintDialogAnswer ReadPrintDialog(const std::shared_ptr<QPrinter> &printer,
                                  const PrintDialogRequest &request);

// Puts a page set-up request's margins (in its units) into a printer's layout,
// and reads them back in the same units after the dialog.
void ApplyPageSetupRequest(QPrinter &printer, const PageSetupRequest &request);
PageSetupAnswer ReadPageSetup(const QPrinter &printer, const PageSetupRequest &request);

class QtDialogBackend : public DialogBackend {
  public:
    FileDialogAnswer FileDialog(const FileDialogRequest &request) override;
    ColourDialogAnswer ColourDialog(const ColourDialogRequest &request) override;
    FontDialogAnswer FontDialog(const FontDialogRequest &request) override;
    PrintDialogAnswer PrintDialog(const PrintDialogRequest &request) override;
    PageSetupAnswer PageSetupDialog(const PageSetupRequest &request) override;
    std::uint32_t SystemColour(int index) override;
    std::int32_t TwipsPerPixelY() override;
};

} // namespace tambrel
