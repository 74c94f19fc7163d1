#pragma once
// The dialogs cCommonDialog shows, behind one abstract interface: the Qt
// dialogs in the program, scripted answers in tests. A request describes what
// the program asks for; an answer is what the user chose. Colours are
// 0x00RRGGBB. Paths use "/".
#include "dialogs/filter_text.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QWidget;
class QPrinter;

namespace tambrel {

// ---- File dialogs -------------------------------------------------------

// Flag values of the file dialogs (the bits the callers pass in `flags`).
inline constexpr std::int32_t kOfnReadOnly = 0x1;
inline constexpr std::int32_t kOfnOverwritePrompt = 0x2;
inline constexpr std::int32_t kOfnHideReadOnly = 0x4;
inline constexpr std::int32_t kOfnEnableHook = 0x20;
inline constexpr std::int32_t kOfnEnableTemplate = 0x40;
inline constexpr std::int32_t kOfnAllowMultiSelect = 0x200;
inline constexpr std::int32_t kOfnFileMustExist = 0x1000;

struct FileDialogRequest {
    bool save = false;                // save dialog, else open
    std::string convertedFilter;      // the NUL-separated filter list as sent
    std::vector<FilterEntry> filters; // the same list as pairs
    std::int32_t filterIndex = 1;     // 1-based filter to preselect
    std::string fileName;             // initial file name (may be empty)
    std::string initDir;              // empty: the dialog's own choice
    std::string title;                // empty: the dialog's own title
    std::string defaultExt;           // appended when the user types no extension
    bool overwritePrompt = false;     // save: ask before replacing a file
    bool fileMustExist = false;       // open: only existing files
    bool multiSelect = false;
    bool readOnly = false; // pre-ticks the read-only choice
    bool hideReadOnly = false;
    std::int32_t flags = 0;   // every flag sent, as one value
    QWidget *owner = nullptr; // nullptr: no owner window
};

struct FileDialogAnswer {
    bool accepted = false;
    std::string path;             // chosen path, "/" separated
    std::int32_t filterIndex = 1; // 1-based filter chosen
    bool readOnly = false;        // the read-only choice was ticked
};

// ---- Colour dialog ------------------------------------------------------

inline constexpr std::int32_t kCcRgbInit = 0x1;
inline constexpr std::int32_t kCcFullOpen = 0x2;
inline constexpr std::int32_t kCcPreventFullOpen = 0x4;
inline constexpr std::int32_t kCcEnableHook = 0x10;
inline constexpr std::int32_t kCcEnableTemplate = 0x20;
inline constexpr std::int32_t kCcSolidColor = 0x80;
inline constexpr std::int32_t kCcAnyColor = 0x100;

using CustomColourTable = std::array<std::uint32_t, 16>;

struct ColourDialogRequest {
    std::uint32_t colour = 0; // initial colour
    CustomColourTable customColours{};
    std::int32_t flags = 0;
    QWidget *owner = nullptr;
};

struct ColourDialogAnswer {
    bool accepted = false;
    std::uint32_t colour = 0;
    CustomColourTable customColours{}; // the table after the dialog
    std::int32_t extendedError = 0;    // non-zero: the dialog failed
};

// ---- Font dialog --------------------------------------------------------

inline constexpr std::int32_t kCfScreenFonts = 0x1;
inline constexpr std::int32_t kCfPrinterFonts = 0x2;
inline constexpr std::int32_t kCfEnableHook = 0x8;
inline constexpr std::int32_t kCfEnableTemplate = 0x10;
inline constexpr std::int32_t kCfInitToLogFontStruct = 0x40;
inline constexpr std::int32_t kCfEffects = 0x100;
inline constexpr std::int32_t kCfApply = 0x200;
inline constexpr std::int32_t kCfLimitSize = 0x2000;
inline constexpr std::int32_t kBoldFontType = 0x100;

// The font a caller hands to VBChooseFont and gets back changed.
struct FontObject {
    std::string Name = "Sans Serif";
    double Size = 8.0; // points
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool Strikethrough = false;
    std::int32_t Weight = 400;
};

struct FontDialogRequest {
    std::int32_t height = 0; // logical height (negative: character height)
    std::int32_t weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    std::string faceName;          // at most 32 characters
    std::int32_t pointSize10 = 80; // tenths of a point
    std::int32_t flags = 0;
    std::uint32_t colour = 0;
    std::int32_t minSize = 0;
    std::int32_t maxSize = 0;
    std::intptr_t printerDC = 0;
    QWidget *owner = nullptr;
};

struct FontDialogAnswer {
    bool accepted = false;
    std::int32_t flags = 0;
    std::uint32_t colour = 0;
    std::int32_t fontType = 0; // kBoldFontType when bold
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    std::int32_t weight = 400;
    std::int32_t pointSize10 = 80;
    std::string faceName;
    std::int32_t extendedError = 0;
};

// ---- Print and page set-up dialogs --------------------------------------

inline constexpr std::int32_t kPdSelection = 0x1;
inline constexpr std::int32_t kPdPageNums = 0x2;
inline constexpr std::int32_t kPdNoSelection = 0x4;
inline constexpr std::int32_t kPdNoPageNums = 0x8;
inline constexpr std::int32_t kPdCollate = 0x10;
inline constexpr std::int32_t kPdPrintToFile = 0x20;
inline constexpr std::int32_t kPdNoWarning = 0x80;
inline constexpr std::int32_t kPdReturnDC = 0x100;
inline constexpr std::int32_t kPdHooksAndTemplates = 0xF000;
inline constexpr std::int32_t kPdUseDevModeCopiesAndCollate = 0x40000;
inline constexpr std::int32_t kPdDisablePrintToFile = 0x80000;
inline constexpr std::int32_t kPdHidePrintToFile = 0x100000;

inline constexpr std::int32_t kPsdMargins = 0x2;
inline constexpr std::int32_t kPsdMinMargins = 0x1;
inline constexpr std::int32_t kPsdInThousandthsOfInches = 0x4;
inline constexpr std::int32_t kPsdInHundredthsOfMillimeters = 0x8;
inline constexpr std::int32_t kPsdDisableMargins = 0x10;
inline constexpr std::int32_t kPsdDisablePrinter = 0x20;
inline constexpr std::int32_t kPsdDisableOrientation = 0x100;
inline constexpr std::int32_t kPsdDisablePaper = 0x200;

// The printer settings the print and page set-up dialogs return. Values
// follow the usual printer-settings codes: orientation 1 portrait, 2
// landscape; paper 1 Letter, 5 Legal, 8 A3, 9 A4, 11 A5, 256 other; print
// quality in dots per inch, or -1..-4 (draft .. high).
struct PrinterSettings {
    std::int16_t Copies = 1;
    std::int16_t Orientation = 1;
    std::int16_t PaperSize = 9;
    std::int16_t PrintQuality = -1;
    std::int16_t Collate = 0; // 1 when collated
};

// The optional printer object that receives "Copies", "Orientation",
// "PaperSize" and "PrintQuality" by name. It may throw; the dialogs ignore that.
class PrinterObject {
  public:
    virtual ~PrinterObject() = default;
    virtual void SetProperty(const std::string &name, std::int32_t value) = 0;
};

struct PrintDialogRequest {
    std::int32_t flags = 0;
    std::int32_t fromPage = 1;
    std::int32_t toPage = -1;
    std::int32_t minPage = 1;
    std::int32_t maxPage = 0xFFFF;
    QWidget *owner = nullptr;
};

struct PrintDialogAnswer {
    bool accepted = false;
    std::int32_t flags = 0; // flags after the dialog (page range, to file)
    std::int32_t fromPage = 1;
    std::int32_t toPage = 1;
    PrinterSettings settings;
    std::shared_ptr<QPrinter> printer; // the chosen printer, set up; may be null
    std::int32_t extendedError = 0;
};

// Margins in the dialog's units (see flags: thousandths of an inch or
// hundredths of a millimetre).
struct PageMargins {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const PageMargins &) const = default;
};

struct PageSetupRequest {
    std::int32_t flags = 0;
    PageMargins margins;
    PageMargins minMargins;
    QWidget *owner = nullptr;
};

struct PageSetupAnswer {
    bool accepted = false;
    PageMargins margins;
    PageMargins minMargins;
    PrinterSettings settings;
};

// ---- The backend --------------------------------------------------------

class DialogBackend {
  public:
    virtual ~DialogBackend() = default;
    virtual FileDialogAnswer FileDialog(const FileDialogRequest &request) = 0;
    virtual ColourDialogAnswer ColourDialog(const ColourDialogRequest &request) = 0;
    virtual FontDialogAnswer FontDialog(const FontDialogRequest &request) = 0;
    virtual PrintDialogAnswer PrintDialog(const PrintDialogRequest &request) = 0;
    virtual PageSetupAnswer PageSetupDialog(const PageSetupRequest &request) = 0;
    // The desktop's colour number `index` (0..15: scroll bar, desktop, active
    // caption, inactive caption, menu, window, window frame, menu text, window
    // text, caption text, active border, inactive border, workspace,
    // highlight, highlighted text, button face).
    virtual std::uint32_t SystemColour(int index) = 0;
    // Vertical twips per pixel of the screen (15 at the usual setting).
    virtual std::int32_t TwipsPerPixelY() = 0;
};

// The backend every cCommonDialog uses. nullptr restores the Qt dialogs.
// The caller keeps ownership of what it sets.
void SetDialogBackend(DialogBackend *backend);
DialogBackend &CurrentDialogBackend();

// Sets a backend for one scope and restores the previous one after it.
class ScopedDialogBackend {
  public:
    explicit ScopedDialogBackend(DialogBackend &backend);
    ~ScopedDialogBackend();
    ScopedDialogBackend(const ScopedDialogBackend &) = delete;
    ScopedDialogBackend &operator=(const ScopedDialogBackend &) = delete;

  private:
    DialogBackend *previous_;
};

} // namespace tambrel
