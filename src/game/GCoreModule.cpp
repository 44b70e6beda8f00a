#include "game/GCoreApi.h"
#include "core/Matrix.h"
#include "display/Layout.h"
#include "display/ParticleSystem.h"
#include "display/Quad.h"
#include "display/Shape.h"
#include "display/Sprite.h"
#include "display/Stage.h"
#include "display/TextQuad.h"
#include "display/Trail.h"
#include "modules/RandomNumbers.h"
#include "spinequad/SpineQuad.h"
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
    {"Sprite", NewSpriteScript, RegisterSpriteClass},
    {"Stage", CurrentStageScript, RegisterStageClass},
    {"TextQuad", NewTextQuadScript, RegisterTextQuadClass},
    {"SpineQuad", NewSpineQuadScript, RegisterSpineQuadClass},
    {"Shape", NewShapeScript, RegisterShapeClass},
    {"ParticleSystem", NewParticleSystemScript, RegisterParticleSystemClass},
    {"Layout", NewLayoutScript, RegisterLayoutClass},
    {"Trail", NewTrailScript, RegisterTrailClass},
    {"TiledMap", NewTiledMapScript, RegisterTiledMapClass},
    {"GetGameTime", Api::GetGameTime},
    {"GetGameElapsed", Api::GetGameElapsed},
    {"QuitGame", Api::QuitGame},
    {"SetGameSpeed", Api::SetGameSpeed},
    {"GetGameSpeed", Api::GetGameSpeed},
    {"GetPow2", Api::GetPow2},
    {"GetPath", Api::GetPath},
    {"GetScriptPath", Api::GetScriptPath},
    {"FullPath", Api::FullPath},
    {"WritePath", Api::WritePath},
    {"IsFileExist", Api::IsFileExist},
    {"DoCopyFile", Api::DoCopyFile},
    {"RemoveFile", Api::RemoveFile},
    {"DoMoveFile", Api::DoMoveFile},
    {"UnzipFile", Api::NoEffect},
    {"RemoveZFiles", Api::NoEffect},
    {"IsDirExist", Api::IsDirExist},
    {"MakeDir", Api::MakeDir},
    {"CheckMD5", Api::CheckMD5},
    {"GetOS", Api::GetOS},
    {"GetDeviceInfo", Api::GetDeviceInfo},
    {"ToHexUINT", Api::ToHexUINT},
    {"ToDecUINT", Api::ToDecUINT},
    {"ToHexString", Api::ToHexString},
    {"MakeTags", Api::MakeTags},
    {"ContainTag", Api::ContainTag},
    {"GetFileInfo", Api::NoEffect},
    {"Explore", Api::NoEffect},
    {"StrTrim", Api::StrTrim},
    {"StrRFind", Api::StrRFind},
    {"MapInRange", Api::MapInRange},
    {"CapValue", Api::CapValue},
    {"MsgBox", Api::MsgBox},
    {"GetAlignRect", Api::GetAlignRect},
    {"SetFocus", Api::SetFocus},
    {"SetEditing", Api::SetEditing},
    {"IsVisible", Api::IsVisible},
    {"IsHovered", Api::IsHovered},
    {"SetMouseState", Api::SetMouseState},
    {"UTF8ToUTF32", Api::UTF8ToUTF32},
    {"GBKToUTF", Api::GBKToUTF},
    {"UtfToGbk", Api::UtfToGbk},
    {"OpenURL", Api::OpenURL},
    {"Distance2D", Api::Distance2D},
    {"Distance2DSquare", Api::Distance2DSquare},
    {"Dist_Point2Seg", Api::Dist_Point2Seg},
    {"Side_Point2Seg", Api::Side_Point2Seg},
    {"XY2Angle", Api::XY2Angle},
    {"DegToRad", Api::DegToRad},
    {"RadToDeg", Api::RadToDeg},
    {"Play", Api::Play},
    {"Pause", Api::Pause},
    {"Continue", Api::Continue},
    {"Stop", Api::Stop},
    {"SetDialogSound", Api::SetDialogSound},
    {"SetGlobalVolume", Api::SetGlobalVolume},
    {"GetGlobalVolume", Api::GetGlobalVolume},
    {"CurLuaProj", Api::CurLuaProj},
    {"LoadProj", Api::LoadProj},
    {"GetRestartTime", Api::GetRestartTime},
    {"RSCall", Api::RSCall},
    {"imageSize", Api::imageSize},
    {"isImage", Api::isImage},
    {"getImageGrid", Api::getImageGrid},
    {"setImageGrid", Api::setImageGrid},
    {"addImage", Api::addImage},
    {"addFntStyle", Api::addFntStyle},
    {"gameMode", Api::gameMode},
    {"setGameMode", Api::setGameMode},
    {"SetGameVersion", Api::SetGameVersion},
    {"GetGameVersion", Api::GetGameVersion},
    {"SetLogInfo", Api::SetLogInfo},
    {"SetWinName", Api::SetWinName},
    {"GetWinName", Api::GetWinName},
    {"MarkImageChange", Api::MarkImageChange},
    {"LoadSpAnim", Api::LoadSpAnim},
    {"UnloadResource", Api::UnloadResource},
    {"removeImage", Api::removeImage},
    {"SetFontName", Api::SetFontName},
    {"GetFontName", Api::GetFontName},
    {"SetDefaultAnim", Api::SetDefaultAnim},
    {"GetAudioState", Api::GetAudioState},
    {"winW", Api::winW},
    {"winH", Api::winH},
    {"loadUI", Api::loadUI},
    {"IsCached", Api::IsCached},
    {"cacheUI", Api::cacheUI},
    {"uncacheUI", Api::uncacheUI},
    {"getCacheUI", Api::getCacheUI},
    {"removeAllCacheUI", Api::removeAllCacheUI},
    {"RandSeed", Api::RandSeed},
    {"Rand", Api::Rand},
    {"hash", Api::hash},
    {"Movefloat", Api::Movefloat},
    {"HSV", Api::HSV},
    {"RandS", Api::RandS},
    {"QID", Api::QID},
    {"luaDirID", Api::luaDirID},
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
    {"UnloadAirData", Api::UnloadAirData},
    {"AirActionToLua", Api::AirActionToLua},
    {"AirActionHead", Api::AirActionHead},
    {"AirActionID", Api::AirActionID},
    {"ShowClsnBox", Api::ShowClsnBox},
    {"SetSizeMode", Api::SetSizeMode},
    {"FindNode", Api::FindNode},
    {"SetMaskOutline", Api::SetMaskOutline},
    {"GetMaskOutline", Api::GetMaskOutline},
    {"DrawMask", Api::DrawMask},
    {"SetResourceSize", Api::SetResourceSize},
    {"SetProjectPath", Api::SetProjectPath},
    {"GetPixelColor", Api::GetPixelColor},
    {"GetPixelAlpha", Api::GetPixelAlpha},
    {"SavePNG", Api::SavePNG},
    {"IsHex", Api::IsHex},
    {"GetCode", Api::GetCode},
    {"NameValid", Api::NoEffect},
    {"clog", Api::clog},
    {"print_co", Api::print_co},
    {"T", Api::T},
    {"TSM", Api::TSM},
    {"AddLineVertex", Api::AddLineVertex},
    {"GetComInst", Api::GetComInst},
    {"LoadFile", Api::LoadFile},
    {"WriteFile", Api::WriteFile},
    {"WriteLine", Api::WriteLine},
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
    {"ToStr", Api::ToStr},
    {"HttpGet", Api::HttpGet},
    {"Clone", Api::Clone},
    {"Pack", Api::Pack},
    {"Pathfind", Api::Pathfind},
    {"GetWorkDir", Api::GetWorkDir},
    {"RemoveFolder", Api::RemoveFolder},
    {"FileDialog", Api::NoEffect},
    {"Update", Api::NoEffect},
    {"Draw", Api::Draw},
    {"GetRefSpine", Api::NoEffect},
    {"zip", Api::zip},
    {"unzip", Api::unzip},
    {"open_dll", Api::open_dll},
    {"procaddress", Api::procaddress},
    {"doCrop", Api::doCrop},
    {"doResize", Api::doResize},
    {"doResize_Bi", Api::doResize_Bi},
    {"doSticker", Api::NoEffect},
    {"doFilter", Api::doFilter},
    {"doCartoon", Api::NoEffect},
    {"screenShot", Api::screenShot},
    {"GaussianBlur", Api::GaussianBlur},
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
