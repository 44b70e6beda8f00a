#pragma once
// Telling the author which file a game is missing. A missing resource or start
// script is not an error the engine stops for (the object stays empty, the
// window black), so the log line is the only place the author learns of a
// misspelt id or folder: each names what was looked for and where. Main
// thread only, as the path lookups it uses.
#include <cstdint>
#include <string>

namespace GCore {

// GetPath(id, project); when it finds no file, one line in the log names the
// kind of resource, the id and the files looked for. Each kind, id and project
// is reported once per root, however often it is asked for.
const char* FindResourceFile(const char* kind, uint32_t id, int project = 0);

// The files a resource id was looked for in, ", "-separated.
std::string TriedResourceFiles(uint32_t id, int project);

// After the first project's start script could not be run: says whether the
// project folder or the script is missing (or unreadable), naming the paths.
void ReportNoStartScript(const char* script);

}  // namespace GCore
