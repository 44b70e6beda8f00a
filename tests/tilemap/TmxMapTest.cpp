// Whole maps: the sample files under data/, the map element's refusals, and
// hostile files that must end in a logged failure.
#include <unistd.h>

#include <algorithm>

#include "TmxTestSupport.h"
#include "tilemap/TmxMap.h"

namespace {

using tmx::Layer;
using tmx::Map;
using tmx::Vector2u;

const std::string kData = std::string(QUARVELIN_TEST_DATA) + "/tilemap/data";

struct Loaded {
  bool ok;
  std::vector<std::string> log;
};

Loaded Load(Map& map, const std::string& path) {
  tmxtest::LogRecorder log;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const bool ok = map.load(path);
  testing::internal::GetCapturedStdout();
  testing::internal::GetCapturedStderr();
  return {ok, log.Lines()};
}

template <typename T>
const T& LayerAs(const Map& map, std::size_t index) {
  return dynamic_cast<const T&>(*map.getLayers().at(index));
}

std::vector<std::uint32_t> Ids(const tmx::TileLayer& layer) {
  std::vector<std::uint32_t> ids;
  for (const auto& tile : layer.getTiles()) ids.push_back(tile.ID);
  return ids;
}

void ExpectEmpty(const Map& map) {
  EXPECT_EQ(map.getOrientation(), tmx::Orientation::None);
  EXPECT_EQ(map.getRenderOrder(), tmx::RenderOrder::None);
  EXPECT_EQ(map.getTileCount(), Vector2u(0, 0));
  EXPECT_EQ(map.getTileSize(), Vector2u(0, 0));
  EXPECT_EQ(map.getHexSideLength(), 0.0f);
  EXPECT_EQ(map.getStaggerAxis(), tmx::StaggerAxis::None);
  EXPECT_EQ(map.getStaggerIndex(), tmx::StaggerIndex::None);
  EXPECT_EQ(map.getBackgroundColour(), tmx::Colour(0, 0, 0, 255));
  EXPECT_TRUE(map.getTilesets().empty());
  EXPECT_TRUE(map.getLayers().empty());
  EXPECT_TRUE(map.getProperties().empty());
  EXPECT_EQ(map.getBounds(), tmx::FloatRect(0, 0, 0, 0));
}

TEST(TmxMap, StartsEmpty) {
  const Map map;
  ExpectEmpty(map);
  EXPECT_EQ(map.getVersion().upper, 0u);
  EXPECT_EQ(map.getVersion().lower, 0u);
}

TEST(TmxMap, LoadsTheOrthogonalSample) {
  Map map;
  const std::string folder = kData + "/maps";
  const Loaded loaded = Load(map, folder + "/level1/orthogonal.tmx");
  ASSERT_TRUE(loaded.ok);
  EXPECT_TRUE(loaded.log.empty()) << loaded.log.front();

  EXPECT_EQ(map.getVersion().upper, 1u);
  EXPECT_EQ(map.getVersion().lower, 2u);
  EXPECT_EQ(map.getOrientation(), tmx::Orientation::Orthogonal);
  EXPECT_EQ(map.getRenderOrder(), tmx::RenderOrder::RightDown);
  EXPECT_EQ(map.getTileCount(), Vector2u(4, 3));
  EXPECT_EQ(map.getTileSize(), Vector2u(32, 32));
  EXPECT_EQ(map.getBounds(), tmx::FloatRect(0, 0, 128, 96));
  EXPECT_EQ(map.getBackgroundColour(), tmx::Colour(0x10, 0x20, 0x30, 0x80));
  ASSERT_EQ(map.getProperties().size(), 2u);
  EXPECT_FLOAT_EQ(map.getProperties()[1].getFloatValue(), 9.5f);

  // The external tileset, resolved from maps/level1 to maps/sets.
  ASSERT_EQ(map.getTilesets().size(), 2u);
  const tmx::Tileset& terrain = map.getTilesets()[0];
  EXPECT_EQ(terrain.getFirstGID(), 1u);
  EXPECT_EQ(terrain.getLastGID(), 8u);
  EXPECT_EQ(terrain.getName(), "terrain");
  EXPECT_EQ(terrain.getImagePath(), folder + "/sets/tiles.png");
  EXPECT_EQ(terrain.getTransparencyColour(), tmx::Colour(255, 0, 255, 255));
  EXPECT_EQ(terrain.getTileOffset(), tmx::Vector2i(0, -8));
  EXPECT_EQ(terrain.getSpacing(), 2u);
  EXPECT_EQ(terrain.getMargin(), 1u);
  ASSERT_EQ(terrain.getTerrainTypes().size(), 2u);
  ASSERT_EQ(terrain.getTiles().size(), 8u);
  EXPECT_EQ(terrain.getTiles()[0].ID, 5u);
  EXPECT_EQ(terrain.getTiles()[0].animation.frames.size(), 2u);
  EXPECT_EQ(terrain.getTiles()[1].terrainIndices, (std::array<std::int32_t, 4>{0, -1, 1, -1}));
  EXPECT_EQ(terrain.getTiles()[1].objectGroup.getDrawOrder(), tmx::ObjectGroup::DrawOrder::Index);

  // The image collection, written inline.
  const tmx::Tileset& props = map.getTilesets()[1];
  EXPECT_EQ(props.getFirstGID(), 9u);
  EXPECT_EQ(props.getImagePath(), "");
  ASSERT_EQ(props.getTiles().size(), 2u);
  EXPECT_EQ(props.getTiles()[0].imagePath, kData + "/props/tree.png");
  EXPECT_EQ(props.getTiles()[0].imageSize, Vector2u(48, 64));
  EXPECT_EQ(props.getTiles()[1].imagePath, folder + "/level1/rock.png");
  EXPECT_EQ(props.getTiles()[1].type, "rock");

  // Layers of every kind, in document order.
  ASSERT_EQ(map.getLayers().size(), 4u);
  const std::vector<Layer::Type> kinds = {Layer::Type::Image, Layer::Type::Tile, Layer::Type::Object, Layer::Type::Tile};
  for (std::size_t i = 0; i < kinds.size(); ++i) EXPECT_EQ(map.getLayers()[i]->getType(), kinds[i]) << i;

  const auto& sky = LayerAs<tmx::ImageLayer>(map, 0);
  EXPECT_EQ(sky.getName(), "sky");
  EXPECT_EQ(sky.getImagePath(), folder + "/backgrounds/sky.png");
  EXPECT_EQ(sky.getImageSize(), Vector2u(640, 480));
  EXPECT_EQ(sky.getOffset(), tmx::Vector2i(4, -2));
  EXPECT_FLOAT_EQ(sky.getOpacity(), 0.5f);
  EXPECT_FALSE(sky.hasTransparency());
  ASSERT_EQ(sky.getProperties().size(), 1u);

  const auto& ground = LayerAs<tmx::TileLayer>(map, 1);
  EXPECT_EQ(Ids(ground), (std::vector<std::uint32_t>{1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 0}));
  EXPECT_EQ(ground.getTiles()[8].flipFlags, 0x8);
  EXPECT_EQ(ground.getTiles()[9].flipFlags, 0x4);
  EXPECT_EQ(ground.getTiles()[10].flipFlags, 0x2);
  EXPECT_TRUE(ground.getProperties()[0].getBoolValue());

  const auto& decor = LayerAs<tmx::TileLayer>(map, 3);
  EXPECT_FALSE(decor.getVisible());
  EXPECT_EQ(Ids(decor), (std::vector<std::uint32_t>{9, 0, 10, 0, 1, 1, 1, 1, 2, 2, 2, 2}));

  // Objects of every shape, properties of every type, a text block.
  const auto& things = LayerAs<tmx::ObjectGroup>(map, 2);
  EXPECT_EQ(things.getColour(), tmx::Colour(0xa0, 0xa0, 0xa4, 255));
  EXPECT_EQ(things.getProperties()[0].getIntValue(), -7);
  const auto& objects = things.getObjects();
  ASSERT_EQ(objects.size(), 6u);
  const std::vector<tmx::Object::Shape> shapes = {tmx::Object::Shape::Rectangle, tmx::Object::Shape::Ellipse,
                                                   tmx::Object::Shape::Polygon,   tmx::Object::Shape::Polyline,
                                                   tmx::Object::Shape::Text,      tmx::Object::Shape::Rectangle};
  for (std::size_t i = 0; i < shapes.size(); ++i) EXPECT_EQ(objects[i].getShape(), shapes[i]) << i;

  const auto& door = objects[0].getProperties();
  using Type = tmx::Property::Type;
  const std::vector<Type> types = {Type::Boolean, Type::Int, Type::Float, Type::String, Type::Colour, Type::File,
                                   Type::String};
  ASSERT_EQ(door.size(), types.size());
  for (std::size_t i = 0; i < types.size(); ++i) EXPECT_EQ(door[i].getType(), types[i]) << door[i].getName();
  EXPECT_TRUE(door[0].getBoolValue());
  EXPECT_EQ(door[1].getIntValue(), 3);
  EXPECT_FLOAT_EQ(door[2].getFloatValue(), 2.5f);
  EXPECT_EQ(door[3].getStringValue(), "Exit");
  EXPECT_EQ(door[4].getColourValue(), tmx::Colour(0x33, 0x66, 0x99, 0xff));
  EXPECT_EQ(door[5].getFileValue(), "../scripts/door.lua");
  EXPECT_FLOAT_EQ(objects[0].getRotation(), 90.0f);

  EXPECT_FALSE(objects[2].visible());
  EXPECT_EQ(objects[2].getPoints().size(), 3u);
  EXPECT_EQ(objects[3].getPoints().size(), 4u);
  const tmx::Text& sign = objects[4].getText();
  EXPECT_EQ(sign.content, "Hello, world");
  EXPECT_EQ(sign.fontFamily, "Serif");
  EXPECT_EQ(sign.colour, tmx::Colour(255, 0, 0, 255));
  EXPECT_EQ(sign.hAlign, tmx::Text::HAlign::Centre);
  EXPECT_EQ(sign.vAlign, tmx::Text::VAlign::Bottom);
  EXPECT_EQ(objects[5].getTileID(), 0x80000009u);
}

TEST(TmxMap, LoadsTheIsometricSample) {
  Map map;
  const Loaded loaded = Load(map, kData + "/maps/isometric.tmx");
  ASSERT_TRUE(loaded.ok);
  EXPECT_TRUE(loaded.log.empty());
  EXPECT_EQ(map.getOrientation(), tmx::Orientation::Isometric);
  EXPECT_EQ(map.getRenderOrder(), tmx::RenderOrder::LeftUp);
  EXPECT_EQ(map.getTileSize(), Vector2u(64, 32));
  EXPECT_EQ(map.getTilesets()[0].getImagePath(), kData + "/maps/iso/blocks.png");
  ASSERT_EQ(map.getLayers().size(), 2u);
  const auto& floor = LayerAs<tmx::TileLayer>(map, 0);
  EXPECT_EQ(Ids(floor), (std::vector<std::uint32_t>{1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 0}));
  EXPECT_EQ(floor.getTiles()[8].flipFlags, 0x8);
  EXPECT_EQ(floor.getTiles()[10].flipFlags, 0x2);
  EXPECT_EQ(Ids(LayerAs<tmx::TileLayer>(map, 1)), (std::vector<std::uint32_t>{9, 0, 9, 0, 0, 9, 0, 9, 9, 0, 9, 0}));
}

TEST(TmxMap, ReadsTheOtherOrientations) {
  tmxtest::ScratchFolder folder;
  Map map;
  const auto load = [&](const std::string& attributes) {
    return Load(map, folder.Write("m.tmx", "<map version=\"1.0\" width=\"2\" height=\"2\" tilewidth=\"8\" "
                                           "tileheight=\"8\" " + attributes + "/>"));
  };
  ASSERT_TRUE(load("orientation=\"staggered\" staggeraxis=\"x\" staggerindex=\"odd\"").ok);
  EXPECT_EQ(map.getOrientation(), tmx::Orientation::Staggered);
  EXPECT_EQ(map.getStaggerAxis(), tmx::StaggerAxis::X);
  EXPECT_EQ(map.getStaggerIndex(), tmx::StaggerIndex::Odd);
  EXPECT_EQ(map.getRenderOrder(), tmx::RenderOrder::None);

  ASSERT_TRUE(load("orientation=\"hexagonal\" hexsidelength=\"6\" staggeraxis=\"y\" staggerindex=\"even\"").ok);
  EXPECT_EQ(map.getOrientation(), tmx::Orientation::Hexagonal);
  EXPECT_FLOAT_EQ(map.getHexSideLength(), 6.0f);
  EXPECT_EQ(map.getStaggerAxis(), tmx::StaggerAxis::Y);
  EXPECT_EQ(map.getStaggerIndex(), tmx::StaggerIndex::Even);

  // An orthogonal map ignores stagger attributes it does not need.
  ASSERT_TRUE(load("orientation=\"orthogonal\" staggeraxis=\"z\"").ok);
  EXPECT_EQ(map.getStaggerAxis(), tmx::StaggerAxis::None);
}

TEST(TmxMap, VersionParts) {
  tmxtest::ScratchFolder folder;
  const struct {
    const char* version;
    unsigned upper, lower;
  } cases[] = {{"1.0", 1, 0}, {"1.2b", 1, 2}, {" +3.-1", 3, 65535}, {"70000.1.5", 70000 & 0xFFFF, 1}};
  for (const auto& c : cases) {
    Map map;
    const std::string text = std::string("<map version=\"") + c.version +
                             "\" orientation=\"orthogonal\" width=\"1\" height=\"1\" tilewidth=\"8\" tileheight=\"8\"/>";
    ASSERT_TRUE(Load(map, folder.Write("v.tmx", text)).ok) << c.version;
    EXPECT_EQ(map.getVersion().upper, c.upper) << c.version;
    EXPECT_EQ(map.getVersion().lower, c.lower) << c.version;
  }
}

TEST(TmxMap, RefusedMapsAreLoggedAndLeftEmpty) {
  tmxtest::ScratchFolder folder;
  const std::string head = "<map version=\"1.0\" orientation=\"orthogonal\" ";
  const std::string size = "width=\"2\" height=\"2\" tilewidth=\"8\" tileheight=\"8\"";
  const struct {
    const char* what;
    std::string text;
    std::vector<std::string> log;
  } cases[] = {
      {"no map element", "<?xml version=\"1.0\"?><tileset/>", {"ERROR: Failed opening map: PATH, no map data found"}},
      {"no version", "<map orientation=\"orthogonal\" " + size + "/>",
       {"ERROR: Invalid map version value, map not loaded."}},
      {"version without a dot", "<map version=\"1\" orientation=\"orthogonal\" " + size + "/>",
       {"ERROR: Invalid map version value, map not loaded."}},
      {"version part without digits", "<map version=\"1.x\" orientation=\"orthogonal\" " + size + "/>",
       {"ERROR: Invalid map version value, map not loaded."}},
      {"version out of range", "<map version=\"1.99999999999\" orientation=\"orthogonal\" " + size + "/>",
       {"ERROR: Invalid map version value, map not loaded."}},
      {"no orientation", "<map version=\"1.0\" " + size + "/>",
       {"ERROR: Missing map orientation attribute, map not loaded."}},
      {"orientation in capitals", "<map version=\"1.0\" orientation=\"Orthogonal\" " + size + "/>",
       {"ERROR: Orthogonal format maps aren't supported yet, sorry! Map not loaded"}},
      {"render order", head + "renderorder=\"down\" " + size + "/>",
       {"ERROR: down: invalid render order. Map not loaded."}},
      {"no width", head + "height=\"2\" tilewidth=\"8\" tileheight=\"8\"/>",
       {"ERROR: Invalid map tile count, map not loaded"}},
      {"width 0", head + "width=\"0\" height=\"2\" tilewidth=\"8\" tileheight=\"8\"/>",
       {"ERROR: Invalid map tile count, map not loaded"}},
      {"width -1", head + "width=\"-1\" height=\"2\" tilewidth=\"8\" tileheight=\"8\"/>",
       {"ERROR: Invalid map tile count, map not loaded"}},
      {"tile height 0", head + "width=\"2\" height=\"2\" tilewidth=\"8\" tileheight=\"0\"/>",
       {"ERROR: Invalid tile size, map not loaded"}},
      {"hexagonal without side", "<map version=\"1.0\" orientation=\"hexagonal\" staggeraxis=\"x\" "
                                 "staggerindex=\"odd\" hexsidelength=\"0\" " + size + "/>",
       {"ERROR: Invalid he side length found, map not loaded"}},
      {"staggered without axis", "<map version=\"1.0\" orientation=\"staggered\" staggerindex=\"odd\" " + size + "/>",
       {"ERROR: Map missing stagger axis property. Map not loaded."}},
      {"staggered without index", "<map version=\"1.0\" orientation=\"staggered\" staggeraxis=\"y\" " + size + "/>",
       {"ERROR: Map missing stagger index property. Map not loaded."}},
      {"65536 x 65536", head + "width=\"65536\" height=\"65536\" tilewidth=\"8\" tileheight=\"8\"/>",
       {"ERROR: Map holds too many tiles, map not loaded"}},
      {"too many layers", head + "width=\"4096\" height=\"4096\" tilewidth=\"8\" tileheight=\"8\">"
                                 "<layer/><layer/><layer/></map>",
       {"ERROR: Map holds too many tiles, map not loaded"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = folder.Write("refused.tmx", c.text);
    Map map;
    ASSERT_TRUE(Load(map, kData + "/maps/isometric.tmx").ok);  // a refusal empties a loaded map
    const Loaded loaded = Load(map, path);
    EXPECT_FALSE(loaded.ok);
    std::vector<std::string> expected = c.log;
    for (auto& line : expected) {
      if (const auto at = line.find("PATH"); at != std::string::npos) line.replace(at, 4, path);
    }
    EXPECT_EQ(loaded.log, expected);
    ExpectEmpty(map);
  }
}

TEST(TmxMap, UnreadableFilesGiveTheReason) {
  tmxtest::ScratchFolder folder;
  const struct {
    const char* what;
    std::string path;
  } cases[] = {
      {"missing", folder.Path("missing.tmx")},
      {"folder", folder.Path("")},
      {"malformed", folder.Write("bad.tmx", "<map version=\"1.0\"><layer>")},
      {"device", "/dev/zero"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Map map;
    const Loaded loaded = Load(map, c.path);
    EXPECT_FALSE(loaded.ok);
    ASSERT_EQ(loaded.log.size(), 2u);
    EXPECT_EQ(loaded.log[0], "ERROR: Failed opening " + c.path);
    EXPECT_EQ(loaded.log[1].rfind("ERROR: Reason: ", 0), 0u) << loaded.log[1];
    EXPECT_GT(loaded.log[1].size(), std::string("ERROR: Reason: ").size());
    ExpectEmpty(map);
  }
}

TEST(TmxMap, ChildrenStayInDocumentOrder) {
  tmxtest::ScratchFolder folder;
  Map map;
  const Loaded loaded = Load(map, folder.Write("m.tmx", tmxtest::MapText(R"(
      <tileset firstgid="1" name="a" tilewidth="16" tileheight="16" tilecount="4"/>
      <objectgroup name="o1"/>
      <layer name="t1"><data encoding="base64"/></layer>
      <unknown name="x"/>
      <tileset firstgid="5" name="b" tilewidth="16" tileheight="16" tilecount="4"/>
      <imagelayer name="i1"/>
      <layer name="t2"><data encoding="csv">1,2,3,4</data></layer>
      <properties><property name="p"/><junk/></properties>)")));
  ASSERT_TRUE(loaded.ok);
  // The refused layer data is logged, and the layer keeps its place.
  EXPECT_EQ(loaded.log, (std::vector<std::string>{"ERROR: Layer t1 has no layer data. Layer skipped.",
                                                  "ERROR: Node was not a valid property, node will be skipped"}));
  ASSERT_EQ(map.getTilesets().size(), 2u);
  EXPECT_EQ(map.getTilesets()[0].getName(), "a");
  EXPECT_EQ(map.getTilesets()[1].getName(), "b");
  const std::vector<std::string> names = {"o1", "t1", "i1", "t2"};
  ASSERT_EQ(map.getLayers().size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(map.getLayers()[i]->getName(), names[i]);
  EXPECT_EQ(map.getProperties().size(), 2u);

  // Loading again replaces everything.
  ASSERT_TRUE(Load(map, folder.Write("empty.tmx", tmxtest::MapText(""))).ok);
  EXPECT_TRUE(map.getTilesets().empty());
  EXPECT_TRUE(map.getLayers().empty());
  EXPECT_TRUE(map.getProperties().empty());
}

TEST(TmxMap, BoundsWrapInUnsignedArithmetic) {
  tmxtest::ScratchFolder folder;
  Map map;
  ASSERT_TRUE(Load(map, folder.Write("tall.tmx", "<map version=\"1.0\" orientation=\"orthogonal\" width=\"1\" "
                                                 "height=\"70000\" tilewidth=\"70000\" tileheight=\"70000\"/>"))
                  .ok);
  EXPECT_EQ(map.getBounds(), tmx::FloatRect(0, 0, 70000.0f, float(std::uint32_t(70000u * 70000u))));
}

TEST(TmxMap, BackgroundColour) {
  tmxtest::ScratchFolder folder;
  Map map;
  ASSERT_TRUE(Load(map, folder.Write("a.tmx", tmxtest::MapText("", 2, 2, "backgroundcolor=\"#336699\""))).ok);
  EXPECT_EQ(map.getBackgroundColour(), tmx::Colour(0x33, 0x66, 0x99, 255));
  const Loaded bad = Load(map, folder.Write("b.tmx", tmxtest::MapText("", 2, 2, "backgroundcolor=\"#12\"")));
  EXPECT_TRUE(bad.ok);
  EXPECT_EQ(bad.log, std::vector<std::string>{"ERROR: 12: not a valid colour string"});
  EXPECT_EQ(map.getBackgroundColour(), tmx::Colour(0, 0, 0, 255));
}

TEST(TmxMap, RelativeMapPathsResolveFromTheCurrentFolder) {
  tmxtest::ScratchFolder folder;
  const std::string layer = R"(<imagelayer name="sky"><image source="sky.png"/></imagelayer>)";
  folder.Write("res/maps/level.tmx", tmxtest::MapText(layer));
  folder.Write("res\\maps\\level.tmx", tmxtest::MapText(layer));  // one file name holding backslashes
  char previous[4096];
  ASSERT_TRUE(::getcwd(previous, sizeof previous));
  ASSERT_EQ(::chdir(folder.Path("").c_str()), 0);

  Map map;
  const bool slashes = Load(map, "res/maps/level.tmx").ok;
  const std::string slashPath = slashes ? LayerAs<tmx::ImageLayer>(map, 0).getImagePath() : "";
  const bool backslashes = Load(map, "res\\maps\\level.tmx").ok;
  const std::string backslashPath = backslashes ? LayerAs<tmx::ImageLayer>(map, 0).getImagePath() : "";
  ASSERT_EQ(::chdir(previous), 0);

  EXPECT_TRUE(slashes);
  EXPECT_EQ(slashPath, "res/maps/sky.png");
  EXPECT_TRUE(backslashes);
  EXPECT_EQ(backslashPath, "sky.png");  // only "/" separates folders
}

TEST(TmxImageLayer, ReadsItsImageUntilASourceIsMissing) {
  const auto parse = [](const std::string& xml, std::vector<std::string>* logged = nullptr) {
    tmxtest::LogRecorder log;
    tmxtest::Xml node(xml);
    tmx::ImageLayer layer("maps/level1");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    layer.parse(node.root());
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    if (logged) *logged = log.Lines();
    return layer;
  };

  const tmx::ImageLayer full = parse(R"(<imagelayer name="bg" visible="0" offsetx="1" offsety="2">
      <image source="../img/bg.png" trans="#ff00ff" width="100" height="50"/>
      <properties><property name="speed" type="int" value="2"/></properties></imagelayer>)");
  EXPECT_EQ(full.getType(), Layer::Type::Image);
  EXPECT_EQ(full.getImagePath(), "maps/img/bg.png");
  EXPECT_EQ(full.getImageSize(), Vector2u(100, 50));
  EXPECT_TRUE(full.hasTransparency());
  EXPECT_EQ(full.getTransparencyColour(), tmx::Colour(255, 0, 255, 255));
  EXPECT_FALSE(full.getVisible());
  EXPECT_FLOAT_EQ(full.getOpacity(), 1.0f);
  EXPECT_EQ(full.getProperties().size(), 1u);

  EXPECT_EQ(parse(R"(<imagelayer><image source="a.png" width="10"/></imagelayer>)").getImageSize(), Vector2u(0, 0));

  std::vector<std::string> log;
  const tmx::ImageLayer missing =
      parse(R"(<imagelayer name="m"><image width="4" height="4"/><properties><property name="p"/></properties>
               </imagelayer>)",
            &log);
  EXPECT_EQ(log, std::vector<std::string>{"WARNING: Image Layer has missing source property"});
  EXPECT_TRUE(missing.getProperties().empty());
  EXPECT_EQ(missing.getImageSize(), Vector2u(0, 0));
  EXPECT_EQ(missing.getName(), "m");

  const tmx::ImageLayer wrong = parse(R"(<layer name="x"/>)", &log);
  EXPECT_EQ(log, std::vector<std::string>{"ERROR: Node not an image layer, node skipped"});
  EXPECT_EQ(wrong.getName(), "");
}

// Hostile files load or fail with a message, in bounded time and memory.
TEST(TmxMap, HostileLayerDataEndsInALoggedFailure) {
  tmxtest::ScratchFolder folder;
  const std::string tileset = R"(<tileset firstgid="1" name="t" tilewidth="16" tileheight="16" tilecount="4"/>)";
  const std::string zlibData = tmxtest::Base64(tmxtest::Deflate(tmxtest::GidBytes({1, 2, 3, 4})));
  const struct {
    const char* what;
    std::string children;
    std::vector<std::uint32_t> ids;
    std::string message;
  } cases[] = {
      {"gid above every tileset", tileset + "<layer name=\"l\"><data encoding=\"csv\">1,5,268435455,0</data></layer>",
       {1, 5, 0x0FFFFFFF, 0}, "WARNING: Layer l uses tile ids that no tile set holds"},
      {"truncated zlib", "<layer name=\"l\"><data encoding=\"base64\" compression=\"zlib\">" +
                             zlibData.substr(0, zlibData.size() - 8) + "</data></layer>",
       {}, "ERROR: -5"},
      {"short data", "<layer name=\"l\"><data encoding=\"base64\">" + tmxtest::Base64(tmxtest::GidBytes({1})) +
                         "</data></layer>" + tileset,
       {1, 0, 0, 0}, "WARNING: Layer l data holds 4 bytes where 16 were expected."},
      {"tileset count -1", R"(<tileset firstgid="1" tilewidth="16" tileheight="16" tilecount="-1"/>)", {},
       "ERROR: Invalid tile count found in tile set node. Node will be skipped."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Map map;
    const Loaded loaded = Load(map, folder.Write("hostile.tmx", tmxtest::MapText(c.children)));
    EXPECT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.log, std::vector<std::string>{c.message});
    if (!map.getLayers().empty()) {
      EXPECT_EQ(Ids(LayerAs<tmx::TileLayer>(map, 0)), c.ids);
    }
  }
}

TEST(TmxMap, TilesetRecordsAreBoundedPerMap) {
  tmxtest::ScratchFolder folder;
  const std::string count = std::to_string(tmx::maxTilesetTiles / 2 + 1);
  const std::string tilesets =
      "<tileset firstgid=\"1\" name=\"a\" tilewidth=\"8\" tileheight=\"8\" tilecount=\"" + count + "\"/>"
      "<tileset firstgid=\"200000\" name=\"b\" tilewidth=\"8\" tileheight=\"8\" tilecount=\"" + count + "\"/>"
      "<tileset firstgid=\"400000\" name=\"c\" tilewidth=\"8\" tileheight=\"8\" tilecount=\"4\"/>";
  Map map;
  const Loaded loaded = Load(map, folder.Write("sets.tmx", tmxtest::MapText(tilesets)));
  EXPECT_TRUE(loaded.ok);
  EXPECT_EQ(loaded.log,
            std::vector<std::string>{"ERROR: Map holds too many tile set tiles, tile set will be skipped"});
  ASSERT_EQ(map.getTilesets().size(), 3u);
  EXPECT_EQ(map.getTilesets()[0].getName(), "a");
  EXPECT_EQ(map.getTilesets()[1].getFirstGID(), 0u);  // skipped, in its place
  EXPECT_TRUE(map.getTilesets()[1].getTiles().empty());
  EXPECT_EQ(map.getTilesets()[2].getTiles().size(), 4u);
}

size_t CountOf(const std::vector<std::string>& lines, const std::string& line) {
  return size_t(std::count(lines.begin(), lines.end(), line));
}

TEST(TmxMap, BaseSixtyFourDataFillsALayersCellsOnce) {
  // Each data element alone would give a tile per cell, a million of them.
  Map map;
  const Loaded loaded = Load(map, kData + "/hostile/many-data.tmx");
  EXPECT_TRUE(loaded.ok);
  ASSERT_EQ(map.getLayers().size(), 1u);
  EXPECT_EQ(LayerAs<tmx::TileLayer>(map, 0).getTiles().size(), 1024u * 1024u);
  ASSERT_EQ(loaded.log.size(), 16u);
  EXPECT_EQ(loaded.log[0], "WARNING: Layer l data holds 4 bytes where 4194304 were expected.");
  EXPECT_EQ(CountOf(loaded.log, "ERROR: Layer l has base64 data for its cells already. Data skipped."), 15u);
}

TEST(TmxMap, TilesetsPastTheMapsBoundAreRefusedBeforeTheyAreRead) {
  // 200 sets of 262,144 tiles in 20 KB: the first one fills the map's bound.
  Map map;
  const Loaded loaded = Load(map, kData + "/hostile/many-tilesets.tmx");
  EXPECT_TRUE(loaded.ok);
  ASSERT_EQ(map.getTilesets().size(), 200u);
  EXPECT_EQ(map.getTilesets()[0].getTiles().size(), tmx::maxTilesetTiles);
  for (std::size_t i = 1; i < map.getTilesets().size(); ++i) {
    EXPECT_EQ(map.getTilesets()[i].getFirstGID(), 0u) << i;
    EXPECT_TRUE(map.getTilesets()[i].getTiles().empty()) << i;
  }
  EXPECT_EQ(CountOf(loaded.log, "WARNING: Tile image path missing"), 1u) << "only the first set's tiles are read";
  EXPECT_EQ(CountOf(loaded.log, "ERROR: Map holds too many tile set tiles, tile set will be skipped"), 199u);
}

TEST(TmxMap, OlderTilesetsTakeTheirGridFromTheImage) {
  Map map;
  const Loaded loaded = Load(map, kData + "/older/older.tmx");
  EXPECT_TRUE(loaded.ok);
  EXPECT_EQ(loaded.log, std::vector<std::string>{"WARNING: Tile set unreadable gives no tile count, and the size of its "
                                                 "image " + kData + "/older/missing.png cannot be read"})
      << "and no layer uses tile ids that no tile set holds";
  ASSERT_EQ(map.getTilesets().size(), 3u);
  const tmx::Tileset& sized = map.getTilesets()[0];
  EXPECT_EQ(sized.getColumnCount(), 4u);
  EXPECT_EQ(sized.getTileCount(), 12u);
  EXPECT_EQ(sized.getLastGID(), 12u);
  const tmx::Tileset& header = map.getTilesets()[1];  // 54 x 36 pixels in the PNG header
  EXPECT_EQ(header.getColumnCount(), 3u);
  EXPECT_EQ(header.getTileCount(), 6u);
  ASSERT_EQ(header.getTiles().size(), 6u);
  EXPECT_EQ(header.getTiles()[4].imagePosition, Vector2u(16, 16));
  EXPECT_EQ(map.getTilesets()[2].getTileCount(), 0u);
}

TEST(TmxMap, DeeplyNestedXml) {
  tmxtest::ScratchFolder folder;
  const int depth = 200000;
  std::string nested;
  for (int i = 0; i < depth; ++i) nested += "<g>";
  std::string closed = nested;
  for (int i = 0; i < depth; ++i) closed += "</g>";

  Map map;
  // Elements the loader does not know are never descended into.
  const Loaded wellFormed = Load(map, folder.Write("deep.tmx", tmxtest::MapText(closed + "<layer name=\"l\"/>")));
  EXPECT_TRUE(wellFormed.ok);
  EXPECT_EQ(map.getLayers().size(), 1u);

  const std::string unclosed = folder.Write("unclosed.tmx", tmxtest::MapText(nested));
  const Loaded broken = Load(map, unclosed);
  EXPECT_FALSE(broken.ok);
  ASSERT_FALSE(broken.log.empty());
  EXPECT_EQ(broken.log[0], "ERROR: Failed opening " + unclosed);

  // The same depth inside an object, where the loader does look at children.
  const Loaded inObject = Load(map, folder.Write("object.tmx", tmxtest::MapText(
                                                                   "<objectgroup><object>" + closed +
                                                                   "<ellipse/></object></objectgroup>")));
  EXPECT_TRUE(inObject.ok);
  EXPECT_EQ(LayerAs<tmx::ObjectGroup>(map, 0).getObjects().at(0).getShape(), tmx::Object::Shape::Ellipse);
}

}  // namespace
