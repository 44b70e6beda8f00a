// The TiledMap class as scripts see it: every member and method on a new map
// and on a loaded one, ids that take all 32 bits, loads that fail or must
// not happen again, wrong argument kinds, destroyed maps and stale method
// closures, and the copy of a map.
#include "display/DisplayFixture.h"
#include "tilemap/MapWriter.h"
#include "tilemap/TiledMap.h"

namespace {

using maptest::Encoding;

// img/0001.tmx of the project: kind 0xC, so the id reads above 2^31.
constexpr uint32_t kMapId = 0xC1050001u;

class TiledMapScript : public DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    Run("g = require('gcore.c'); g_dir = {[0x01050000] = 'img'}; g_ext = {[0xC0000000] = '.tmx'}");
    // 3 x 2 cells of 16 pixels; an object group between two tile layers.
    WriteMap(1, maptest::MapXml("orthogonal", 3, 2, 16, 16,
                                maptest::ImageTileset(1, "0010.png", 32, 16, 16, 16) +
                                    maptest::TileLayer("ground", 3, 2, {1, 2, 1, 2, 1, 2}, Encoding::Base64Zlib) +
                                    maptest::ObjectGroup("things") +
                                    maptest::TileLayer("top", 3, 2, {0, 0, 2, 0, 0, 0})));
    WriteMap(2, maptest::MapXml("staggered\" staggeraxis=\"x\" staggerindex=\"odd", 2, 2, 16, 16, ""));
  }

  void WriteMap(uint32_t n, const std::string& text) {
    char name[32];
    std::snprintf(name, sizeof name, "p/img/%04x.tmx", n);
    root.Write(name, text);
  }

  // Runs the chunk, which returns a list of failures as text ("" when all
  // hold).
  std::string Check(const std::string& chunk) {
    if (luaL_dostring(L, chunk.c_str()) != LUA_OK) {
      const std::string error = lua_tostring(L, -1);
      lua_settop(L, 0);
      return "error: " + error;
    }
    const std::string text = lua_isstring(L, -1) ? lua_tostring(L, -1) : "no result";
    lua_settop(L, 0);
    return text;
  }

  std::string ErrorOf(const std::string& chunk) {
    if (luaL_dostring(L, chunk.c_str()) == LUA_OK) {
      lua_settop(L, 0);
      return "";
    }
    const std::string error = lua_tostring(L, -1);
    lua_settop(L, 0);
    return error;
  }

  static constexpr const char* kExpect = R"lua(
    failures = {}
    function expect(what, got, want)
      local same = got == want
      if type(got) == "number" and type(want) == "number" then same = math.abs(got - want) < 1e-4 end
      if not same then
        failures[#failures + 1] = what .. ": " .. tostring(got) .. ", not " .. tostring(want)
      end
    end
  )lua";
};

TEST_F(TiledMapScript, ANewMapIsEmptyAndUnloaded) {
  Run(kExpect);
  EXPECT_EQ(Check(R"lua(
    local m = g.TiledMap()
    expect("mapId", m.mapId, 0)
    expect("userFlag", m.userFlag, true)
    expect("centerImages", m.centerImages, true)
    expect("scaleMode", m.scaleMode, 3)
    expect("getWidth", m.getWidth(), 100)
    expect("getHeight", m.getHeight(), 100)
    expect("getCols", m.getCols(), 0)
    expect("getRows", m.getRows(), 0)
    expect("pick", m.pick(0, 0, 0), 4294967295)
    expect("getGid", m.getGid(0), 0)
    expect("getTileImage", m.getTileImage(0), 0)
    expect("addTileImage", m.addTileImage(1, 0, 0), 0)
    m.setGid(0, 5); m.setCellAlpha(0, 0.5); m.setCellOffset(0, 1, 2); m.nop(1, "x")
    expect("getGid after setGid", m.getGid(0), 0)
    return table.concat(failures, "\n")
  )lua"),
            "");
}

TEST_F(TiledMapScript, CellKeys) {
  Run(kExpect);
  EXPECT_EQ(Check(R"lua(
    local m = g.TiledMap()
    local key = m.cellKey(1, 2, 3)
    expect("cellKey", key, 1 << 24 | 3 << 12 | 2)
    expect("keyCol", m.keyCol(key), 2)
    expect("keyRow", m.keyRow(key), 3)
    expect("keyLayer", m.keyLayer(key), 1)
    -- Integer parts, not masked; the key keeps 32 bits and reads unsigned.
    expect("truncated", m.cellKey(1.9, 2.9, 3.9), key)
    expect("a column past 12 bits runs into the row", m.cellKey(0, 0x1001, 0), 0x1001)
    expect("layer 255", m.cellKey(255, 0, 0), 0xFF000000)
    expect("layer 256 wraps", m.cellKey(256, 1, 0), 1)
    expect("keyLayer of an unsigned key", m.keyLayer(0xFF000000), 255)
    return table.concat(failures, "\n")
  )lua"),
            "");
}

TEST_F(TiledMapScript, ALoadedMapAndItsCells) {
  Run(kExpect);
  EXPECT_EQ(Check(R"lua(
    local m = g.TiledMap()
    m.mapId = 0xC1050001
    expect("mapId of kind 0xC", m.mapId, 0xC1050001)
    expect("getCols", m.getCols(), 3)
    expect("getRows", m.getRows(), 2)
    expect("getWidth", m.getWidth(), 48)
    expect("getHeight", m.getHeight(), 32)
    expect("width", m.width, 48)
    expect("height", m.height, 32)
    expect("ground", m.getGid(m.cellKey(0, 1, 0)), 2)
    expect("the object group's cells", m.getGid(m.cellKey(1, 2, 0)), 0)
    expect("top", m.getGid(m.cellKey(2, 2, 0)), 2)
    expect("a column past the width reads the next row", m.getGid(m.cellKey(0, 3, 0)), 2)
    expect("past the table", m.getGid(m.cellKey(3, 0, 0)), 0)
    expect("tile image", m.getTileImage(m.cellKey(0, 0, 1)), 0x51050010)

    m.setGid(m.cellKey(0, 0, 0), 7)
    expect("setGid", m.getGid(m.cellKey(0, 0, 0)), 7)
    expect("an empty GID has no image", m.getTileImage(m.cellKey(0, 0, 0)), 0)
    m.setGid(m.cellKey(9, 0, 0), 1)
    m.setCellAlpha(m.cellKey(9, 0, 0), 0)
    m.setCellOffset(m.cellKey(9, 0, 0), 1, 1)

    -- The new record's GID is the table's size: GIDs 1 and 2 are the
    -- tileset's, so 3.
    local gid = m.addTileImage(0x22, 1, 2)
    expect("addTileImage", gid, 3)
    expect("addTileImage again", m.addTileImage(0x23, 0, 0), 4)
    m.setGid(m.cellKey(0, 2, 1), gid)
    expect("an added tile has no source image", m.getTileImage(m.cellKey(0, 2, 1)), 0)

    -- Picking and centres relative to the map's centre, y up.
    expect("pick", m.pick(0, -23, 15), m.cellKey(0, 0, 0))
    expect("pick bottom right", m.pick(2, 23, -15), m.cellKey(2, 2, 1))
    expect("pick right of the map", m.pick(0, 25, 0), m.cellKey(0, 3, 1))
    expect("pick left of the map", m.pick(0, -25, 0), 4294967295)
    expect("pick above the map", m.pick(0, 0, 17), 4294967295)
    expect("pick a layer the map lacks", m.pick(3, 0, 0), 4294967295)
    expect("pick a negative layer", m.pick(-1, 0, 0), 4294967295)
    local x, y = m.cellCenter(m.cellKey(0, 2, 1))
    expect("cellCenter x", x, 16)
    expect("cellCenter y", y, -8)
    return table.concat(failures, "\n")
  )lua"),
            "");
}

TEST_F(TiledMapScript, LoadsHappenOnceAndFailuresKeepTheOldId) {
  Run(kExpect);
  tmxtest::LogRecorder log;
  EXPECT_EQ(Check(R"lua(
    local m = g.TiledMap()
    m.mapId = 0xC1050001
    local key = m.cellKey(0, 0, 0)
    m.setGid(key, 9)
    m.mapId = 0xC1050001
    expect("the same id does not reload", m.getGid(key), 9)
    m.centerImages = false
    expect("centerImages", m.centerImages, false)
    expect("centerImages alone does not reload", m.getGid(key), 9)

    m.mapId = 0xC1050099   -- no such file
    expect("a failed load keeps the old id", m.mapId, 0xC1050001)
    m.mapId = 0xC1050001   -- the old id again: loads anew
    expect("reloaded", m.getGid(key), 1)
    m.mapId = 0
    expect("id 0 fails", m.mapId, 0xC1050001)
    m.mapId = 0xC1050002   -- a staggered map
    expect("an unsupported orientation fails", m.mapId, 0xC1050001)

    m.userFlag = nil
    expect("userFlag", m.userFlag, false)
    m.userFlag = 0
    expect("userFlag takes truth", m.userFlag, true)
    return table.concat(failures, "\n")
  )lua"),
            "");
  // Each failure names the map and where it was looked for.
  EXPECT_TRUE(log.HasLevel("ERROR: tmx path is null: map 0xc1050099 not found (no file /"));
  EXPECT_TRUE(log.Has("ERROR: tmx path is null: map 0x00000000 (id 0 names no map)"));
  EXPECT_TRUE(log.Has("ERROR: Orientation is not suppet"));
}

TEST_F(TiledMapScript, WrongArgumentKinds) {
  Run("m = g.TiledMap(); m.mapId = 0xC1050001");
  const char* calls[] = {
      "m.cellKey()",           "m.cellKey({}, 'x', nil)", "m.keyCol('x')",          "m.keyRow({})",
      "m.keyLayer(0/0)",       "m.pick()",                "m.pick({}, {}, {})",     "m.pick(0, 0/0, 1e300)",
      "m.pick(1e300, 0, 0)",   "m.getGid({})",            "m.getGid(-1)",           "m.getGid(1e300)",
      "m.setGid('x', {})",     "m.setGid(0, 1e300)",      "m.setGid(0, -5)",        "m.setCellAlpha({}, 'x')",
      "m.setCellOffset()",     "m.getTileImage(0/0)",     "m.cellCenter({})",       "m.cellCenter(-1)",
      "m.addTileImage({}, 'a', nil)", "m.addTileImage(1e300, 0/0, 1e300)", "m.nop()",   "m.nop({}, {})",
      "m.getWidth(1, 2)",      "m.getCols('x')",          "m.mapId = {}",           "m.mapId = 'x'",
      "m.mapId = 0/0",         "m.mapId = -1",            "m.mapId = 1e300",        "m.centerImages = {}",
  };
  for (const char* call : calls) EXPECT_EQ(ErrorOf(call), "") << call;
  // Cells set to a negative and to a huge GID draw nothing.
  Run("m.setGid(m.cellKey(0, 1, 0), 0x7FFFFFFF); m.setGid(m.cellKey(0, 2, 0), -1); g.Stage().addChild(m)");
  stage->Draw();
  EXPECT_EQ(ErrorOf("m.mapId = 0xC1050001"), "");
}

TEST_F(TiledMapScript, DestroyedMapsAndStaleMethods) {
  Run("m = g.TiledMap(); m.mapId = 0xC1050001; getGid = m.getGid; getmetatable(m).__gc(m)");
  EXPECT_EQ(Eval("m.mapId"), "nil");
  EXPECT_EQ(Eval("m.getGid"), "nil");
  EXPECT_EQ(ErrorOf("m.mapId = 5; m.userFlag = false"), "");
  const std::string destroyed = ErrorOf("return getGid(0)");
  EXPECT_NE(destroyed.find("TiledMap method called without its object"), std::string::npos) << destroyed;

  const std::string collected = ErrorOf(
      "local f = (function() return g.TiledMap().getCols end)()\n"
      "for i = 1, 4 do collectgarbage() end\n"
      "return f()");
  EXPECT_NE(collected.find("without its object"), std::string::npos) << collected;

  // A method looked up on one map and called after a lookup on another acts
  // on the other; after a lookup on an object of another class it refuses.
  Run("a = g.TiledMap(); b = g.TiledMap(); b.mapId = 0xC1050001");
  EXPECT_EQ(Eval("(function() local f = a.getCols; local _ = b.getRows; return f() end)()"), "3");
  const std::string other = ErrorOf("local f = a.getCols; local _ = g.Entity().broadcast; f()");
  EXPECT_NE(other.find("without its object"), std::string::npos) << other;
  Run("getmetatable(m).__gc(m)");
}

TEST_F(TiledMapScript, ACopyReloadsItsSourcesMap) {
  auto* source = Make<GCore::TiledMap>("source");
  Run("source.mapId = 0xC1050001; source.userFlag = false; source.centerImages = false; "
      "source.setGid(source.cellKey(0, 0, 0), 2)");
  auto* copy = Make<GCore::TiledMap>("copy");
  copy->CopyFrom(source);
  EXPECT_TRUE(copy->loaded);
  EXPECT_EQ(copy->mapId, kMapId);
  EXPECT_FALSE(copy->userFlag);
  EXPECT_FALSE(copy->centerImages);
  EXPECT_EQ(Eval("copy.getGid(copy.cellKey(0, 0, 0))"), "1") << "read from the file again";

  // From an object of another class only the entity part is copied.
  auto* entity = Make<GCore::Entity>();
  entity->name = "plain";
  copy->CopyFrom(entity);
  EXPECT_EQ(copy->name, "plain");
  EXPECT_EQ(copy->mapId, kMapId);
}

}  // namespace
