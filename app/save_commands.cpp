// The main window's save, convert and export commands.
#include "app/tambrel_main.h"
#include "common/declarations.h"
#include "common/errors.h"
#include "common/text.h"
#include "dialogs/common_dialog.h"
#include "dialogs/toolkit.h"
#include "output/bmp_writer.h"
#include "output/exports.h"

#include <QFileInfo>

#include <optional>

namespace tambrel {

namespace {

const char *kOverwriteQuestion = "WARNING - File Exists, Overwrite it ?";
const char *kOverwriteTitle = "WARNING";

// What a save from these windows may replace: never the picture's own file; a
// read-only file only when the user says so. Empty when the user declines.
std::optional<OutputRules> RulesForSaving(const IFF_Picture &pic, const std::string &name) {
    OutputRules rules{pic.PicturePath, false};
    if (IsReadOnlyFile(name)) {
        if (Tk().MessageBox("The file " + name + " is read-only. Replace it anyway?", MbYesNo,
                            MbQuestion, kOverwriteTitle) != IdYes)
            return std::nullopt;
        rules.replaceReadOnly = true;
    }
    return rules;
}

} // namespace

// ---- Saving ----

void TambrelMain::ReportSaveError(const Failure &failure) {
    Tk().MessageBox("Error: " + NumberText(failure.Number) + " " + failure.Description, MbOkOnly,
                    MbCritical);
}

void TambrelMain::mnu_File_SAVE_Click() {
    if (Busy() || !picture_.Loaded() || !picture_.HasBody() ||
        !BitmapWritable(picture_, picture_.Width, picture_.Height))
        return;
    BusyScope busy(*this);
    const std::string name = BitmapNameFor(picture_.PicturePath);
    if (FileExists(name) &&
        Tk().MessageBox(kOverwriteQuestion, MbYesNo, MbQuestion, kOverwriteTitle) == IdNo)
        return;
    try {
        if (const auto rules = RulesForSaving(picture_, name))
            WriteBitmapFile(picture_, name, picture_.Width, picture_.Height, *rules);
    } catch (...) {
        ReportSaveError(CurrentFailure());
    }
}

void TambrelMain::mnu_File_SAVESA_Click() {
    Do_SAVE();
}

void TambrelMain::Do_SAVE() {
    // No dialog for a picture the writer would refuse (no BODY, zero size).
    if (Busy() || !picture_.Loaded() || !BitmapWritable(picture_, picture_.Width, picture_.Height))
        return;
    BusyScope busy(*this);
    try {
        cCommonDialog dialog;
        cCommonDialog::SaveArgs args;
        args.OverWritePrompt = true;
        args.Filter = std::string("(*") + ".bmp" + ")|*" + ".bmp" + "|";
        args.FilterIndex = 1;
        args.DefaultExt = "bmp";
        // The picture's BMP name, in the folder last used (else the picture's).
        const QFileInfo bmp(QString::fromStdString(BitmapNameFor(picture_.PicturePath)));
        args.Filename = bmp.fileName().toStdString();
        args.InitDir = DialogFolder(bmp.absolutePath().toStdString());
        args.Owner = this;
        args.flags = 0;
        if (!dialog.VBGetSaveFileName(args) || args.Filename.empty())
            return;
        RememberDialogFolder(args.Filename);
        if (const auto rules = RulesForSaving(picture_, args.Filename))
            WriteBitmapFile(picture_, args.Filename, picture_.Width, picture_.Height, *rules);
    } catch (...) {
        ReportSaveError(CurrentFailure());
    }
}

ConvertResult TambrelMain::Convert_And_Save_This_File(const std::string &Filename, long SaveMode) {
    BusyScope busy(*this);
    return ConvertFile(picture_, Filename, BitmapNameFor(Filename), static_cast<int>(SaveMode),
                       [this](const std::string &path) {
                           do_New();
                           IFF_DO_LOAD_IFF(path);
                           picture6_->repaint();
                       });
}

ConvertResult TambrelMain::ConvertOneFile(const std::string &path, int saveMode) {
    return Convert_And_Save_This_File(path, saveMode);
}

// ---- Exports ----

void TambrelMain::mnu_Export_palette_AS_text_Click() {
    RunExport(ExportKind::Palette);
}
void TambrelMain::mnu_Export_Image_As_Chunky_Click() {
    RunExport(ExportKind::Indices);
}
void TambrelMain::mnu_Export_Image_As_32bitRGBChunky_Click() {
    RunExport(ExportKind::Colours);
}
void TambrelMain::mnu_Export_Image_As_PNG_Click() {
    RunExport(ExportKind::Png);
}

void TambrelMain::RunExport(ExportKind kind) {
    if (Busy())
        return;
    const bool allowed = ExportAvailable(picture_, kind);
    // Only a picture still loaded (not one New has forgotten) is said to be deep.
    if (!allowed && kind != ExportKind::Colours && picture_.Loaded() && HoldsTrueColour(picture_)) {
        Tk().MessageBox("Can't export: " +
                        TrueColourExportReason(picture_, kind == ExportKind::Palette));
        return;
    }
    if (!allowed)
        return;
    BusyScope busy(*this);
    try {
        cCommonDialog dialog;
        cCommonDialog::SaveArgs args;
        args.OverWritePrompt = true;
        args.FilterIndex = 1;
        args.InitDir = DialogFolder();
        args.Owner = this;
        args.flags = 0;
        switch (kind) {
        case ExportKind::Colours:
            args.Filter = "(*.rgb)|*.rgb|";
            args.DefaultExt = "rgb";
            break;
        case ExportKind::Indices:
            args.Filter = "(*.lut)|*.lut|";
            args.DefaultExt = "lut";
            break;
        case ExportKind::Palette:
            args.Filter = "(*.txt)|*.txt|";
            args.DefaultExt = "TXT";
            break;
        case ExportKind::Png: {
            args.Filter = "(*.png)|*.png|";
            args.DefaultExt = "png";
            // The picture's name with .png, in the folder last used (else the picture's).
            const QFileInfo bmp(QString::fromStdString(BitmapNameFor(picture_.PicturePath)));
            args.Filename = (bmp.completeBaseName() + ".png").toStdString();
            args.InitDir = DialogFolder(bmp.absolutePath().toStdString());
            break;
        }
        }
        if (!dialog.VBGetSaveFileName(args) || args.Filename.empty())
            return;
        RememberDialogFolder(args.Filename);
        // The dialog has asked already; the program asks once more.
        if (FileExists(args.Filename) &&
            Tk().MessageBox(kOverwriteQuestion, MbYesNo, MbQuestion, kOverwriteTitle) == IdNo)
            return;
        const auto rules = RulesForSaving(picture_, args.Filename);
        if (!rules)
            return;
        AtomicFile out(args.Filename, *rules);
        WriteExportTo(out, picture_, kind);
        out.Commit();
    } catch (...) {
        const Failure failure = CurrentFailure();
        // The palette export has its own words for a folder that is missing or
        // no folder; its other failures are reported as the other exports do.
        if (kind == ExportKind::Palette && failure.Number == kErrPathNotFound) {
            Tk().MessageBox("Error: Bad Folder or Drive Selection", MbOkOnly, MbCritical);
            return;
        }
        Tk().MessageBox("Error Number: " + NumberText(failure.Number) + "   " + failure.Description,
                        MbOkOnly, MbCritical);
    }
}

} // namespace tambrel
