#pragma once
// Unpacks a zip archive into a folder, with the folder paths of its entries,
// overwriting files that are there. Entries whose names would leave the
// folder (an absolute name, a drive letter, "..") make the whole archive
// refused before anything is written. Each file is written beside its place
// and renamed over it once complete and checked, so a file is never left
// half-written. Any thread; the process's working folder is never changed.
#include <string>

namespace GCore {

// True when every entry was extracted. Failures are printed.
bool UnzipToFolder(const std::string& zip, const std::string& folder);

}  // namespace GCore
