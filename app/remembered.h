#pragma once
// Remembered: what the windows keep between runs (the folders last used), in
// a settings file of its own in the user's configuration folder. The
// preferences file is never touched by it.
#include <memory>
#include <string>

class QSettings;

namespace tambrel {

inline constexpr const char *kRememberedFileName = "TambrelRemembered.ini";

class Remembered {
  public:
    // The file is `configFolder`/kRememberedFileName; it is created on the first change.
    explicit Remembered(const std::string &configFolder);
    ~Remembered();

    const std::string &Path() const { return path_; }
    // The folder kept under `key`; empty when none is kept or it is gone.
    std::string Folder(const char *key) const;
    void SetFolder(const char *key, const std::string &folder);

  private:
    std::string path_;
    std::unique_ptr<QSettings> settings_;
};

} // namespace tambrel
