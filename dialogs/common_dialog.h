#pragma once
// cCommonDialog: one object in front of the file, colour, font, print and page
// set-up dialogs. Every operation takes its parameters as in/out references
// and returns true when the user confirmed the dialog. The dialogs themselves
// come from CurrentDialogBackend() (Qt in the program, scripted in tests); the
// rules for what goes in and what comes back live here, so both behave alike.
// Owner nullptr means no owner window.
#include "dialogs/dialog_backend.h"
#include "dialogs/filter_text.h"

#include <cstdint>
#include <memory>
#include <string>

class QWidget;
class QPrinter;

namespace tambrel {

class cCommonDialog {
  public:
    cCommonDialog() = default;

    // 1 when the last dialog was confirmed, 0 when cancelled or failed.
    std::int32_t APIReturn() const { return apiReturn_; }
    // The failure code of the last dialog that failed (0: none).
    std::int32_t ExtendedError() const { return extendedError_; }

    // Open dialog. Confirmed: Filename = chosen path (with DefaultExt added
    // when the name has no extension), FileTitle = its name part, FilterIndex
    // = chosen filter, Filter = FilterLookup of it, flags = flags after the
    // dialog, ReadOnly true when ticked. Cancelled: Filename, FileTitle,
    // Filter empty, flags 0, FilterIndex -1. With FileMustExist a path that
    // does not exist is never returned.
    bool VBGetOpenFileName(std::string &Filename, std::string &FileTitle, bool &FileMustExist,
                           bool &MultiSelect, bool &ReadOnly, bool &HideReadOnly,
                           std::string &Filter, std::int32_t &FilterIndex, std::string &InitDir,
                           std::string &DlgTitle, std::string &DefaultExt, QWidget *Owner,
                           std::int32_t &flags);

    // Save dialog: as the open dialog; a cancel leaves FilterIndex 0. With
    // OverWritePrompt the dialog asks before an existing file is chosen.
    bool VBGetSaveFileName(std::string &Filename, std::string &FileTitle, bool &OverWritePrompt,
                           std::string &Filter, std::int32_t &FilterIndex, std::string &InitDir,
                           std::string &DlgTitle, std::string &DefaultExt, QWidget *Owner,
                           std::int32_t &flags);

    // Convenience forms with the usual defaults, for callers that only need
    // a few of the in/out values. Arguments left out take: FileTitle "",
    // FileMustExist true, MultiSelect/ReadOnly/HideReadOnly false, Filter
    // kDefaultFileFilter, FilterIndex 1, InitDir/DlgTitle/DefaultExt "",
    // Owner nullptr, flags 0; OverWritePrompt true for the save dialog.
    struct OpenArgs {
        std::string Filename;
        std::string FileTitle;
        bool FileMustExist = true;
        bool MultiSelect = false;
        bool ReadOnly = false;
        bool HideReadOnly = false;
        std::string Filter = kDefaultFileFilter;
        std::int32_t FilterIndex = 1;
        std::string InitDir;
        std::string DlgTitle;
        std::string DefaultExt;
        QWidget *Owner = nullptr;
        std::int32_t flags = 0;
    };
    struct SaveArgs {
        std::string Filename;
        std::string FileTitle;
        bool OverWritePrompt = true;
        std::string Filter = kDefaultFileFilter;
        std::int32_t FilterIndex = 1;
        std::string InitDir;
        std::string DlgTitle;
        std::string DefaultExt;
        QWidget *Owner = nullptr;
        std::int32_t flags = 0;
    };
    bool VBGetOpenFileName(OpenArgs &a);
    bool VBGetSaveFileName(SaveArgs &a);

    // The display title (name part) of a path; empty when it names no file.
    std::string VBGetFileTitle(const std::string &sFile);

    // Colour dialog. Confirmed: Color = chosen colour; cancelled or failed:
    // Color = -1 (0xFFFFFFFF). The custom colours survive between calls on
    // the same object.
    bool VBChooseColor(std::int32_t &Color, bool AnyColor = true, bool FullOpen = false,
                       bool DisableFullOpen = false, QWidget *Owner = nullptr,
                       std::int32_t flags = 0);
    // Custom colour i (0..15); -1 for any other index. Setting another index
    // is ignored. A new object starts with the desktop's colours 0..15.
    std::int32_t CustomColor(int i);
    void CustomColor(int i, std::int32_t iValue);

    // Font dialog working on CurFont. PrinterDC -1: none (0 afterwards).
    bool VBChooseFont(FontObject &CurFont, std::intptr_t &PrinterDC, QWidget *Owner,
                      std::int32_t &Color, std::int32_t &MinSize, std::int32_t &MaxSize,
                      std::int32_t &flags);
    bool VBChooseFont(FontObject &CurFont);

    // Print dialog. PrintRange 0 all pages, 1 page range, 2 selection.
    // Confirmed: hdc = the chosen printer, PrintRange, FromPage, ToPage,
    // PrintToFile, Copies, Collate from the dialog; Printer (when given)
    // receives Copies, Orientation, PaperSize and PrintQuality.
    bool VBPrintDlg(std::shared_ptr<QPrinter> &hdc, std::int32_t &PrintRange,
                    bool DisablePageNumbers, std::int32_t &FromPage, std::int32_t &ToPage,
                    bool DisableSelection, std::int16_t &Copies, bool ShowPrintToFile,
                    bool DisablePrintToFile, bool &PrintToFile, bool &Collate, bool PreventWarning,
                    QWidget *Owner, PrinterObject *Printer, std::int32_t flags);

    // Page set-up dialog. Margins are in inches (Units 0) or millimetres
    // (Units non-zero) and reach the dialog x1000 or x100; what comes back is
    // divided and rounded half to even. Returns true for a confirmed dialog.
    bool VBPageSetupDlg(QWidget *Owner, bool DisableMargins, bool DisableOrientation,
                        bool DisablePaper, bool DisablePrinter, std::int32_t &LeftMargin,
                        std::int32_t &MinLeftMargin, std::int32_t &RightMargin,
                        std::int32_t &MinRightMargin, std::int32_t &TopMargin,
                        std::int32_t &MinTopMargin, std::int32_t &BottomMargin,
                        std::int32_t &MinBottomMargin, std::int32_t &PaperSize,
                        std::int32_t &Orientation, std::int32_t &PrintQuality, std::int32_t Units,
                        PrinterObject *Printer, std::int32_t flags);

    // The printer settings of the last confirmed print dialog.
    PrinterSettings GetStoredDevMode() const { return storedDevMode_; }

  private:
    void InitCustomColors();
    bool FileDialog(FileDialogRequest &request, std::string &Filename, std::string &FileTitle,
                    std::string &Filter, std::int32_t &FilterIndex, std::int32_t &flags,
                    bool *ReadOnly);

    std::int32_t apiReturn_ = 0;
    std::int32_t extendedError_ = 0;
    CustomColourTable customColors_{};
    bool customColorsReady_ = false;
    PrinterSettings storedDevMode_;
};

} // namespace tambrel
