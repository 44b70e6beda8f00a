#include "display/TextQuad.h"

#include <cstring>

#include "core/GameIF.h"
#include "core/LuaManager.h"
#include "core/ResourcePath.h"
#include "core/ScriptVM.h"
#include "display/ScriptCalls.h"
#include "display/TextMarkup.h"
#include "render/FontTexture.h"
#include "render/Image.h"
#include "render/ResourceManager.h"

namespace GCore {

const ClassInfo TextQuad::classInfo = {"TextQuad", &Entity::classInfo};
DialogSoundHook g_dialogSound = nullptr;

namespace {

constexpr uint32_t kKindGlyphSheet = 6;

// The language texts of the project whose state is L.
LangManager* TextsOf(lua_State* L) {
  LuaManager* projects = g_game ? g_game->GetLuaManager() : nullptr;
  for (int i = 1; projects && i <= projects->ProjectCount(); ++i) {
    if (projects->GetProject(i)->state == L) return projects->GetProject(i)->texts.get();
  }
  return nullptr;
}

// A new registry reference to the function `reference` names in L, or
// LUA_NOREF when it names none.
int CopyFunctionReference(lua_State* L, int reference) {
  if (reference == LUA_NOREF) return LUA_NOREF;
  lua_rawgeti(L, LUA_REGISTRYINDEX, reference);
  if (!lua_isfunction(L, -1)) {
    lua_pop(L, 1);
    return LUA_NOREF;
  }
  return luaL_ref(L, LUA_REGISTRYINDEX);
}

}  // namespace

TextQuad::TextQuad(lua_State* L) : Entity(L) {}

TextQuad::~TextQuad() {
  if (!state) return;
  luaL_unref(state, LUA_REGISTRYINDEX, hoverCallback_);
  luaL_unref(state, LUA_REGISTRYINDEX, clickCallback_);
}

void TextQuad::CopyFrom(DisplayObject* source) {
  Entity::CopyFrom(source);
  auto* text = static_cast<TextQuad*>(CastToClass(&classInfo, source));
  if (!text) return;
  password = text->password;
  wrap = text->wrap;
  readOnly = text->readOnly;
  align = text->align;
  letterSpacing = text->letterSpacing;
  lineSpacing = text->lineSpacing;
  margin = text->margin;
  typed = text->typed;
  typeSpeed = text->typeSpeed;
  typewriterWait = text->typewriterWait;
  selectFrom = text->selectFrom;
  selectTo = text->selectTo;
  const LuaProj* project = CurrentLuaProj();
  if (project && state && state == project->state && text->state == state) {
    luaL_unref(state, LUA_REGISTRYINDEX, hoverCallback_);
    luaL_unref(state, LUA_REGISTRYINDEX, clickCallback_);
    hoverCallback_ = CopyFunctionReference(state, text->hoverCallback_);
    clickCallback_ = CopyFunctionReference(state, text->clickCallback_);
  }
  style = text->style;
  fontProject = text->fontProject;
  SetFont(text->fontId);
  if (text->textId > 0) {
    SetTextId(text->textId);
  } else {
    SetText(text->sourceText.c_str());
  }
  std::memcpy(textColors, text->textColors, sizeof(textColors));
  bounds = text->bounds;
  if (!text->elements.empty() && text->elements.size() == elements.size()) {
    for (size_t i = 0; i < elements.size(); ++i) elements[i].kind = text->elements[i].kind;
  }
}

void TextQuad::Invalidate(bool transform) {
  DisplayObject::Invalidate(transform);
  // Moving the text needs no new layout; a change of its width is found by
  // the draw, which compares it with the width laid out.
}

void TextQuad::SetText(const char* text) {
  if (!text) return;
  sourceText = text;
  ShowText(sourceText);
}

void TextQuad::ShowText(const std::string& text) {
  if (text.find("[db=") != std::string::npos) {
    ParseMarkup(EvalDbText(text.c_str()));
  } else {
    ParseMarkup(text);
  }
}

const char* TextQuad::GetText() const { return textId != 0 ? nullptr : sourceText.c_str(); }

void TextQuad::SetTextId(int32_t id) {
  if (id == textId) return;
  const LangManager* texts = id > 0 ? TextsOf(state) : nullptr;
  const char* text = texts ? texts->GetText(static_cast<uint32_t>(id)) : nullptr;
  ShowText(text ? text : "");
  textId = id;
}

void TextQuad::SetFont(uint32_t id) {
  if (fontProject == 0) fontProject = static_cast<uint8_t>(CurrentProjectIndex());
  fontId = id;
  if (g_resourceManager) {
    const OwnerPair pair{fontProject, fontId};
    if (ResourceKind(id) == kKindGlyphSheet) {
      if (const FontTexture* sheet = g_resourceManager->GetGlyphSheet(pair)) lineHeight = sheet->pixelHeight;
    } else if (const Image* image = g_resourceManager->GetImage(pair)) {
      lineHeight = static_cast<int32_t>(image->height);
    }
  }
  layoutDirty = true;
}

std::string TextQuad::EvalDbText(const char* text) {
  std::string result;
  if (!state) return result;
  SelectOwnerProject(state);
  RunProtected(state, [&](lua_State* L) {
    lua_pushcfunction(L, ScriptMessageHandler);
    const int handler = lua_gettop(L);
    PushRawGlobal(L, "DB_EVAL");
    if (!lua_isfunction(L, -1)) return;
    lua_pushstring(L, text);
    if (lua_pcall(L, 1, 1, handler) != LUA_OK) return;
    const int type = lua_type(L, -1);
    if (type != LUA_TSTRING && type != LUA_TNUMBER) return;
    size_t length = 0;
    const char* value = lua_tolstring(L, -1, &length);
    result.assign(value, length);
  });
  return result;
}

void TextQuad::ParseMarkup(const std::string& text) {
  if (text == plain) {
    RestartTypewriter();
    return;
  }
  textId = 0;
  ParsedText parsed;
  GCore::ParseMarkup(text, maxBytes, parsed);
  elements = std::move(parsed.elements);
  plain = std::move(parsed.plain);
  parsedText_ = text;
  if (parsed.typewriterTag && typeSpeed == 0) typeSpeed = 50;
  layoutDirty = true;
  Invalidate(true);
  RestartTypewriter();
  hoveredLink = previousHoveredLink = 0;
  const int32_t count = ElementCount();
  selectFrom = std::min(selectFrom, count);
  selectTo = std::min(selectTo, count);
}

void TextQuad::RestartTypewriter() {
  if (typeSpeed > 0) typed = static_cast<float>(ElementCount());
  typewriterWait = 0;
  lastTagActed_ = 0;
}

void TextQuad::Update() {
  if (!visible) return;
  Entity::Update();
  if (hoveredLink == previousHoveredLink) return;
  previousHoveredLink = hoveredLink;
  CallCallback(hoverCallback_);
}

bool TextQuad::HandleEvent(const char* name, DisplayObject* target, const char* arg) {
  Retained<TextQuad> hold(this);
  Entity::HandleEvent(name, target, arg);
  if (std::strcmp(name, "click") == 0 && hoveredLink != 0) CallCallback(clickCallback_);
  return false;
}

void TextQuad::SetCallback(lua_State* L, const char* kind) {
  if (!lua_isfunction(L, -1) || !state) {
    lua_pop(L, 1);
    return;
  }
  int& slot = kind && kind[0] == 'h' ? hoverCallback_ : clickCallback_;
  luaL_unref(L, LUA_REGISTRYINDEX, slot);
  slot = luaL_ref(L, LUA_REGISTRYINDEX);
}

bool TextQuad::PushLinkText(lua_State* L) const {
  const auto offset = static_cast<size_t>(hoveredLink);
  if (hoveredLink <= 0 || offset >= parsedText_.size()) return false;
  std::string_view text(parsedText_);
  if (text[offset] != ']') {
    text = text.substr(offset);
    lua_pushlstring(L, text.data(), text.substr(0, text.find(']')).size());
  } else {
    text = text.substr(offset + 1);
    lua_pushlstring(L, text.data(), text.substr(0, text.find("[/")).size());
  }
  return true;
}

void TextQuad::CallCallback(int reference) {
  if (reference == LUA_NOREF || !state) return;
  Retained<TextQuad> hold(this);
  SelectOwnerProject(state);
  RunProtected(state, [&](lua_State* L) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, reference);
    if (!PushLinkText(L)) lua_pushnil(L);
    ProtectedCall(L, 1);
  });
}

}  // namespace GCore
