#pragma once
// Opens the XML files of the loader (maps and tsx tilesets).
#include <string>

#include <pugixml.hpp>

namespace tmx {

// Loads path with the XML reader's default options, but only when it names a
// regular file: the reader sizes its buffer from the file, and a folder or a
// device reports a size it would try to allocate whole.
pugi::xml_parse_result loadXmlFile(pugi::xml_document& document, const std::string& path);

}  // namespace tmx
