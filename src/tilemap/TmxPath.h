#pragma once
// File names inside map and tileset files. Only "/" separates folders; a name
// is resolved against the folder of the file that wrote it.
#include <string>

namespace tmx {

// Joins a file name written in a map or tileset file to the folder of that
// file: every "../" in the name takes one folder off the end of the working
// directory (never more than it has), and the rest of the name is appended.
std::string resolveFilePath(std::string path, const std::string& workingDirectory);

// The part of a path up to and including its last "/"; empty without one.
std::string getFilePath(const std::string& path);

}  // namespace tmx
