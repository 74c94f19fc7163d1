#pragma once
// Files handed to the program from the desktop: the command line ("tambrel
// FILE", as a file manager's "Open with" runs it) and drops on the main window.
// Both give one local path, which the main window loads like a file chosen in
// the open dialog.
#include <QStringList>

#include <string>

class QMimeData;

namespace tambrel {

// A path as given on the command line or by a file manager, as a local path:
// "file:" URLs become their local file, relative paths are taken from the
// current folder, absolute paths stay as given. Empty for an empty text or a
// URL that names no local file ("http://...").
std::string LocalPathFrom(const QString &given);

// The first non-option argument after the program name, as a local path;
// empty when there is none. Arguments starting with '-' are options (Qt takes
// its own out before); after "--" every argument is a file.
std::string FileFromArguments(const QStringList &arguments);
// The same from the program's own arguments, keeping the bytes of a name
// that is no valid UTF-8 (Qt's argument list cannot hold them).
std::string FileFromArguments(int argc, char **argv);

// The first dropped URL that names a local file (not a folder); empty when none does.
std::string FirstLocalFile(const QMimeData &data);

} // namespace tambrel
