#pragma once
// The engine's script module "gcore.c": one table of named native functions.
// Shared conventions: arguments are read without type checks (a missing or
// non-numeric number reads as 0, truncated toward zero where an integer is
// meant; a missing string reads as null); no function raises a script error
// unless its family says so; failures give nil, false, no result or a printed
// message. Main thread only.
#include <cstdint>

#include <lua.hpp>

#include "core/ScriptArgs.h"

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

// Files and folders.
int GetPath(lua_State* L);
int GetScriptPath(lua_State* L);
int WritePath(lua_State* L);
int IsFileExist(lua_State* L);
int DoCopyFile(lua_State* L);
int RemoveFile(lua_State* L);
int DoMoveFile(lua_State* L);
int IsDirExist(lua_State* L);
int MakeDir(lua_State* L);
int CheckMD5(lua_State* L);
int RemoveFolder(lua_State* L);
int LoadFile(lua_State* L);
int WriteFile(lua_State* L);
int WriteLine(lua_State* L);
int GetCode(lua_State* L);
int zip(lua_State* L);
int unzip(lua_State* L);
int Pack(lua_State* L);

// Strings, character sets, tags and ids.
int ToHexUINT(lua_State* L);
int ToDecUINT(lua_State* L);
int ToHexString(lua_State* L);
int IsHex(lua_State* L);
int StrTrim(lua_State* L);
int StrRFind(lua_State* L);
int UTF8ToUTF32(lua_State* L);
int GBKToUTF(lua_State* L);
int UtfToGbk(lua_State* L);
int hash(lua_State* L);
int MakeTags(lua_State* L);
int ContainTag(lua_State* L);
int QID(lua_State* L);
int ToStr(lua_State* L);
int luaDirID(lua_State* L);

// Numbers, plane geometry and random numbers.
int GetPow2(lua_State* L);
int MapInRange(lua_State* L);
int CapValue(lua_State* L);
int Movefloat(lua_State* L);
int Distance2D(lua_State* L);
int Distance2DSquare(lua_State* L);
int Dist_Point2Seg(lua_State* L);
int Side_Point2Seg(lua_State* L);
int XY2Angle(lua_State* L);
int DegToRad(lua_State* L);
int RadToDeg(lua_State* L);
int HSV(lua_State* L);
int GetAlignRect(lua_State* L);
int AddLineVertex(lua_State* L);
int RandSeed(lua_State* L);
int Rand(lua_State* L);
int RandS(lua_State* L);

// Native libraries: calls that raise "unknown argument type" and "unknown
// return value type", the module's only script errors besides a writer's own.
int open_dll(lua_State* L);
int procaddress(lua_State* L);

// Images, pixels, masks, skeletal and air resources.
int imageSize(lua_State* L);
int isImage(lua_State* L);
int getImageGrid(lua_State* L);
int setImageGrid(lua_State* L);
int addImage(lua_State* L);
int removeImage(lua_State* L);
int MarkImageChange(lua_State* L);
int UnloadResource(lua_State* L);
int LoadSpAnim(lua_State* L);
int SetDefaultAnim(lua_State* L);
int GetPixelColor(lua_State* L);
int GetPixelAlpha(lua_State* L);
int SavePNG(lua_State* L);

// Pixel operations on the first project's images and the window capture.
int doCrop(lua_State* L);
int doResize(lua_State* L);
int doResize_Bi(lua_State* L);
int doFilter(lua_State* L);
int screenShot(lua_State* L);
int GaussianBlur(lua_State* L);
int SetMaskOutline(lua_State* L);
int GetMaskOutline(lua_State* L);
int DrawMask(lua_State* L);
int UnloadAirData(lua_State* L);
int AirActionToLua(lua_State* L);
int AirActionHead(lua_State* L);
int AirActionID(lua_State* L);

// UI templates, the UI cache and the display tree.
int loadUI(lua_State* L);
int IsCached(lua_State* L);
int cacheUI(lua_State* L);
int uncacheUI(lua_State* L);
int getCacheUI(lua_State* L);
int removeAllCacheUI(lua_State* L);
int FindNode(lua_State* L);
int GetComInst(lua_State* L);
int Clone(lua_State* L);
int TSM(lua_State* L);

// The jump search run once on a fixed grid (the path search's self-test).
int Pathfind(lua_State* L);
// Sound.
int Play(lua_State* L);
int Pause(lua_State* L);
int Continue(lua_State* L);
int Stop(lua_State* L);
int SetGlobalVolume(lua_State* L);
int GetGlobalVolume(lua_State* L);
int GetAudioState(lua_State* L);
int SetDialogSound(lua_State* L);

// HTTP: one request at a time, its callback called on the main thread when
// it ends (done or failed). OnHttpGetDone is the game object's download
// callback; ForgetHttpRequest drops a pending request whose game object is
// shutting down.
int HttpGet(lua_State* L);
void OnHttpGetDone(int progress, int total, void* context, int state);
void ForgetHttpRequest();

// Entries without effect.
int NoEffect(lua_State* L);
int FullPath(lua_State* L);
int Draw(lua_State* L);

}  // namespace GCore::Api
