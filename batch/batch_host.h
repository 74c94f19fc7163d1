#pragma once
// What the batch window needs of the window that shows the pictures: convert
// one file, whether a run may start, the save method kept between openings,
// the guard that keeps its own commands out while a run goes on, and the
// folder last converted, kept between openings and runs.
#include "convert/convert.h"

#include <string>

namespace tambrel {

class BatchHost {
  public:
    virtual ~BatchHost() = default;
    // Loads and shows `path`, then writes its BMP by the save mode (0, 1, 2).
    // Throws TambrelError when loading or writing fails.
    virtual ConvertResult ConvertOneFile(const std::string &path, int saveMode) = 0;
    // False while the host's own load is under way.
    virtual bool RunAllowed() const = 0;
    // Brackets a run: the host ignores the commands that change the picture.
    virtual void RunStarted() = 0;
    virtual void RunEnded() = 0;
    virtual int SaveMethod() const = 0;
    virtual void SetSaveMethod(int mode) = 0;
    // The folder the window last listed; empty when none is kept.
    virtual std::string BatchFolder() const = 0;
    virtual void SetBatchFolder(const std::string &folder) = 0;
};

} // namespace tambrel
