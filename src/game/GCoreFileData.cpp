// "gcore.c": whole files in and out of scripts, lines of script source, and
// length-prefixed packets.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/Log.h"
#include "core/FileStream.h"
#include "core/ReplacingFile.h"
#include "core/ResourcePath.h"
#include "game/GCoreApi.h"
#include "game/GameIF.h"

namespace GCore::Api {

namespace {

// The file that WriteFile is handing to a script's writer function right
// now; WriteLine writes to nothing else.
ReplacingFile* g_activeWriter = nullptr;

class ActiveWriter {
 public:
  explicit ActiveWriter(ReplacingFile* file) : previous_(g_activeWriter) { g_activeWriter = file; }
  ActiveWriter(const ActiveWriter&) = delete;
  ActiveWriter& operator=(const ActiveWriter&) = delete;
  ~ActiveWriter() { g_activeWriter = previous_; }

 private:
  ReplacingFile* previous_;
};

bool IsIntegralNumber(lua_State* L, int index) {
  if (lua_type(L, index) != LUA_TNUMBER) return false;
  const lua_Number value = lua_tonumber(L, index);
  return std::trunc(value) == value;
}

// Script source lines are looked for in the first block of the file only.
constexpr size_t kCodeBlock = 1000;

}  // namespace

int LoadFile(lua_State* L) {
  const char* path = IsIntegralNumber(L, 1) ? GCore::GetPath(IdArg(L, 1)) : TextArg(L, 1);
  std::vector<char> bytes;
  if (!path || !ReadWholeResource(path, bytes)) {
    lua_pushnil(L);
    return 1;
  }
  lua_pushlstring(L, bytes.data(), bytes.size());
  return 1;
}

int WriteFile(lua_State* L) {
  std::string path;
  if (lua_type(L, 1) == LUA_TNUMBER) {
    // A number names a file of the write folder, which only a game has.
    if (!g_game) return 0;
    char name[16];
    std::snprintf(name, sizeof(name), "%x", static_cast<unsigned>(IntArg(L, 1)));
    path = g_game->writeFolder + "/" + name;
  } else if (lua_type(L, 1) == LUA_TSTRING) {
    path = lua_tostring(L, 1);
  } else {
    return 0;
  }
  const int dataType = lua_type(L, 2);
  if (dataType != LUA_TSTRING && dataType != LUA_TNUMBER && dataType != LUA_TFUNCTION) return 0;

  ReplacingFile file(path);
  if (!file.Open()) {
    LogPrintf("write file failed! %s\n", path.c_str());
    return 0;
  }
  bool written = true;
  if (dataType == LUA_TFUNCTION) {
    // A script error in the writer unwinds through here: the old file stays.
    ActiveWriter active(&file);
    lua_pushvalue(L, 2);
    lua_pushlightuserdata(L, &file);
    lua_call(L, 1, 0);
  } else {
    size_t length = 0;
    const char* bytes = lua_tolstring(L, 2, &length);
    written = file.Write(bytes, length);
  }
  if (!written || !file.Commit()) LogPrintf("write file failed! %s\n", path.c_str());
  return 0;
}

int WriteLine(lua_State* L) {
  if (!g_activeWriter || lua_type(L, 1) != LUA_TLIGHTUSERDATA || lua_touserdata(L, 1) != g_activeWriter) return 0;
  size_t length = 0;
  if (const char* text = lua_tolstring(L, 2, &length)) g_activeWriter->Write(text, length);
  return 0;
}

int GetCode(lua_State* L) {
  const int function = lua_gettop(L);
  if (function < 1 || lua_type(L, function) != LUA_TFUNCTION) return 0;
  lua_Debug info;
  lua_pushvalue(L, function);
  if (!lua_getinfo(L, ">S", &info) || info.source[0] != 'p') return 0;
  std::vector<char> bytes;
  if (!ReadWholeResource(GCore::GetScriptPath(info.source), bytes)) return 0;

  // Skip the line feeds before the wanted line, within the first block.
  const int64_t skip = static_cast<int64_t>(info.linedefined) - 1 + Int64Arg(L, 1);
  size_t start = 0;
  if (skip > 0) {
    const size_t block = std::min(bytes.size(), kCodeBlock);
    int64_t seen = 0;
    while (start < block && seen < skip) {
      if (bytes[start++] == '\n') ++seen;
    }
    if (seen < skip) {
      lua_pushliteral(L, "");
      return 1;
    }
  }
  std::string line;
  for (size_t i = start; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == ' ' || c == '\t') continue;
    line += c;
    if (c == '\n') break;
  }
  lua_pushlstring(L, line.data(), line.size());
  return 1;
}

int Pack(lua_State* L) {
  constexpr size_t kLargestPayload = 0xFFFF;
  size_t length = 0;
  const char* text = lua_isstring(L, 1) ? lua_tolstring(L, 1, &length) : "";
  const auto number = static_cast<int32_t>(static_cast<uint64_t>(Int64Arg(L, 2)));
  std::string packet(2, '\0');
  packet.append(text, length);
  if (number > 0) {
    for (int shift = 0; shift < 32; shift += 8) packet += static_cast<char>((number >> shift) & 0xFF);
  }
  const size_t payload = packet.size() - 2;
  if (payload > kLargestPayload) {
    LogPrintf("Pack: a payload of %zu bytes does not fit its 16-bit length\n", payload);
    return 0;
  }
  packet[0] = static_cast<char>(payload >> 8);
  packet[1] = static_cast<char>(payload & 0xFF);
  lua_pushlstring(L, packet.data(), packet.size());
  return 1;
}

}  // namespace GCore::Api
