#pragma once
// Unpacks a zip archive into a folder, with the folder paths of its entries,
// overwriting files that are there. Entries whose names would leave the
// folder (an absolute name, a drive letter, "..") and entries stored with a
// method other than stored or deflate make the whole archive refused before
// anything is written. The archive, the folder and every entry's path are
// reached without following a symbolic link below the base folder, so a link
// planted there makes the extraction fail instead of writing through it.
// Each file is written beside its place and renamed over it once complete
// and checked, so a file is never left half-written. Any thread; the
// process's working folder is never changed.
#include <string_view>

namespace GCore {

// Extracts the archive `zip` into the folder `folder` (made when missing),
// both paths below the open folder `base`. True when every entry was
// extracted. Failures are printed.
bool UnzipToFolder(int base, std::string_view zip, std::string_view folder);

}  // namespace GCore
