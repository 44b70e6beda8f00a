#pragma once
// Resource ids and script names to file paths under the root folder: the
// current project's folder first, then the shared project "res/common". In
// repository mode the root is empty, so paths begin with "/" and are keys of
// the repository tree. The folder and extension of an id come from the
// project's script tables g_dir and g_ext, looked up afresh on every call.
// Main thread only: the returned text lives in one shared buffer that the next
// call overwrites.
#include <cstdint>
#include <string>
#include <vector>

namespace GCore {

// The project whose resources a request with project 0 means.
int CurrentProjectIndex();

// Path of a resource id in a project (0 means the current one), or null.
const char* GetPath(uint32_t id, int project = 0);
// The files GetPath looks for a resource id of a kind above 0 (not a
// thumbnail), in order, whether they exist or not; empty for other ids.
std::vector<std::string> ResourceFileCandidates(uint32_t id, int project = 0);

// Path of a script ("ui.main" -> ui/main.lua); never null. `ext` null means ".lua".
// The first of its candidates that exists, else the last one.
const char* GetScriptPath(const char* name, const char* ext = nullptr);
// Where a script is looked for, in order: the current project's folder, then
// the shared project's.
std::vector<std::string> ScriptPathCandidates(const char* name, const char* ext = nullptr);

// True when the path names an existing file (or folder, in folder mode).
bool IsFileExist(const char* path);

// Directory id of a script name with a one-letter prefix ("c_hero"), else 0.
uint32_t luaDirID(const char* name);

}  // namespace GCore
