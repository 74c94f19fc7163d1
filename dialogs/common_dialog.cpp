#include "dialogs/common_dialog.h"

#include <filesystem>

namespace tambrel {

namespace {

// The dialog would not accept a name that is missing or a folder.
bool IsExistingFile(const std::string &path) {
    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    return !ec && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

// Sets one property of the caller's printer object; a failure there must not
// undo a confirmed dialog, so it is dropped.
void SetPrinterProperty(PrinterObject &printer, const char *name, std::int32_t value) {
    try {
        printer.SetProperty(name, value);
    } catch (...) {
    }
}

void CopySettingsToPrinter(PrinterObject *printer, const PrinterSettings &s) {
    if (!printer)
        return;
    SetPrinterProperty(*printer, "Copies", s.Copies);
    SetPrinterProperty(*printer, "Orientation", s.Orientation);
    SetPrinterProperty(*printer, "PaperSize", s.PaperSize);
    SetPrinterProperty(*printer, "PrintQuality", s.PrintQuality);
}

} // namespace

bool cCommonDialog::FileDialog(FileDialogRequest &request, std::string &Filename,
                               std::string &FileTitle, std::string &Filter,
                               std::int32_t &FilterIndex, std::int32_t &flags, bool *ReadOnly) {
    apiReturn_ = 0;
    extendedError_ = 0;

    // The flag bits decide the dialog's behaviour, so a caller's extra bits
    // count as much as the Boolean parameters.
    request.overwritePrompt = request.save && (request.flags & kOfnOverwritePrompt) != 0;
    request.fileMustExist = (request.flags & kOfnFileMustExist) != 0;
    request.multiSelect = (request.flags & kOfnAllowMultiSelect) != 0;
    request.hideReadOnly = (request.flags & kOfnHideReadOnly) != 0;
    request.readOnly = (request.flags & kOfnReadOnly) != 0;
    request.convertedFilter = ConvertFilter(Filter);
    request.filters = SplitConvertedFilter(request.convertedFilter);
    request.filterIndex = FilterIndex;
    request.fileName = Filename;

    FileDialogAnswer answer = CurrentDialogBackend().FileDialog(request);

    // The default extension and the must-exist rule are applied here as well
    // as in the Qt dialog, so scripted answers get the same treatment.
    std::string path;
    bool chosen = answer.accepted && !answer.path.empty();
    if (chosen) {
        path = ApplyDefaultExtension(answer.path, request.defaultExt);
        if (request.fileMustExist && !IsExistingFile(path))
            chosen = false;
    }

    if (!chosen) {
        Filename.clear();
        FileTitle.clear();
        Filter.clear();
        flags = 0;
        FilterIndex = request.save ? 0 : -1;
        return false;
    }

    apiReturn_ = 1;
    Filename = path;
    FileTitle = FileTitleOfPath(path);
    flags = request.flags;
    if (!request.save) {
        flags = (flags & ~kOfnReadOnly) | (answer.readOnly ? kOfnReadOnly : 0);
        if (ReadOnly && (flags & kOfnReadOnly))
            *ReadOnly = true;
    }
    FilterIndex = answer.filterIndex;
    Filter = FilterLookup(request.convertedFilter, FilterIndex);
    return true;
}

bool cCommonDialog::VBGetOpenFileName(std::string &Filename, std::string &FileTitle,
                                      bool &FileMustExist, bool &MultiSelect, bool &ReadOnly,
                                      bool &HideReadOnly, std::string &Filter,
                                      std::int32_t &FilterIndex, std::string &InitDir,
                                      std::string &DlgTitle, std::string &DefaultExt,
                                      QWidget *Owner, std::int32_t &flags) {
    FileDialogRequest request;
    request.save = false;
    request.flags = (flags & ~(kOfnEnableHook | kOfnEnableTemplate)) |
                    (FileMustExist ? kOfnFileMustExist : 0) |
                    (MultiSelect ? kOfnAllowMultiSelect : 0) |
                    (HideReadOnly ? kOfnHideReadOnly : 0) | (ReadOnly ? kOfnReadOnly : 0);
    request.initDir = InitDir;
    request.title = DlgTitle;
    request.defaultExt = DefaultExt;
    request.owner = Owner;
    return FileDialog(request, Filename, FileTitle, Filter, FilterIndex, flags, &ReadOnly);
}

bool cCommonDialog::VBGetSaveFileName(std::string &Filename, std::string &FileTitle,
                                      bool &OverWritePrompt, std::string &Filter,
                                      std::int32_t &FilterIndex, std::string &InitDir,
                                      std::string &DlgTitle, std::string &DefaultExt,
                                      QWidget *Owner, std::int32_t &flags) {
    FileDialogRequest request;
    request.save = true;
    request.flags = (flags & ~(kOfnEnableHook | kOfnEnableTemplate)) |
                    (OverWritePrompt ? kOfnOverwritePrompt : 0) | kOfnHideReadOnly;
    request.initDir = InitDir;
    request.title = DlgTitle;
    request.defaultExt = DefaultExt;
    request.owner = Owner;
    return FileDialog(request, Filename, FileTitle, Filter, FilterIndex, flags, nullptr);
}

bool cCommonDialog::VBGetOpenFileName(OpenArgs &a) {
    return VBGetOpenFileName(a.Filename, a.FileTitle, a.FileMustExist, a.MultiSelect, a.ReadOnly,
                             a.HideReadOnly, a.Filter, a.FilterIndex, a.InitDir, a.DlgTitle,
                             a.DefaultExt, a.Owner, a.flags);
}

bool cCommonDialog::VBGetSaveFileName(SaveArgs &a) {
    return VBGetSaveFileName(a.Filename, a.FileTitle, a.OverWritePrompt, a.Filter, a.FilterIndex,
                             a.InitDir, a.DlgTitle, a.DefaultExt, a.Owner, a.flags);
}

std::string cCommonDialog::VBGetFileTitle(const std::string &sFile) {
    return FileTitleOfPath(sFile);
}

void cCommonDialog::InitCustomColors() {
    DialogBackend &backend = CurrentDialogBackend();
    for (int k = 0; k < 16; ++k)
        customColors_[k] = backend.SystemColour(k);
    customColorsReady_ = true;
}

std::int32_t cCommonDialog::CustomColor(int i) {
    if (!customColorsReady_)
        InitCustomColors();
    if (i < 0 || i > 15)
        return -1;
    return static_cast<std::int32_t>(customColors_[i]);
}

void cCommonDialog::CustomColor(int i, std::int32_t iValue) {
    if (!customColorsReady_)
        InitCustomColors();
    if (i < 0 || i > 15)
        return;
    customColors_[i] = static_cast<std::uint32_t>(iValue);
}

bool cCommonDialog::VBChooseColor(std::int32_t &Color, bool AnyColor, bool FullOpen,
                                  bool DisableFullOpen, QWidget *Owner, std::int32_t flags) {
    (void)flags; // the sent flags follow the Boolean parameters only
    if (!customColorsReady_)
        InitCustomColors();

    ColourDialogRequest request;
    request.colour = static_cast<std::uint32_t>(Color) & 0xFFFFFFu;
    request.customColours = customColors_;
    request.flags = kCcRgbInit | (AnyColor ? kCcAnyColor : kCcSolidColor) |
                    (FullOpen ? kCcFullOpen : 0) | (DisableFullOpen ? kCcPreventFullOpen : 0);
    request.flags &= ~(kCcEnableHook | kCcEnableTemplate);
    request.owner = Owner;

    ColourDialogAnswer answer = CurrentDialogBackend().ColourDialog(request);
    customColors_ = answer.customColours; // the user's custom colours outlive the dialog
    apiReturn_ = answer.accepted ? 1 : 0;
    if (!answer.accepted && answer.extendedError != 0)
        extendedError_ = answer.extendedError;
    Color = answer.accepted ? static_cast<std::int32_t>(answer.colour & 0xFFFFFFu) : -1;
    return answer.accepted;
}

bool cCommonDialog::VBChooseFont(FontObject &CurFont, std::intptr_t &PrinterDC, QWidget *Owner,
                                 std::int32_t &Color, std::int32_t &MinSize, std::int32_t &MaxSize,
                                 std::int32_t &flags) {
    apiReturn_ = 0;
    extendedError_ = 0;
    DialogBackend &backend = CurrentDialogBackend();

    // There are no printer device contexts here: "no printer" stays 0.
    if (PrinterDC == -1)
        PrinterDC = 0;
    else
        flags |= kCfPrinterFonts;
    if (!(flags & kCfPrinterFonts))
        flags |= kCfScreenFonts;
    if (Color != 0)
        flags |= kCfEffects;
    if (MinSize != 0 || MaxSize != 0)
        flags |= kCfLimitSize;
    flags &= ~(kCfEnableHook | kCfEnableTemplate | kCfApply);
    flags |= kCfInitToLogFontStruct;

    FontDialogRequest request;
    request.height = LogFontHeight(CurFont.Size, backend.TwipsPerPixelY());
    request.weight = CurFont.Weight;
    request.italic = CurFont.Italic;
    request.underline = CurFont.Underline;
    request.strikeOut = CurFont.Strikethrough;
    request.faceName = CurFont.Name.substr(0, 32); // the face-name field holds 32 characters
    request.pointSize10 = RoundHalfEven(CurFont.Size * 10.0);
    request.flags = flags;
    request.colour = static_cast<std::uint32_t>(Color);
    request.minSize = MinSize;
    request.maxSize = MaxSize;
    request.printerDC = PrinterDC;
    request.owner = Owner;

    FontDialogAnswer answer = backend.FontDialog(request);
    if (!answer.accepted) {
        extendedError_ = answer.extendedError;
        return false;
    }
    apiReturn_ = 1;
    flags = answer.flags;
    Color = static_cast<std::int32_t>(answer.colour);
    CurFont.Bold = (answer.fontType & kBoldFontType) != 0;
    CurFont.Italic = answer.italic;
    CurFont.Strikethrough = answer.strikeOut;
    CurFont.Underline = answer.underline;
    CurFont.Weight = answer.weight;
    CurFont.Size = answer.pointSize10 / 10.0;
    CurFont.Name = TrimAtNul(answer.faceName);
    return true;
}

bool cCommonDialog::VBChooseFont(FontObject &CurFont) {
    std::intptr_t printerDC = -1;
    std::int32_t colour = 0, minSize = 0, maxSize = 0, flags = 0;
    return VBChooseFont(CurFont, printerDC, nullptr, colour, minSize, maxSize, flags);
}

bool cCommonDialog::VBPrintDlg(std::shared_ptr<QPrinter> &hdc, std::int32_t &PrintRange,
                               bool DisablePageNumbers, std::int32_t &FromPage,
                               std::int32_t &ToPage, bool DisableSelection, std::int16_t &Copies,
                               bool ShowPrintToFile, bool DisablePrintToFile, bool &PrintToFile,
                               bool &Collate, bool PreventWarning, QWidget *Owner,
                               PrinterObject *Printer, std::int32_t flags) {
    (void)flags; // the sent flags follow the other parameters only
    apiReturn_ = 0;
    extendedError_ = 0;

    PrintDialogRequest request;
    std::int32_t f = kPdReturnDC | kPdUseDevModeCopiesAndCollate;
    if (DisablePageNumbers)
        f |= kPdNoPageNums;
    if (DisableSelection)
        f |= kPdNoSelection;
    if (!ShowPrintToFile)
        f |= kPdHidePrintToFile;
    if (DisablePrintToFile)
        f |= kPdDisablePrintToFile;
    if (PrintToFile)
        f |= kPdPrintToFile;
    if (Collate)
        f |= kPdCollate;
    if (PreventWarning)
        f |= kPdNoWarning;
    if (PrintRange == 1)
        f |= kPdPageNums;
    else if (PrintRange == 2)
        f |= kPdSelection;
    f &= ~kPdHooksAndTemplates;
    request.flags = f;
    request.fromPage = FromPage;
    request.toPage = ToPage;
    request.owner = Owner;

    PrintDialogAnswer answer = CurrentDialogBackend().PrintDialog(request);
    if (!answer.accepted) {
        extendedError_ = answer.extendedError;
        return false;
    }
    apiReturn_ = 1;
    hdc = answer.printer;
    PrintRange = (answer.flags & kPdPageNums) ? 1 : (answer.flags & kPdSelection) ? 2 : 0;
    FromPage = answer.fromPage;
    ToPage = answer.toPage;
    PrintToFile = (answer.flags & kPdPrintToFile) != 0;
    storedDevMode_ = answer.settings;
    Copies = storedDevMode_.Copies;
    Collate = storedDevMode_.Collate == 1;
    CopySettingsToPrinter(Printer, storedDevMode_);
    return true;
}

bool cCommonDialog::VBPageSetupDlg(QWidget *Owner, bool DisableMargins, bool DisableOrientation,
                                   bool DisablePaper, bool DisablePrinter, std::int32_t &LeftMargin,
                                   std::int32_t &MinLeftMargin, std::int32_t &RightMargin,
                                   std::int32_t &MinRightMargin, std::int32_t &TopMargin,
                                   std::int32_t &MinTopMargin, std::int32_t &BottomMargin,
                                   std::int32_t &MinBottomMargin, std::int32_t &PaperSize,
                                   std::int32_t &Orientation, std::int32_t &PrintQuality,
                                   std::int32_t Units, PrinterObject *Printer, std::int32_t flags) {
    (void)flags; // the sent flags follow the other parameters only
    apiReturn_ = 0;
    extendedError_ = 0;

    PageSetupRequest request;
    std::int32_t f = kPsdMinMargins | kPsdMargins;
    if (DisableMargins)
        f |= kPsdDisableMargins;
    if (DisableOrientation)
        f |= kPsdDisableOrientation;
    if (DisablePaper)
        f |= kPsdDisablePaper;
    if (DisablePrinter)
        f |= kPsdDisablePrinter;
    f |= Units != 0 ? kPsdInHundredthsOfMillimeters : kPsdInThousandthsOfInches;
    request.flags = f;
    request.margins = {MarginToDialog(LeftMargin, Units), MarginToDialog(TopMargin, Units),
                       MarginToDialog(RightMargin, Units), MarginToDialog(BottomMargin, Units)};
    request.minMargins = {MarginToDialog(MinLeftMargin, Units), MarginToDialog(MinTopMargin, Units),
                          MarginToDialog(MinRightMargin, Units),
                          MarginToDialog(MinBottomMargin, Units)};
    request.owner = Owner;

    PageSetupAnswer answer = CurrentDialogBackend().PageSetupDialog(request);
    if (!answer.accepted)
        return false;
    // A confirmed page set-up reports 1 like every other dialog, so APIReturn
    // never reads as "cancelled" after a success.
    apiReturn_ = 1;
    LeftMargin = MarginFromDialog(answer.margins.left, Units);
    TopMargin = MarginFromDialog(answer.margins.top, Units);
    RightMargin = MarginFromDialog(answer.margins.right, Units);
    BottomMargin = MarginFromDialog(answer.margins.bottom, Units);
    MinLeftMargin = MarginFromDialog(answer.minMargins.left, Units);
    MinTopMargin = MarginFromDialog(answer.minMargins.top, Units);
    MinRightMargin = MarginFromDialog(answer.minMargins.right, Units);
    MinBottomMargin = MarginFromDialog(answer.minMargins.bottom, Units);
    PaperSize = answer.settings.PaperSize;
    Orientation = answer.settings.Orientation;
    PrintQuality = answer.settings.PrintQuality;
    CopySettingsToPrinter(Printer, answer.settings);
    return true;
}

} // namespace tambrel
