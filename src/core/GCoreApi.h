#pragma once
// The engine's script module "gcore.c": one table of named native functions.
// Shared conventions: arguments are read without type checks (a missing or
// non-numeric number reads as 0, truncated toward zero where an integer is
// meant; a missing string reads as null); no function raises a script error
// unless its family says so; failures give nil, false, no result or a printed
// message. Main thread only.
#include <cstdint>

#include <lua.hpp>

extern "C" int luaopen_gcore_c(lua_State* L);

namespace GCore {
// Registers every script class in the module's order; the opener calls it
// first, so that no object is made before its class exists in the state.
void RegisterScriptClasses(lua_State* L);

// The sound a text quad plays as its text appears, set by SetDialogSound: the
// sound, the channel it plays on and the project it belongs to.
struct DialogSound {
  uint32_t id = 0;
  int32_t number = 0;
  int32_t project = 0;
};
extern DialogSound g_dialogSoundSettings;
}  // namespace GCore

namespace GCore::Api {

// Argument readers and result pushers of the conventions above.
int32_t IntArg(lua_State* L, int index);
// A resource or text id: the number truncated to 64 bits, used as 32 unsigned ones.
uint32_t IdArg(lua_State* L, int index);
float FloatArg(lua_State* L, int index);
const char* TextArg(lua_State* L, int index);
void PushUnsigned(lua_State* L, uint32_t value);

// Game control.
int GetGameTime(lua_State* L);
int GetGameElapsed(lua_State* L);
int QuitGame(lua_State* L);
int SetGameSpeed(lua_State* L);
int GetGameSpeed(lua_State* L);
int CurLuaProj(lua_State* L);
int LoadProj(lua_State* L);
int GetRestartTime(lua_State* L);
int RSCall(lua_State* L);
int SetMainloop(lua_State* L);
int Restart(lua_State* L);
int SetProjectPath(lua_State* L);
int gameMode(lua_State* L);
int setGameMode(lua_State* L);
int SetGameVersion(lua_State* L);
int GetGameVersion(lua_State* L);
int SetLogInfo(lua_State* L);
int SetWinName(lua_State* L);
int GetWinName(lua_State* L);
int GetOS(lua_State* L);
int GetDeviceInfo(lua_State* L);
int ChooseFont(lua_State* L);
int GetWorkDir(lua_State* L);

// Window, input and dialogs.
int winW(lua_State* L);
int winH(lua_State* L);
int SetResourceSize(lua_State* L);
int SetSizeMode(lua_State* L);
int EventStop(lua_State* L);
int ShowClsnBox(lua_State* L);
int MousePos(lua_State* L);
int MouseDelta(lua_State* L);
int MouseDownDelta(lua_State* L);
int MouseState(lua_State* L);
int RMouseState(lua_State* L);
int KeyState(lua_State* L);
int SetMouseState(lua_State* L);
int SetFocus(lua_State* L);
int SetEditing(lua_State* L);
int IsHovered(lua_State* L);
int IsVisible(lua_State* L);
int MsgBox(lua_State* L);
int clog(lua_State* L);
int print_co(lua_State* L);

// Fonts, text input and language texts.
int addFntStyle(lua_State* L);
int SetFontName(lua_State* L);
int GetFontName(lua_State* L);
int StartInput(lua_State* L);
int GetText(lua_State* L);
int SetText(lua_State* L);
int SetTextRecording(lua_State* L);
int GetTextRecorded(lua_State* L);
int GetNumTextInLua(lua_State* L);
int GetLuaID(lua_State* L);
int NewLuaID(lua_State* L);
int NewTextID(lua_State* L);
int IsTextOwner(lua_State* L);
int GetTextOwner(lua_State* L);
int GetFuncTips(lua_State* L);
int UnloadLuaText(lua_State* L);
int LoadLuaText(lua_State* L);
int T(lua_State* L);

// The renderer's view and the window on the desktop.
int SetRenderSZ(lua_State* L);
int Viewport(lua_State* L);
int ProjMatrix(lua_State* L);
int ViewMatrix(lua_State* L);
int IsForeground(lua_State* L);
int OpenURL(lua_State* L);

// Sound.
int Play(lua_State* L);
int Pause(lua_State* L);
int Continue(lua_State* L);
int Stop(lua_State* L);
int SetGlobalVolume(lua_State* L);
int GetGlobalVolume(lua_State* L);
int GetAudioState(lua_State* L);
int SetDialogSound(lua_State* L);

// Entries without effect.
int NoEffect(lua_State* L);
int FullPath(lua_State* L);
int Draw(lua_State* L);

}  // namespace GCore::Api
