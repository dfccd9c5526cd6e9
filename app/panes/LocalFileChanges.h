// The changes the operator makes to the shown folder: a file deleted, a folder or an empty file
// made, an entry renamed. Each returns 0 or the errno of the failure, and none of them ever
// replaces or removes anything but the one entry it names.
#pragma once

#include <string>

namespace qel {

// Removes a file; a folder is refused (EISDIR). A file that is gone already gives ENOENT.
int removeLocalFile(const std::string& path);
// A new folder; EEXIST when anything of that name is there.
int makeLocalFolder(const std::string& path);
// A new empty file, closed at once; EEXIST when anything of that name is there.
int createLocalFile(const std::string& path);
// Renames from to to, also a folder; EEXIST when another entry is called to (a new spelling
// of the same name on a file system that ignores case is a rename).
int renameLocalEntry(const std::string& from, const std::string& to);

}  // namespace qel
