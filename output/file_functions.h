#pragma once
// Output names: extensions, automatic renaming, the BMP name of a source file,
// and the save modes of a conversion.
#include "decoder/iff_picture.h"
#include "output/atomic_file.h"
#include "output/png_encoder.h"

#include <functional>

#include <string>

namespace tambrel {

// The text after the last "." of the file name (not of a folder); empty when none.
std::string GetFileExtension(const std::string &name);

// The first free numbered form of an existing name: flower.bmp gives
// flower(1).bmp, flower(2).bmp, ... up to (2048); empty when all are taken.
std::string AutoRenameFile(const std::string &name);

// The BMP name of a source file: its extension replaced by ".bmp".
std::string BitmapNameFor(const std::string &sourcePath);

// The kinds of picture file a conversion writes.
enum class OutputFormat { Bmp, Png };

// "bmp" or "png": the output name's extension, without the dot.
std::string FormatExtension(OutputFormat format);

// The output name of a source file: its extension replaced by ".bmp" or ".png".
std::string OutputNameFor(const std::string &sourcePath, OutputFormat format);

enum class SaveMode : int {
    OnlyIfAbsent = 0, // "Only Save Bitmap File is Not File Already Exists"
    Overwrite = 1,    // "Overwrite Bitmap File If a File Exists"
    AutoRename = 2,   // "Save Bitmap, Use Automatic File Renaming if File Exists"
};

struct SaveOutcome {
    enum Kind {
        Written,       // written to `path`
        SkippedExists, // mode 0 and a file of the BMP name exists
        NoFreeName,    // mode 2 and all 2048 numbered names are taken
        NotWritable,   // the writer's guard stopped it (no BODY, zero size)
        UnknownMode,   // a save mode other than 0, 1, 2
    } kind;
    std::string path;
};

// Writes the loaded picture as `bmpName` by the save mode. Throws TambrelError
// when the file cannot be written or `rules` forbid replacing it (without a
// source named in `rules`, the picture's own file is the one never replaced).
SaveOutcome SaveBitmapByMode(const IFF_Picture &pic, const std::string &bmpName, int saveMode,
                             const OutputRules &rules = {});

// Any output by the save mode: `write` fills the file, which then takes
// `name` (mode 1 replacing, mode 0 only when absent, mode 2 the first free
// numbered name). Never NotWritable.
SaveOutcome SaveByMode(const std::string &name, int saveMode, const OutputRules &rules,
                       const std::function<void(AtomicFile &)> &write);

// SaveByMode in steps, for an output written before its name is settled:
// false, with the outcome in `outcome`, when the mode writes nothing (an
// unknown mode, mode 0 and `name` exists, mode 2 and no numbered name free);
// then, once `out` (made for `name`) is complete, its commit by the mode.
bool MayWrite(const std::string &name, int saveMode, SaveOutcome &outcome);
SaveOutcome CommitByMode(AtomicFile &out, int saveMode);

// The same for either format: `name` is the file to write (or to number);
// `pngLevel` is how hard a PNG is compressed.
SaveOutcome SavePictureByMode(const IFF_Picture &pic, const std::string &name, int saveMode,
                              OutputFormat format, const OutputRules &rules = {},
                              PngLevel pngLevel = PngLevel::Default);

} // namespace tambrel
