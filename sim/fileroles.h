#pragma once

#include <QString>
#include <QVector>

namespace tmx9sim {

// How the simulated radio uses a path one of its options names.
enum class FileRole {
    Read,
    Written,
    Link, // replaced by a symbolic link: whatever link stands there goes
};

struct OptionPath
{
    QString option; // "--log"
    QString path;
    FileRole role;
};

// A message naming the first two options whose paths lead to one file that one of them writes
// or replaces: what is read would be destroyed, or two outputs would overwrite each other. Empty
// when there is none. Paths are compared as the file system resolves them (symbolic links, "a//b"
// spellings, hard links); devices and pipes hold nothing to destroy and never conflict, except
// with a link, which takes the place of the path itself.
QString sameFileConflict(const QVector<OptionPath> &paths);

} // namespace tmx9sim
