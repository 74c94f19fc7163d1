#include "convert/convert.h"

#include "common/declarations.h"
#include "common/errors.h"
#include "common/text.h"

namespace tambrel {

ConvertResult ConvertFile(IFF_Picture &pic, const std::string &path, const std::string &bmpName,
                          int saveMode, const std::function<void(const std::string &)> &load) {
    ConvertResult result;
    if (FileExists(path)) {
        load(path);
        if (!pic.Loaded()) {
            result.kind = ConvertResult::NotPicture;
        } else {
            return SaveConverted(pic, bmpName, saveMode, OutputRules{path});
        }
    }
    result.reason = ConvertFailureReason(result, pic, bmpName, saveMode);
    return result;
}

ConvertResult SaveConverted(const IFF_Picture &pic, const std::string &bmpName, int saveMode,
                            const OutputRules &rules, OutputFormat format, PngLevel pngLevel) {
    ConvertResult result{ConvertResult::SaveDone,
                         SavePictureByMode(pic, bmpName, saveMode, format, rules, pngLevel),
                         {}};
    result.reason = ConvertFailureReason(result, pic, bmpName, saveMode, format);
    return result;
}

std::string NotPictureReason() {
    return "not an IFF ILBM picture (no FORM ... ILBM header)";
}

std::string MissingFileReason() {
    return "no such file or folder";
}

std::string DescribeFailure(int number, const std::string &description) {
    return number == kErrFileNotFound ? MissingFileReason() : description;
}

std::string NothingToWriteReason(const IFF_Picture &pic) {
    if (!pic.HasBody()) {
        if (!pic.BodyRefusal.empty()) {
            return "no BODY chunk decoded (" + pic.BodyRefusal + ")";
        }
        return pic.Form == FormKind::Acbm ? "no ABIT chunk" : "no BODY chunk";
    }
    return "the picture has no width or height (" + std::to_string(pic.Width) + " x " +
           std::to_string(pic.Height) + ")";
}

std::string TrueColourExportReason(const IFF_Picture &pic, bool palette) {
    return "the picture is deep (" + std::to_string(pic.Bitplanes) +
           " bit planes of true colour) and has no " + (palette ? "palette" : "palette indices");
}

std::string ConvertFailureReason(const ConvertResult &result, const IFF_Picture &pic,
                                 const std::string &bmpName, int saveMode, OutputFormat format) {
    switch (result.kind) {
    case ConvertResult::FileMissing:
        return MissingFileReason();
    case ConvertResult::NotPicture:
        return NotPictureReason();
    case ConvertResult::SaveDone:
        break;
    }
    switch (result.save.kind) {
    case SaveOutcome::Written:
    case SaveOutcome::SkippedExists:
        return {};
    case SaveOutcome::NoFreeName:
        return "no free numbered name for " + QuotedName(bmpName) + " (all " +
               std::to_string(kMaxRenameNumber) + " are taken)";
    case SaveOutcome::NotWritable:
        return NothingToWriteReason(pic) + ", no " + UpperCase(FormatExtension(format)) +
               " written";
    case SaveOutcome::UnknownMode:
        return "unknown save mode " + std::to_string(saveMode);
    }
    return {};
}

std::string FailureReason(int number, const std::string &description) {
    return "Error:" + NumberText(number) + " " + description;
}

std::string OutOfMemoryReason(const std::string &what) {
    return "not enough memory to " + what;
}

} // namespace tambrel
