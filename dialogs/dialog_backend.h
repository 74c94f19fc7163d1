#pragma once
// The file dialogs cCommonDialog shows, behind one abstract interface: the Qt
// dialogs in the program, scripted answers in tests. A request describes what
// the program asks for; an answer is what the user chose. Paths use "/".
#include "dialogs/filter_text.h"

#include <cstdint>
#include <string>
#include <vector>

class QWidget;

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

// ---- The backend --------------------------------------------------------

class DialogBackend {
  public:
    virtual ~DialogBackend() = default;
    virtual FileDialogAnswer FileDialog(const FileDialogRequest &request) = 0;
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
