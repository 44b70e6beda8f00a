// "gcore.c": fonts, text input and the language texts.
#include <algorithm>
#include <memory>
#include <set>
#include <string>

#include "core/LuaManager.h"
#include "core/ResourcePath.h"
#include "display/TextQuad.h"
#include "game/GCoreApi.h"
#include "game/GameIF.h"
#include "render/FontStyle.h"
#include "render/ResourceManager.h"

namespace GCore::Api {

namespace {

// The size of T's output, its terminator included.
constexpr size_t kTextBuffer = 2048;

// Ids stored through SetText while recording is on.
struct TextRecording {
  bool on = false;
  std::set<uint32_t> ids;
};

TextRecording& Recording() {
  static TextRecording recording;
  return recording;
}

LangManager* TextsOf(int project) {
  LuaManager* projects = g_game ? g_game->GetLuaManager() : nullptr;
  LuaProj* record = projects ? projects->GetProject(project) : nullptr;
  return record ? record->texts.get() : nullptr;
}

LangManager* CurrentTexts() {
  LuaProj* project = CurrentLuaProj();
  return project ? project->texts.get() : nullptr;
}

void PushTextOrNil(lua_State* L, const char* text) {
  if (text) {
    lua_pushstring(L, text);
  } else {
    lua_pushnil(L);
  }
}

// Pushes the calling project's answer for the script name argument, 0
// without a name or texts.
int PushIdOfName(lua_State* L, uint32_t (LangManager::*query)(const char*) const) {
  const LangManager* texts = CurrentTexts();
  const char* name = TextArg(L, 1);
  PushUnsigned(L, texts && name ? (texts->*query)(name) : 0);
  return 1;
}

}  // namespace

int addFntStyle(lua_State* L) {
  auto style = std::make_unique<FontStyle>();
  style->color1 = StyleColour(IdArg(L, 1));
  style->color2 = StyleColour(IdArg(L, 2));
  style->color3 = static_cast<int32_t>(IdArg(L, 3));
  style->value4 = static_cast<int32_t>(IdArg(L, 4));
  style->outline = static_cast<int32_t>(IdArg(L, 5));
  // value7 is read only after a value6.
  if (!lua_isnoneornil(L, 6)) {
    style->value6 = static_cast<int32_t>(IdArg(L, 6));
    style->value7 = static_cast<int32_t>(IdArg(L, 7));
  }
  FontStyles().push_back(std::move(style));
  return 0;
}

int SetFontName(lua_State* L) {
  if (g_resourceManager) {
    g_resourceManager->SetFont(CurrentProjectIndex(), IntArg(L, 1), TextArg(L, 2), lua_toboolean(L, 3));
  }
  return 0;
}

int GetFontName(lua_State* L) {
  const int project = CurrentProjectIndex() & 0xFF;
  const int slot = static_cast<int>((IdArg(L, 1) >> 24) & 0xF);
  const size_t index = static_cast<size_t>(project) << 4 | static_cast<size_t>(slot);
  if (!g_resourceManager || index >= g_resourceManager->FontNameCount()) {
    lua_pushnil(L);
  } else {
    lua_pushstring(L, g_resourceManager->GetFontName(project, slot));
  }
  return 1;
}

int StartInput(lua_State* L) {
  LuaManager* projects = g_game ? g_game->GetLuaManager() : nullptr;
  if (projects) projects->inputFocus.Reset(ToObject<TextQuad>(L, 1));
  return 0;
}

int SetEditing(lua_State* L) {
  LuaManager* projects = g_game ? g_game->GetLuaManager() : nullptr;
  if (TextQuad* text = ToObject<TextQuad>(L, 1); projects && text) projects->StartEditing(text);
  return 0;
}

int GetText(lua_State* L) {
  int project = CurrentProjectIndex();
  if (lua_gettop(L) >= 2) project = lua_isnil(L, 2) ? 1 : IntArg(L, 2);
  const LangManager* texts = TextsOf(project);
  PushTextOrNil(L, texts ? texts->GetText(IdArg(L, 1)) : nullptr);
  return 1;
}

int SetText(lua_State* L) {
  const uint32_t id = IdArg(L, 1);
  if (Recording().on) Recording().ids.insert(id);
  if (LangManager* texts = CurrentTexts()) texts->SetText(id, TextArg(L, 2));
  return 0;
}

int SetTextRecording(lua_State* L) {
  Recording().on = lua_toboolean(L, 1);
  return 0;
}

int GetTextRecorded(lua_State* L) {
  const int table = lua_gettop(L);
  if (table == 0 || !lua_istable(L, table)) return 0;
  const LangManager* texts = CurrentTexts();
  for (uint32_t id : Recording().ids) {
    const char* text = texts ? texts->GetText(id) : nullptr;
    lua_pushstring(L, text ? text : "");
    lua_rawseti(L, table, id);
  }
  return 0;
}

int GetNumTextInLua(lua_State* L) {
  const LangManager* texts = CurrentTexts();
  lua_pushinteger(L, texts ? static_cast<lua_Integer>(texts->GetTextCount(IdArg(L, 1))) : 0);
  return 1;
}

int GetLuaID(lua_State* L) { return PushIdOfName(L, &LangManager::GetLuaID); }

int NewLuaID(lua_State* L) { return PushIdOfName(L, &LangManager::NewLuaID); }

int NewTextID(lua_State* L) { return PushIdOfName(L, &LangManager::NewTextID); }

int IsTextOwner(lua_State* L) {
  const LangManager* texts = CurrentTexts();
  const char* name = TextArg(L, 1);
  lua_pushboolean(L, texts && name && (IdArg(L, 2) >> 16) == texts->GetLuaID(name));
  return 1;
}

int GetTextOwner(lua_State* L) {
  const LangManager* texts = CurrentTexts();
  const char* name = texts ? texts->GetLuaName(IdArg(L, 1) >> 16) : nullptr;
  lua_pushstring(L, name ? name : "");
  return 1;
}

int GetFuncTips(lua_State* L) {
  const LangManager* texts = CurrentTexts();
  const char* name = TextArg(L, 1);
  const char* tip = texts && name ? texts->GetTip(name) : nullptr;
  lua_pushstring(L, tip ? tip : "");
  return 1;
}

int UnloadLuaText(lua_State* L) {
  LangManager* texts = CurrentTexts();
  if (const char* name = TextArg(L, 1); texts && name) texts->UnloadLuaText(name);
  return 0;
}

int LoadLuaText(lua_State* L) {
  LangManager* texts = CurrentTexts();
  if (const char* name = TextArg(L, 1); texts && name) texts->LoadFromLua(name, TextArg(L, 2));
  return 0;
}

int T(lua_State* L) {
  // A second argument that is a non-zero number picks the project; it is the
  // first substitution as well.
  const lua_Number second = lua_tonumber(L, 2);
  const int project = second != 0 ? static_cast<int>(second) : CurrentProjectIndex();
  const LangManager* texts = TextsOf(project);
  const char* found = texts ? texts->GetText(IdArg(L, 1)) : nullptr;
  if (!found) {
    lua_pushnil(L);
    return 1;
  }
  const std::string text = found;
  const int arguments = lua_gettop(L);
  std::string out;
  // Appends what fits of the bytes; false once the buffer is full.
  auto append = [&out](const char* bytes, size_t n) {
    const size_t room = kTextBuffer - 1 - out.size();
    out.append(bytes, std::min(n, room));
    return n < room;
  };
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    size_t step = 1;
    bool more = true;
    if (byte >= 0x80) {
      // A multi-byte sequence is copied whole, and only as far as the text goes.
      step = std::min<size_t>(byte < 0xE0 ? 2 : (byte < 0xF0 ? 3 : 4), text.size() - i);
      if (out.size() + step > kTextBuffer - 1) break;
      more = append(text.data() + i, step);
    } else if (byte == '$') {
      // "$n" is argument n + 1; anything that names no argument inserts nothing.
      step = 2;
      const int argument = i + 1 < text.size() ? text[i + 1] - '/' : 0;
      const int type = argument >= 1 && argument <= arguments ? lua_type(L, argument) : LUA_TNONE;
      if (type == LUA_TSTRING || type == LUA_TNUMBER) {
        size_t n = 0;
        const char* value = lua_tolstring(L, argument, &n);
        more = append(value, n);
      }
    } else {
      more = append(text.data() + i, 1);
    }
    if (!more) break;
    i += step;
  }
  lua_pushlstring(L, out.data(), out.size());
  return 1;
}

}  // namespace GCore::Api
