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

} // namespace

bool cCommonDialog::FileDialog(FileDialogRequest &request, std::string &Filename,
                               std::string &FileTitle, std::string &Filter,
                               std::int32_t &FilterIndex, std::int32_t &flags, bool *ReadOnly) {
    apiReturn_ = 0;

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

} // namespace tambrel
