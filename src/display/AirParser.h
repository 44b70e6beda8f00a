#pragma once
// Reading "air" action files (frame animations with collision boxes) into
// AirData records, and the script tables of an action.
// The files are untrusted: the reader never looks past the buffer it is
// given, refuses counts the remaining text cannot hold, and reports a
// truncated or inconsistent file with a printed message and a null result.
// Main thread only (it may ask the resource manager for an image).
#include <cstddef>
#include <memory>

#include <lua.hpp>

#include "core/AirData.h"
#include "render/ResourceManager.h"

namespace GCore {

// Parses the whole text of an air file. `project` is the project whose image
// gives a compact-form file its size.
std::unique_ptr<AirData> ParseAirData(const char* text, size_t size, int project);

// The air data of the pair from the resource manager's cache, read and parsed
// from the resource's file on the first request; null when there is no
// resource manager, no such file or the file cannot be parsed.
AirData* LoadAirData(OwnerPair pair);

// Pushes action `index` (from 0) as a table { action_id, name, loopindex,
// defbox?, airlines = { frame... } } and returns 1; returns 0 and pushes
// nothing when the data has no such action.
int PushAirAction(lua_State* L, const AirData& data, size_t index);

}  // namespace GCore
