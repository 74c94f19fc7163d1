#pragma once
// One file's conversion as the converter and the batch window run it: the
// load, the BMP by save mode, and the one wording of what came of it.
#include "decoder/iff_picture.h"
#include "output/file_functions.h"

#include <functional>
#include <string>

namespace tambrel {

// What converting one file did.
struct ConvertResult {
    enum Kind {
        FileMissing, // the file does not exist
        NotPicture,  // the load did not accept it as an IFF ILBM picture
        SaveDone,    // the save mode ran: see `save`
    } kind = FileMissing;
    SaveOutcome save{SaveOutcome::UnknownMode, {}};
    std::string reason; // why nothing was written; empty when nothing failed
};

// Loads `path` into `pic` through `load` (the decoder itself, or a window's
// load that also shows the picture), then writes `bmpName` by the save mode,
// never over `path` itself. Throws TambrelError when loading or writing fails.
ConvertResult ConvertFile(IFF_Picture &pic, const std::string &path, const std::string &bmpName,
                          int saveMode, const std::function<void(const std::string &)> &load);

// The BMP (or PNG) step alone, for a picture already loaded; `rules` name the source file.
ConvertResult SaveConverted(const IFF_Picture &pic, const std::string &bmpName, int saveMode,
                            const OutputRules &rules = {}, OutputFormat format = OutputFormat::Bmp,
                            PngLevel pngLevel = PngLevel::Default);

// ---- The wording of every outcome, shared by the converter and the batch window.

// A file that is no IFF picture (FORM ILBM, PBM or ACBM).
std::string NotPictureReason();
// A file or folder that is not there.
std::string MissingFileReason();
// A failure as every front end words it: a missing file by MissingFileReason,
// everything else by its own description. Front ends add only their frame.
std::string DescribeFailure(int number, const std::string &description);
// Why a loaded picture has no pixels to write.
std::string NothingToWriteReason(const IFF_Picture &pic);
// Why the raw 8-bit (`palette` false) or palette export refuses a picture that
// holds true colour (see HoldsTrueColour).
std::string TrueColourExportReason(const IFF_Picture &pic, bool palette);
// Why the conversion wrote nothing; empty when the BMP was written, or kept
// because the save mode keeps existing files.
std::string ConvertFailureReason(const ConvertResult &result, const IFF_Picture &pic,
                                 const std::string &bmpName, int saveMode,
                                 OutputFormat format = OutputFormat::Bmp);
// A failure while working on a file, by its number and description.
std::string FailureReason(int number, const std::string &description);
// Memory ran out while doing `what` ("decode the picture", "write NAME").
std::string OutOfMemoryReason(const std::string &what);

} // namespace tambrel
