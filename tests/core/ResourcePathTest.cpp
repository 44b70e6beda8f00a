#include "ScriptHostFixture.h"
#include "core/ResourcePath.h"

namespace {

class ResourcePath : public ScriptHostFixture {
 protected:
  // Starts project "game" whose gameinit sets the given tables.
  lua_State* StartGame(const std::string& gameinit) {
    root.Write("game/script/gameinit.lua", gameinit);
    GCore::LuaManager& manager = Start("game");
    manager.LoadProj("game");
    return manager.GetProject(1)->state;
  }
  static std::string Text(const char* path) { return path ? path : "(null)"; }
};

TEST_F(ResourcePath, ProjectFolderComesBeforeTheSharedProject) {
  StartGame("g_dir = { [0x01050000] = 'img' }; g_ext = { [0x50000000] = '.png' }");
  const uint32_t id = 0x5105002A;
  EXPECT_EQ(Text(GCore::GetPath(id)), "(null)");
  root.Write("res/common/img/002a.png", "c");
  EXPECT_EQ(Text(GCore::GetPath(id)), root.Path("res/common/img/002a.png"));
  root.Write("game/img/002a.png", "g");
  EXPECT_EQ(Text(GCore::GetPath(id)), root.Path("game/img/002a.png"));
}

TEST_F(ResourcePath, FolderFallsBackToTheCoarseKeyThenDot) {
  lua_State* L = StartGame("g_dir = { [0x01000000] = 'coarse' }; g_ext = { [0x50000000] = '.png' }");
  root.Write("game/coarse/002a.png", "");
  EXPECT_EQ(Text(GCore::GetPath(0x5105002A)), root.Path("game/coarse/002a.png"));

  luaL_dostring(L, "g_dir = {}");
  root.Write("game/002a.png", "");
  EXPECT_EQ(Text(GCore::GetPath(0x5105002A)), root.Path("game/./002a.png"));

  luaL_dostring(L, "g_dir = 'not a table'; g_ext = nil");
  root.Write("game/002a", "");
  EXPECT_EQ(Text(GCore::GetPath(0x5105002A)), root.Path("game/./002a"))
      << "missing tables give the plain folder and no extension";
}

TEST_F(ResourcePath, SpecialKindsAndFolders) {
  StartGame("g_dir = { [0x01050000] = 'spine', [0x01060000] = 'ui' }; g_ext = { [0x80000000] = '.skel' }");
  root.Write("game/spine/123/f.skel", "");
  EXPECT_EQ(Text(GCore::GetPath(0x8105123F)), root.Path("game/spine/123/f.skel"));
  EXPECT_EQ(Text(GCore::GetPath(0x0F000010)), root.Path("game/thumbnail/f000010.png"))
      << "thumbnails are not searched for";
  EXPECT_EQ(Text(GCore::GetPath(0x01060000)), root.Path("game/ui/"));
  EXPECT_EQ(Text(GCore::GetPath(0x01070000)), "(null)") << "a folder id without a g_dir entry";
  EXPECT_EQ(Text(GCore::GetPath(0x5105002A, 2)), "(null)") << "no such project";
}

TEST_F(ResourcePath, ScriptPaths) {
  StartGame("g_dir = { [0x1030000] = 'classes' }");
  EXPECT_EQ(Text(GCore::GetScriptPath("c_hero")), root.Path("res/common/classes/c_hero.lua"))
      << "a missing script gives the shared project's path";
  root.Write("game/classes/c_hero.lua", "");
  EXPECT_EQ(Text(GCore::GetScriptPath("c_hero")), root.Path("game/classes/c_hero.lua"));
  root.Write("game/script/ui/main.lua", "");
  EXPECT_EQ(Text(GCore::GetScriptPath("ui.main")), root.Path("game/script/ui/main.lua"));
  EXPECT_EQ(Text(GCore::GetScriptPath("ui.main", ".txt")), root.Path("res/common/script/ui/main.txt"));
  EXPECT_EQ(Text(GCore::GetScriptPath("v_menu")), root.Path("res/common/script/v_menu.lua"))
      << "a prefix without a g_dir entry stays in the script folder";
}

TEST_F(ResourcePath, TablesAreReadRawWhateverTheirMetatables) {
  // __index that would answer or raise: paths come from the tables' own
  // entries only, and a strict-globals _G raises nothing here.
  lua_State* L = StartGame(
      "g_dir = setmetatable({ [0x01050000] = 'img' }, { __index = function() return 'wrong' end })\n"
      "g_ext = setmetatable({}, { __index = function() error('strict g_ext') end })\n"
      "setmetatable(_G, { __index = function(_, k) error('undeclared ' .. tostring(k)) end })");
  root.Write("game/img/002a", "");
  EXPECT_EQ(Text(GCore::GetPath(0x5105002A)), root.Path("game/img/002a"));
  root.Write("game/./0001", "");
  EXPECT_EQ(Text(GCore::GetPath(0x51060001)), root.Path("game/./0001")) << "no entry: the plain folder";
  EXPECT_EQ(Text(GCore::GetScriptPath("c_hero")), root.Path("res/common/script/c_hero.lua"));

  ASSERT_EQ(luaL_dostring(L, "rawset(_G, 'g_dir', nil); rawset(_G, 'g_ext', nil)"), LUA_OK);
  EXPECT_EQ(Text(GCore::GetPath(0x51060001)), root.Path("game/./0001")) << "no tables: _G's __index is not asked";
  EXPECT_EQ(Log(), "") << "no metamethod ran, so nothing raised";
}

TEST(LuaDirID, PrefixTable) {
  const struct {
    const char* name;
    uint32_t id;
  } cases[] = {{"a_x", 0x1050000}, {"c_x", 0x1030000}, {"n_x", 0x1060000}, {"o_x", 0x1010000},
               {"p_x", 0x1040000}, {"v_x", 0x1020000}, {"z_x", 0},         {"cx", 0},
               {"c", 0},           {"", 0}};
  for (const auto& c : cases) EXPECT_EQ(GCore::luaDirID(c.name), c.id) << c.name;
}

}  // namespace
