#pragma once
// cCommonDialog: one object in front of the open and save file dialogs. Every
// operation takes its parameters as in/out references and returns true when
// the user confirmed the dialog. The dialogs themselves
// come from CurrentDialogBackend() (Qt in the program, scripted in tests); the
// rules for what goes in and what comes back live here, so both behave alike.
// Owner nullptr means no owner window.
#include "dialogs/dialog_backend.h"
#include "dialogs/filter_text.h"

#include <cstdint>
#include <string>

class QWidget;

namespace tambrel {

class cCommonDialog {
  public:
    cCommonDialog() = default;

    // 1 when the last dialog was confirmed, 0 when cancelled or failed.
    std::int32_t APIReturn() const { return apiReturn_; }

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

  private:
    bool FileDialog(FileDialogRequest &request, std::string &Filename, std::string &FileTitle,
                    std::string &Filter, std::int32_t &FilterIndex, std::int32_t &flags,
                    bool *ReadOnly);

    std::int32_t apiReturn_ = 0;
};

} // namespace tambrel
