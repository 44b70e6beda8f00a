#include "core/GCoreApi.h"
#include "core/Matrix.h"
#include "display/Quad.h"
#include "display/Stage.h"
#include "display/TextQuad.h"
#include "modules/RandomNumbers.h"
#include "tilemap/TiledMap.h"

namespace GCore {
namespace {

struct Entry {
  const char* name;
  lua_CFunction function;
  // For a class constructor: the class's registrar, which the opener calls
  // (in this order) before it makes the module table.
  void (*registerClass)(lua_State* L) = nullptr;
};

// Every name of the module in registration order; an entry without a
// function belongs to a family that is not part of this build yet.
const Entry kEntries[] = {
    {"Matrix", NewMatrixScript, RegisterMatrixClass},
    {"Quad", NewQuadScript, RegisterQuadClass},
    {"Entity", NewEntityScript, RegisterEntityClass},
    {"DisplayObject", NewDisplayObjectScript, RegisterDisplayObjectClass},
    {"DisplayObjectContainer", NewDisplayObjectContainerScript, RegisterDisplayObjectContainerClass},
    {"Sprite", nullptr},
    {"Stage", CurrentStageScript, RegisterStageClass},
    {"TextQuad", NewTextQuadScript, RegisterTextQuadClass},
    {"SpineQuad", nullptr},
    {"Shape", nullptr},
    {"ParticleSystem", nullptr},
    {"Layout", nullptr},
    {"Trail", nullptr},
    {"TiledMap", NewTiledMapScript, RegisterTiledMapClass},
    {"GetGameTime", Api::GetGameTime},
    {"GetGameElapsed", Api::GetGameElapsed},
    {"QuitGame", Api::QuitGame},
    {"SetGameSpeed", Api::SetGameSpeed},
    {"GetGameSpeed", Api::GetGameSpeed},
    {"GetPow2", nullptr},
    {"GetPath", nullptr},
    {"GetScriptPath", nullptr},
    {"FullPath", Api::FullPath},
    {"WritePath", nullptr},
    {"IsFileExist", nullptr},
    {"DoCopyFile", nullptr},
    {"RemoveFile", nullptr},
    {"DoMoveFile", nullptr},
    {"UnzipFile", Api::NoEffect},
    {"RemoveZFiles", Api::NoEffect},
    {"IsDirExist", nullptr},
    {"MakeDir", nullptr},
    {"CheckMD5", nullptr},
    {"GetOS", Api::GetOS},
    {"GetDeviceInfo", Api::GetDeviceInfo},
    {"ToHexUINT", nullptr},
    {"ToDecUINT", nullptr},
    {"ToHexString", nullptr},
    {"MakeTags", nullptr},
    {"ContainTag", nullptr},
    {"GetFileInfo", Api::NoEffect},
    {"Explore", Api::NoEffect},
    {"StrTrim", nullptr},
    {"StrRFind", nullptr},
    {"MapInRange", nullptr},
    {"CapValue", nullptr},
    {"MsgBox", Api::MsgBox},
    {"GetAlignRect", nullptr},
    {"SetFocus", Api::SetFocus},
    {"SetEditing", Api::SetEditing},
    {"IsVisible", Api::IsVisible},
    {"IsHovered", Api::IsHovered},
    {"SetMouseState", Api::SetMouseState},
    {"UTF8ToUTF32", nullptr},
    {"GBKToUTF", nullptr},
    {"UtfToGbk", nullptr},
    {"OpenURL", Api::OpenURL},
    {"Distance2D", nullptr},
    {"Distance2DSquare", nullptr},
    {"Dist_Point2Seg", nullptr},
    {"Side_Point2Seg", nullptr},
    {"XY2Angle", nullptr},
    {"DegToRad", nullptr},
    {"RadToDeg", nullptr},
    {"Play", nullptr},
    {"Pause", nullptr},
    {"Continue", nullptr},
    {"Stop", nullptr},
    {"SetDialogSound", nullptr},
    {"SetGlobalVolume", nullptr},
    {"GetGlobalVolume", nullptr},
    {"CurLuaProj", Api::CurLuaProj},
    {"LoadProj", Api::LoadProj},
    {"GetRestartTime", Api::GetRestartTime},
    {"RSCall", Api::RSCall},
    {"imageSize", nullptr},
    {"isImage", nullptr},
    {"getImageGrid", nullptr},
    {"setImageGrid", nullptr},
    {"addImage", nullptr},
    {"addFntStyle", Api::addFntStyle},
    {"gameMode", Api::gameMode},
    {"setGameMode", Api::setGameMode},
    {"SetGameVersion", Api::SetGameVersion},
    {"GetGameVersion", Api::GetGameVersion},
    {"SetLogInfo", Api::SetLogInfo},
    {"SetWinName", Api::SetWinName},
    {"GetWinName", Api::GetWinName},
    {"MarkImageChange", nullptr},
    {"LoadSpAnim", nullptr},
    {"UnloadResource", nullptr},
    {"removeImage", nullptr},
    {"SetFontName", Api::SetFontName},
    {"GetFontName", Api::GetFontName},
    {"SetDefaultAnim", nullptr},
    {"GetAudioState", nullptr},
    {"winW", Api::winW},
    {"winH", Api::winH},
    {"loadUI", nullptr},
    {"IsCached", nullptr},
    {"cacheUI", nullptr},
    {"uncacheUI", nullptr},
    {"getCacheUI", nullptr},
    {"removeAllCacheUI", nullptr},
    {"RandSeed", nullptr},
    {"Rand", nullptr},
    {"hash", nullptr},
    {"Movefloat", nullptr},
    {"HSV", nullptr},
    {"RandS", nullptr},
    {"QID", nullptr},
    {"luaDirID", nullptr},
    {"GetText", Api::GetText},
    {"SetText", Api::SetText},
    {"SetTextRecording", Api::SetTextRecording},
    {"GetTextRecorded", Api::GetTextRecorded},
    {"GetNumTextInLua", Api::GetNumTextInLua},
    {"GetLuaID", Api::GetLuaID},
    {"NewLuaID", Api::NewLuaID},
    {"NewTextID", Api::NewTextID},
    {"IsTextOwner", Api::IsTextOwner},
    {"GetTextOwner", Api::GetTextOwner},
    {"GetFuncTips", Api::GetFuncTips},
    {"UnloadLuaText", Api::UnloadLuaText},
    {"LoadLuaText", Api::LoadLuaText},
    {"UnloadAirData", nullptr},
    {"AirActionToLua", nullptr},
    {"AirActionHead", nullptr},
    {"AirActionID", nullptr},
    {"ShowClsnBox", Api::ShowClsnBox},
    {"SetSizeMode", Api::SetSizeMode},
    {"FindNode", nullptr},
    {"SetMaskOutline", nullptr},
    {"GetMaskOutline", nullptr},
    {"DrawMask", nullptr},
    {"SetResourceSize", Api::SetResourceSize},
    {"SetProjectPath", Api::SetProjectPath},
    {"GetPixelColor", nullptr},
    {"GetPixelAlpha", nullptr},
    {"SavePNG", nullptr},
    {"IsHex", nullptr},
    {"GetCode", nullptr},
    {"NameValid", Api::NoEffect},
    {"clog", Api::clog},
    {"print_co", Api::print_co},
    {"T", Api::T},
    {"TSM", nullptr},
    {"AddLineVertex", nullptr},
    {"GetComInst", nullptr},
    {"LoadFile", nullptr},
    {"WriteFile", nullptr},
    {"WriteLine", nullptr},
    {"Elapsed", Api::GetGameElapsed},
    {"MousePos", Api::MousePos},
    {"MouseDelta", Api::MouseDelta},
    {"MouseDownDelta", Api::MouseDownDelta},
    {"MouseState", Api::MouseState},
    {"RMouseState", Api::RMouseState},
    {"IsForeground", Api::IsForeground},
    {"KeyState", Api::KeyState},
    {"ChooseFont", Api::ChooseFont},
    {"StartInput", Api::StartInput},
    {"SetMainloop", Api::SetMainloop},
    {"ToStr", nullptr},
    {"HttpGet", nullptr},
    {"Clone", nullptr},
    {"Pack", nullptr},
    {"Pathfind", nullptr},
    {"GetWorkDir", Api::GetWorkDir},
    {"RemoveFolder", nullptr},
    {"FileDialog", Api::NoEffect},
    {"Update", Api::NoEffect},
    {"Draw", Api::Draw},
    {"GetRefSpine", Api::NoEffect},
    {"zip", nullptr},
    {"unzip", nullptr},
    {"open_dll", nullptr},
    {"procaddress", nullptr},
    {"doCrop", nullptr},
    {"doResize", nullptr},
    {"doResize_Bi", nullptr},
    {"doSticker", Api::NoEffect},
    {"doFilter", nullptr},
    {"doCartoon", Api::NoEffect},
    {"screenShot", nullptr},
    {"GaussianBlur", nullptr},
    {"Viewport", Api::Viewport},
    {"ProjMatrix", Api::ProjMatrix},
    {"ViewMatrix", Api::ViewMatrix},
    {"SetRenderSZ", Api::SetRenderSZ},
    {"EventStop", Api::EventStop},
    {"Restart", Api::Restart},
};

}  // namespace

void RegisterScriptClasses(lua_State* L) {
  for (const Entry& entry : kEntries) {
    if (entry.registerClass) entry.registerClass(L);
  }
}

}  // namespace GCore

extern "C" int luaopen_gcore_c(lua_State* L) {
  GCore::RegisterScriptClasses(L);
  luaL_checkversion(L);
  lua_createtable(L, 0, static_cast<int>(sizeof(GCore::kEntries) / sizeof(GCore::kEntries[0])));
  for (const GCore::Entry& entry : GCore::kEntries) {
    if (!entry.function) continue;
    lua_pushcfunction(L, entry.function);
    lua_setfield(L, -2, entry.name);
  }
  // The module draws from a generator of its own, apart from the math library's.
  GCore::RegisterRandomFunctions(L);
  return 1;
}
