#include "output/file_functions.h"

#include "common/declarations.h"
#include "common/errors.h"
#include "output/atomic_file.h"
#include "output/bmp_writer.h"
#include "output/png_writer.h"

namespace tambrel {

namespace {

// Position of the "." that starts the file name's extension, or npos. Only the
// last path component counts, so "my.pics/flower" has no extension.
std::size_t ExtensionDot(const std::string &name) {
    const auto dot = name.rfind('.');
    const auto slash = name.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return std::string::npos;
    }
    return dot;
}

// Name number n: the name itself for 0, else name(n) with the extension kept.
std::string NumberedName(const std::string &name, int n) {
    if (n == 0) {
        return name;
    }
    const auto dot = ExtensionDot(name);
    const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string ext = dot == std::string::npos ? "" : name.substr(dot);
    return base + "(" + std::to_string(n) + ")" + ext;
}

// The first number from `first` on (up to kMaxRenameNumber) whose name no
// file or folder has; -1 when all are taken.
int FirstFreeNumber(const std::string &name, int first) {
    for (int n = first; n <= kMaxRenameNumber; ++n) {
        if (!FileExists(NumberedName(name, n))) {
            return n;
        }
    }
    return -1;
}

} // namespace

std::string GetFileExtension(const std::string &name) {
    const auto dot = ExtensionDot(name);
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string AutoRenameFile(const std::string &name) {
    const int n = FirstFreeNumber(name, 1);
    return n < 0 ? std::string() : NumberedName(name, n);
}

std::string BitmapNameFor(const std::string &sourcePath) {
    return OutputNameFor(sourcePath, OutputFormat::Bmp);
}

std::string FormatExtension(OutputFormat format) {
    return format == OutputFormat::Png ? "png" : "bmp";
}

std::string OutputNameFor(const std::string &sourcePath, OutputFormat format) {
    const auto dot = ExtensionDot(sourcePath);
    return (dot == std::string::npos ? sourcePath : sourcePath.substr(0, dot)) + "." +
           FormatExtension(format);
}

SaveOutcome SaveBitmapByMode(const IFF_Picture &pic, const std::string &bmpName, int saveMode,
                             const OutputRules &rules) {
    return SavePictureByMode(pic, bmpName, saveMode, OutputFormat::Bmp, rules);
}

SaveOutcome SavePictureByMode(const IFF_Picture &pic, const std::string &name, int saveMode,
                              OutputFormat format, const OutputRules &rules, PngLevel pngLevel) {
    if (saveMode < 0 || saveMode > 2) {
        return {SaveOutcome::UnknownMode, {}};
    }
    const bool writable =
        format == OutputFormat::Png ? PngWritable(pic) : BitmapWritable(pic, pic.Width, pic.Height);
    if (!writable) {
        return {SaveOutcome::NotWritable, {}};
    }
    OutputRules guarded = rules;
    if (guarded.sourcePath.empty()) {
        guarded.sourcePath = pic.PicturePath;
    }
    return SaveByMode(name, saveMode, guarded, [&](AtomicFile &out) {
        if (format == OutputFormat::Png) {
            WritePngTo(out, pic, pngLevel, rules.alpha);
        } else {
            WriteBitmapTo(out, pic, pic.Width, pic.Height);
        }
    });
}

SaveOutcome SaveByMode(const std::string &name, int saveMode, const OutputRules &rules,
                       const std::function<void(AtomicFile &)> &write) {
    SaveOutcome early{SaveOutcome::Written, {}};
    if (!MayWrite(name, saveMode, early)) {
        return early;
    }
    AtomicFile out(name, rules);
    write(out);
    return CommitByMode(out, saveMode);
}

bool MayWrite(const std::string &name, int saveMode, SaveOutcome &outcome) {
    if (saveMode < 0 || saveMode > 2) {
        outcome = {SaveOutcome::UnknownMode, {}};
        return false;
    }
    const auto mode = static_cast<SaveMode>(saveMode);
    if (mode == SaveMode::OnlyIfAbsent && FileExists(name)) {
        outcome = {SaveOutcome::SkippedExists, name};
        return false;
    }
    if (mode == SaveMode::AutoRename && FirstFreeNumber(name, 0) < 0) {
        outcome = {SaveOutcome::NoFreeName, name};
        return false;
    }
    return true;
}

SaveOutcome CommitByMode(AtomicFile &out, int saveMode) {
    const std::string name = out.Target();
    switch (static_cast<SaveMode>(saveMode)) {
    case SaveMode::Overwrite:
        out.Commit();
        return {SaveOutcome::Written, name};
    case SaveMode::OnlyIfAbsent:
        // Another writer may have taken the name since the check above.
        if (out.CommitIfAbsent()) {
            return {SaveOutcome::Written, name};
        }
        return {SaveOutcome::SkippedExists, name};
    case SaveMode::AutoRename:
        // The first free name of name, name(1), name(2) ...: each claim is
        // atomic, so a name taken meanwhile moves on to the next one.
        for (int n = FirstFreeNumber(name, 0); n >= 0; n = FirstFreeNumber(name, n + 1)) {
            const std::string candidate = NumberedName(name, n);
            out.Retarget(candidate);
            if (out.CommitIfAbsent()) {
                return {SaveOutcome::Written, candidate};
            }
        }
        return {SaveOutcome::NoFreeName, name};
    }
    return {SaveOutcome::UnknownMode, {}};
}

} // namespace tambrel
