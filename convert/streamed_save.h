#pragma once
// One file's BMP or PNG written while the picture decodes (see RowWriter),
// named by the save mode afterwards, in the conversion's own order.
#include "convert/convert.h"
#include "output/atomic_file.h"
#include "output/row_writer.h"

#include <exception>
#include <memory>
#include <string>

namespace tambrel {

class StreamedSave {
  public:
    // The output `name` (a file to write, or to number by `saveMode`) opened
    // for writing; null when the mode writes nothing or the output cannot be
    // made, which the ordinary save then reports as it always has.
    static std::unique_ptr<StreamedSave> Open(const std::string &name, int saveMode,
                                              const OutputRules &rules, OutputFormat format,
                                              PngLevel level);

    RowSink &Sink() { return writer_; }

    // After the load returned `loaded`: true when the file is complete (or a
    // write failed, reported by Save). False when the picture's file must be
    // written from a whole decode instead; `pic` then still holds it unless
    // its rows streamed (RowsStreamed), when the caller decodes it again.
    bool Complete(const IFF_Picture &pic, int loaded);
    // Whether the load handed the rows on as it decoded them, keeping none.
    static bool RowsStreamed(const IFF_Picture &pic);

    // Names the file by the save mode, as SaveConverted would have. Throws
    // TambrelError when writing or naming it failed.
    ConvertResult Save(const IFF_Picture &pic);

  private:
    StreamedSave(const std::string &name, int saveMode, const OutputRules &rules,
                 OutputFormat format, PngLevel level)
        : name_(name), saveMode_(saveMode), format_(format), out_(name, rules),
          writer_(out_, format, level, rules.alpha) {}

    std::string name_;
    int saveMode_;
    OutputFormat format_;
    AtomicFile out_;
    RowWriter writer_;
    std::exception_ptr failure_;
};

} // namespace tambrel
