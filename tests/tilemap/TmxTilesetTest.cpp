// Tilesets: inline and external, grid images and image collections, per-tile
// records and the refusals that leave a tileset unloaded.
#include "TmxTestSupport.h"
#include "tilemap/TmxTileset.h"

namespace {

using tmx::Tileset;
using tmx::Vector2u;

struct Parsed {
  Tileset tileset;
  std::vector<std::string> log;
};

Parsed Parse(const std::string& xml, const std::string& workingDirectory = "maps") {
  tmxtest::LogRecorder log;
  tmxtest::Xml node(xml);
  Parsed parsed{Tileset(workingDirectory), {}};
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  parsed.tileset.parse(node.root());
  testing::internal::GetCapturedStdout();
  testing::internal::GetCapturedStderr();
  parsed.log = log.Lines();
  return parsed;
}

std::vector<std::uint32_t> TileIds(const Tileset& tileset) {
  std::vector<std::uint32_t> ids;
  for (const auto& tile : tileset.getTiles()) ids.push_back(tile.ID);
  return ids;
}

TEST(TmxTileset, ReadsAnInlineGridTileset) {
  const Parsed parsed = Parse(R"(<tileset firstgid="5" name="ground" tilewidth="16" tileheight="8" spacing="2"
      margin="1" tilecount="6" columns="3">
        <tileoffset x="-4" y="6"/>
        <properties><property name="p" value="v"/></properties>
        <image source="tiles.png" trans="ff00ff" width="999" height="999"/>
        <terraintypes>
          <terrain name="grass" tile="2"><properties><property name="a" type="int" value="1"/><x/></properties></terrain>
          <other/><terrain name="sand"/>
        </terraintypes>
        <tile id="4" probability="25" type="rock" terrain="0,0,1,1">
          <properties><property name="hard" type="bool" value="true"/></properties>
          <animation><frame tileid="4" duration="100"/><any tileid="5" duration="50"/></animation>
          <objectgroup><object id="1" width="16" height="4"/></objectgroup>
        </tile>
      </tileset>)");
  const Tileset& t = parsed.tileset;
  EXPECT_TRUE(parsed.log.empty());
  EXPECT_EQ(t.getFirstGID(), 5u);
  EXPECT_EQ(t.getLastGID(), 10u);
  EXPECT_EQ(t.getName(), "ground");
  EXPECT_EQ(t.getTileSize(), Vector2u(16, 8));
  EXPECT_EQ(t.getSpacing(), 2u);
  EXPECT_EQ(t.getMargin(), 1u);
  EXPECT_EQ(t.getColumnCount(), 3u);
  EXPECT_EQ(t.getTileOffset(), tmx::Vector2i(-4, 6));
  ASSERT_EQ(t.getProperties().size(), 1u);
  EXPECT_EQ(t.getImagePath(), "maps/tiles.png");
  EXPECT_TRUE(t.hasTransparency());
  EXPECT_EQ(t.getTransparencyColour(), tmx::Colour(255, 0, 255, 255));

  ASSERT_EQ(t.getTerrainTypes().size(), 2u);
  EXPECT_EQ(t.getTerrainTypes()[0].name, "grass");
  EXPECT_EQ(t.getTerrainTypes()[0].tileID, 2);
  EXPECT_EQ(t.getTerrainTypes()[0].properties.size(), 1u);  // only "property" children
  EXPECT_EQ(t.getTerrainTypes()[1].tileID, 0);

  // The described tile first, then the missing ones in increasing order.
  EXPECT_EQ(TileIds(t), (std::vector<std::uint32_t>{4, 0, 1, 2, 3, 5}));
  const Tileset::Tile& rock = t.getTiles()[0];
  EXPECT_EQ(rock.probability, 25u);
  EXPECT_EQ(rock.type, "rock");
  EXPECT_EQ(rock.terrainIndices, (std::array<std::int32_t, 4>{0, 0, 1, 1}));
  EXPECT_EQ(rock.properties.size(), 1u);
  ASSERT_EQ(rock.animation.frames.size(), 2u);
  EXPECT_EQ(rock.animation.frames[1].tileID, 5u);
  EXPECT_EQ(rock.animation.frames[1].duration, 50u);
  ASSERT_EQ(rock.objectGroup.getObjects().size(), 1u);
  EXPECT_EQ(rock.imagePath, "maps/tiles.png");
  EXPECT_EQ(rock.imageSize, Vector2u(16, 8));
  EXPECT_EQ(rock.imagePosition, Vector2u(16, 8));  // margin and spacing are not added
  const Tileset::Tile& filled = t.getTiles()[5];
  EXPECT_EQ(filled.probability, 100u);
  EXPECT_EQ(filled.imagePosition, Vector2u(32, 8));
  EXPECT_EQ(filled.terrainIndices, (std::array<std::int32_t, 4>{0, 0, 0, 0}));
}

TEST(TmxTileset, FillsMissingTilesOnlyWhenTheCountDiffers) {
  const struct {
    const char* tiles;
    std::vector<std::uint32_t> ids;
  } cases[] = {
      {"<tile id=\"2\"/>", {2, 0, 1, 3}},
      {"", {0, 1, 2, 3}},
      {"<tile id=\"0\"/><tile id=\"0\"/><tile id=\"1\"/><tile id=\"2\"/>", {0, 0, 1, 2}},
      {"<tile id=\"9\"/>", {9, 0, 1, 2, 3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tiles);
    const Parsed parsed =
        Parse(std::string("<tileset firstgid=\"1\" tilewidth=\"8\" tileheight=\"8\" tilecount=\"4\">") + c.tiles +
              "</tileset>");
    EXPECT_EQ(TileIds(parsed.tileset), c.ids);
    for (const auto& tile : parsed.tileset.getTiles()) EXPECT_EQ(tile.imagePosition, Vector2u(0, 0));  // no columns
  }
  EXPECT_EQ(Parse(R"(<tileset firstgid="1" tilewidth="8" tileheight="8" tilecount="64"/>)").tileset.getLastGID(), 64u);
  EXPECT_EQ(Parse(R"(<tileset firstgid="7" tilewidth="8" tileheight="8"/>)").tileset.getLastGID(), 6u);
}

TEST(TmxTileset, TerrainCorners) {
  const struct {
    const char* text;
    std::array<std::int32_t, 4> corners;
  } cases[] = {
      {"0,0,1,1", {0, 0, 1, 1}},   {",1,,", {-1, 1, -1, -1}}, {"", {-1, 0, 0, 0}},
      {"0,12,3,4", {0, 12, 3, 4}}, {",,0,", {-1, -1, 0, -1}}, {"1,2,3,4,5", {1, 2, 3, 4}},
      {"2,3", {2, 3, 0, 0}},       {"-1,x, 2,7y", {-1, -1, -1, 7}},
  };
  for (const auto& c : cases) {
    const Parsed parsed =
        Parse(std::string(R"(<tileset firstgid="1" tilewidth="8" tileheight="8"><tile terrain=")") + c.text +
              "\"/></tileset>");
    ASSERT_EQ(parsed.tileset.getTiles().size(), 1u);
    EXPECT_EQ(parsed.tileset.getTiles()[0].terrainIndices, c.corners) << c.text;
  }
}

TEST(TmxTileset, ImageCollection) {
  const Parsed parsed = Parse(R"(<tileset firstgid="1" tilewidth="64" tileheight="64" tilecount="3" columns="0">
        <tile id="0" probability=""><image source="../props/tree.png" width="48"/></tile>
        <tile id="1"><image width="10" height="10"/><properties><property name="kept"/></properties></tile>
        <tile id="2"><image source="rock.png" trans="#00ff00" width="32" height="30"/></tile>
      </tileset>)",
                              "game/maps");
  const Tileset& t = parsed.tileset;
  EXPECT_EQ(parsed.log, std::vector<std::string>{"WARNING: Tile image path missing"});
  EXPECT_EQ(t.getImagePath(), "");
  ASSERT_EQ(t.getTiles().size(), 3u);
  EXPECT_EQ(t.getTiles()[0].imagePath, "game/props/tree.png");
  EXPECT_EQ(t.getTiles()[0].imageSize, Vector2u(48, 64));  // no height: the tile size's
  EXPECT_EQ(t.getTiles()[0].probability, 100u);
  EXPECT_EQ(t.getTiles()[1].imagePath, "");
  EXPECT_EQ(t.getTiles()[1].properties.size(), 1u);  // read after the missing source
  EXPECT_EQ(t.getTiles()[2].imagePath, "game/maps/rock.png");
  EXPECT_EQ(t.getTiles()[2].imageSize, Vector2u(32, 30));
  // A tile's colour key belongs to the whole set.
  EXPECT_TRUE(t.hasTransparency());
  EXPECT_EQ(t.getTransparencyColour(), tmx::Colour(0, 255, 0, 255));
}

TEST(TmxTileset, ExternalFileResolvedAgainstTheMapFolder) {
  tmxtest::ScratchFolder folder;
  folder.Write("maps/sets/a.tsx", R"(<?xml version="1.0"?>
      <tileset firstgid="40" name="external" tilewidth="32" tileheight="32" tilecount="2" columns="2">
        <image source="tiles.png"/>
        <tile id="1"><image source="../extra/one.png"/></tile>
      </tileset>)");
  const Parsed parsed = Parse(R"(<tileset firstgid="1" source="../sets/a.tsx" name="inline name" tilewidth="1"
      tileheight="1"><tile id="7"/></tileset>)",
                              folder.Path("maps/level1"));
  const Tileset& t = parsed.tileset;
  EXPECT_TRUE(parsed.log.empty());
  EXPECT_EQ(t.getFirstGID(), 1u);  // the map's value, whatever the file says
  EXPECT_EQ(t.getName(), "external");
  EXPECT_EQ(t.getTileSize(), Vector2u(32, 32));
  EXPECT_EQ(t.getImagePath(), folder.Path("maps/sets/tiles.png"));
  EXPECT_EQ(TileIds(t), (std::vector<std::uint32_t>{1, 0}));
  EXPECT_EQ(t.getTiles()[0].imagePath, folder.Path("maps/extra/one.png"));
}

TEST(TmxTileset, RefusalsLeaveTheTilesetUnloaded) {
  tmxtest::ScratchFolder folder;
  folder.Write("no-tileset.tsx", "<?xml version=\"1.0\"?><map/>");
  folder.Write("broken.tsx", "<tileset firstgid=\"1\" tilewidth=\"8\"");
  const std::string valid = R"(firstgid="1" tilewidth="8" tileheight="8")";
  const struct {
    const char* what;
    std::string xml;
    const char* message;
  } cases[] = {
      {"not a tileset", "<tilesett " + valid + "/>", "WARNING: tilesett: not a tileset node! Node will be skipped."},
      {"no first gid", R"(<tileset tilewidth="8" tileheight="8"/>)",
       "WARNING: Invalid first GID in tileset. Tileset node skipped."},
      {"negative first gid", R"(<tileset firstgid="-5" tilewidth="8" tileheight="8"/>)",
       "WARNING: Invalid first GID in tileset. Tileset node skipped."},
      {"first gid in the flag bits", R"(<tileset firstgid="268435456" tilewidth="8" tileheight="8"/>)",
       "WARNING: Invalid first GID in tileset. Tileset node skipped."},
      {"missing file", "<tileset firstgid=\"1\" source=\"nowhere.tsx\"/>",
       "ERROR: Failed opening tsx file for tile set, tile set will be skipped"},
      {"broken file", "<tileset firstgid=\"1\" source=\"broken.tsx\"/>",
       "ERROR: Failed opening tsx file for tile set, tile set will be skipped"},
      {"empty source", "<tileset firstgid=\"1\" source=\"\"/>",
       "ERROR: Failed opening tsx file for tile set, tile set will be skipped"},
      {"file without tileset", "<tileset firstgid=\"1\" source=\"no-tileset.tsx\"/>",
       "ERROR: tsx file does not contain a tile set node, tile set will be skipped"},
      {"no tile width", R"(<tileset firstgid="1" name="n" tileheight="8"/>)",
       "ERROR: Invalid tile size found in tile set node. Node will be skipped."},
      {"negative tile height", R"(<tileset firstgid="1" tilewidth="8" tileheight="-8"/>)",
       "ERROR: Invalid tile size found in tile set node. Node will be skipped."},
      {"image without source", "<tileset " + valid + " tilecount=\"2\"><tile id=\"0\"/><image width=\"8\"/></tileset>",
       "ERROR: Tileset image node has missing source property, tile set not loaded"},
      {"tile count -1", "<tileset " + valid + " tilecount=\"-1\"/>",
       "ERROR: Invalid tile count found in tile set node. Node will be skipped."},
      {"tile count too large", "<tileset " + valid + " tilecount=\"262145\"/>",
       "ERROR: Invalid tile count found in tile set node. Node will be skipped."},
      {"range past the flag bits", R"(<tileset firstgid="268435455" tilewidth="8" tileheight="8" tilecount="2"/>)",
       "ERROR: Invalid tile count found in tile set node. Node will be skipped."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Parsed parsed = Parse(c.xml, folder.Path(""));
    const Tileset& t = parsed.tileset;
    EXPECT_EQ(parsed.log, std::vector<std::string>{c.message});
    EXPECT_EQ(t.getFirstGID(), 0u);
    EXPECT_EQ(t.getName(), "");
    EXPECT_EQ(t.getTileSize(), Vector2u(0, 0));
    EXPECT_EQ(t.getTileCount(), 0u);
    EXPECT_TRUE(t.getTiles().empty());
    EXPECT_EQ(t.getImagePath(), "");
  }
}

TEST(TmxTileset, TileElementsBeyondTheLimitRefuseTheSet) {
  std::string tiles;
  for (std::uint32_t i = 0; i <= tmx::maxTilesetTiles; ++i) tiles += "<tile/>";
  const Parsed parsed = Parse(R"(<tileset firstgid="1" tilewidth="8" tileheight="8">)" + tiles + "</tileset>");
  EXPECT_EQ(parsed.log,
            std::vector<std::string>{"ERROR: Invalid tile count found in tile set node. Node will be skipped."});
  EXPECT_EQ(parsed.tileset.getFirstGID(), 0u);
  EXPECT_TRUE(parsed.tileset.getTiles().empty());
}

TEST(TmxTileset, WithoutCountOrColumnsTheImageGridGivesThem) {
  // Whole tiles from the margin on, one spacing apart; the given attribute wins.
  const struct {
    const char* attributes;
    const char* image;
    std::uint32_t columns;
    std::uint32_t count;
  } cases[] = {
      {"", R"(width="64" height="48")", 4, 12},
      {R"(margin="1" spacing="2")", R"(width="54" height="36")", 3, 6},
      {R"(margin="1" spacing="2")", R"(width="53" height="35")", 3, 6},  // no margin at the far side
      {R"(margin="1" spacing="2")", R"(width="52" height="36")", 2, 4},
      {"", R"(width="15" height="48")", 0, 0},                            // narrower than one tile
      {R"(margin="4294967295")", R"(width="64" height="48")", 0, 0},       // a negative margin read unsigned
      {R"(columns="2")", R"(width="64" height="48")", 2, 12},
      {R"(tilecount="5")", R"(width="64" height="48")", 4, 5},
      {R"(columns="0" tilecount="0")", R"(width="64" height="48")", 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.attributes) + " " + c.image);
    const Parsed parsed = Parse(std::string(R"(<tileset firstgid="1" tilewidth="16" tileheight="16" )") +
                                c.attributes + R"(><image source="t.png" )" + c.image + "/></tileset>");
    EXPECT_TRUE(parsed.log.empty());
    EXPECT_EQ(parsed.tileset.getColumnCount(), c.columns);
    EXPECT_EQ(parsed.tileset.getTileCount(), c.count);
    EXPECT_EQ(parsed.tileset.getTiles().size(), c.count);
  }
}

TEST(TmxTileset, CopiesItsRecords) {
  const Parsed parsed = Parse(R"(<tileset firstgid="1" tilewidth="8" tileheight="8" tilecount="2">
      <tile id="1" type="t"><objectgroup><object name="box"/></objectgroup></tile></tileset>)");
  const Tileset copy = parsed.tileset;
  EXPECT_EQ(TileIds(copy), (std::vector<std::uint32_t>{1, 0}));
  EXPECT_EQ(copy.getTiles()[0].objectGroup.getObjects()[0].getName(), "box");
}

}  // namespace
