// Tile layers: the three data encodings, flip flags, and data that does not
// fit the map.
#include "TmxTestSupport.h"
#include "tilemap/TmxTileLayer.h"

namespace {

using tmx::TileLayer;

struct Parsed {
  TileLayer layer;
  std::vector<std::string> log;
};

Parsed Parse(const std::string& xml, std::uint32_t tileCount) {
  tmxtest::LogRecorder log;
  tmxtest::Xml node(xml);
  Parsed parsed{TileLayer(tileCount), {}};
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  parsed.layer.parse(node.root());
  testing::internal::GetCapturedStdout();
  testing::internal::GetCapturedStderr();
  parsed.log = log.Lines();
  return parsed;
}

std::string Layer(const std::string& data) { return "<layer name=\"l\">" + data + "</layer>"; }

std::vector<std::uint32_t> Ids(const TileLayer& layer) {
  std::vector<std::uint32_t> ids;
  for (const auto& tile : layer.getTiles()) ids.push_back(tile.ID);
  return ids;
}

std::vector<int> Flips(const TileLayer& layer) {
  std::vector<int> flags;
  for (const auto& tile : layer.getTiles()) flags.push_back(tile.flipFlags);
  return flags;
}

TEST(TmxTileLayer, EveryEncodingGivesTheSameTiles) {
  const std::vector<std::uint32_t> gids = {1, 0x80000005, 0xE0000000, 0x1FFFFFFF};
  const std::string bytes = tmxtest::GidBytes(gids);
  const struct {
    const char* encoding;
    std::string data;
  } cases[] = {
      {"base64", "<data encoding=\"base64\">\n   " + tmxtest::Base64(bytes) + "\n  </data>"},
      {"base64 zlib", "<data encoding=\"base64\" compression=\"zlib\">\n" + tmxtest::Base64(tmxtest::Deflate(bytes)) +
                          "\n</data>"},
      {"csv", "<data encoding=\"csv\">\n1,2147483653,\n3758096384,536870911\n</data>"},
      {"xml", "<data><tile gid=\"1\"/><tile gid=\"2147483653\"/><tile gid=\"3758096384\"/>"
              "<tile gid=\"536870911\"/></data>"},
      {"named xml", "<data encoding=\"xml\"><tile gid=\"1\"/><tile gid=\"2147483653\"/><other gid=\"9\"/>"
                    "<tile gid=\"3758096384\"/><tile gid=\"536870911\"/></data>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.encoding);
    const Parsed parsed = Parse(Layer(c.data), 4);
    EXPECT_EQ(Ids(parsed.layer), (std::vector<std::uint32_t>{1, 5, 0, 0x0FFFFFFF}));
    EXPECT_EQ(Flips(parsed.layer), (std::vector<int>{0, 0x8, 0xE, 0x1}));
    EXPECT_TRUE(parsed.log.empty());
  }
}

TEST(TmxTileLayer, ReadsTheCommonLayerAttributes) {
  const Parsed parsed = Parse(
      R"(<layer name="ground" opacity="0.25" offsetx="-3" offsety="7">
           <properties><property name="solid" type="bool" value="true"/><note/></properties>
         </layer>)",
      0);
  EXPECT_EQ(parsed.layer.getType(), tmx::Layer::Type::Tile);
  EXPECT_EQ(parsed.layer.getName(), "ground");
  EXPECT_FLOAT_EQ(parsed.layer.getOpacity(), 0.25f);
  EXPECT_TRUE(parsed.layer.getVisible());
  EXPECT_EQ(parsed.layer.getOffset(), tmx::Vector2i(-3, 7));
  ASSERT_EQ(parsed.layer.getProperties().size(), 2u);
  EXPECT_TRUE(parsed.layer.getProperties()[0].getBoolValue());
  EXPECT_EQ(parsed.layer.getProperties()[1].getType(), tmx::Property::Type::Undef);
  EXPECT_EQ(parsed.log, std::vector<std::string>{"ERROR: Node was not a valid property, node will be skipped"});

  const struct {
    const char* attribute;
    bool visible;
  } visibility[] = {{"", true}, {"visible=\"no\"", false}, {"visible=\"\"", false}, {"visible=\"0\"", false},
                    {"visible=\"1\"", true}, {"visible=\"True\"", true}, {"visible=\"yes\"", true}};
  for (const auto& v : visibility) {
    EXPECT_EQ(Parse(std::string("<layer ") + v.attribute + "/>", 0).layer.getVisible(), v.visible) << v.attribute;
  }
}

TEST(TmxTileLayer, RefusalsLeaveNoTiles) {
  const struct {
    const char* what;
    std::string xml;
    std::vector<std::string> log;
  } cases[] = {
      {"not a layer", "<objectgroup name=\"x\"><data encoding=\"csv\">1,2</data></objectgroup>",
       {"ERROR: node not a layer node, skipped parsing"}},
      {"empty base64", Layer("<data encoding=\"base64\"/>"), {"ERROR: Layer l has no layer data. Layer skipped."}},
      {"empty csv", Layer("<data encoding=\"csv\">  </data>"), {"ERROR: Layer l has no layer data. Layer skipped."}},
      {"gzip data", Layer("<data encoding=\"base64\" compression=\"gzip\">" +
                          tmxtest::Base64(tmxtest::Deflate(tmxtest::GidBytes({1, 2, 3, 4}), 31)) + "</data>"),
       {"INFO: If using gzip compression try using zlib instead", "ERROR: -3"}},
      {"truncated zlib", Layer("<data encoding=\"base64\" compression=\"zlib\">" +
                               tmxtest::Base64(tmxtest::Deflate(tmxtest::GidBytes({1, 2, 3, 4})).substr(0, 9)) +
                               "</data>"),
       {"ERROR: -5"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Parsed parsed = Parse(c.xml, 4);
    EXPECT_TRUE(parsed.layer.getTiles().empty());
    EXPECT_EQ(parsed.log, c.log);
  }
  EXPECT_EQ(Parse("<objectgroup name=\"x\"/>", 4).layer.getName(), "");
}

TEST(TmxTileLayer, DataOfTheWrongLengthLoadsWithAWarning) {
  const std::string two = tmxtest::GidBytes({7, 8});
  const std::string six = tmxtest::GidBytes({1, 2, 3, 4, 5, 6});
  const struct {
    const char* what;
    std::string data;
    std::vector<std::uint32_t> ids;
    const char* warning;
  } cases[] = {
      // Base64 data always gives one tile per cell.
      {"short base64", "<data encoding=\"base64\">" + tmxtest::Base64(two) + "</data>", {7, 8, 0, 0},
       "WARNING: Layer l data holds 8 bytes where 16 were expected."},
      {"partial gid", "<data encoding=\"base64\">" + tmxtest::Base64(six.substr(0, 10)) + "</data>", {1, 2, 3, 0},
       "WARNING: Layer l data holds 10 bytes where 16 were expected."},
      {"long base64", "<data encoding=\"base64\">" + tmxtest::Base64(six) + "</data>", {1, 2, 3, 4},
       "WARNING: Layer l data holds 24 bytes where 16 were expected."},
      {"short zlib", "<data encoding=\"base64\" compression=\"zlib\">" + tmxtest::Base64(tmxtest::Deflate(two)) +
                         "</data>", {7, 8, 0, 0},
       "WARNING: Layer l data holds 8 bytes where 16 were expected."},
      {"long zlib", "<data encoding=\"base64\" compression=\"zlib\">" + tmxtest::Base64(tmxtest::Deflate(six)) +
                        "</data>", {1, 2, 3, 4},
       "WARNING: Layer l data holds 24 bytes where 16 were expected."},
      {"very long zlib", "<data encoding=\"base64\" compression=\"zlib\">" +
                             tmxtest::Base64(tmxtest::DeflateZeros(std::size_t(1) << 28)) + "</data>", {0, 0, 0, 0},
       "WARNING: Layer l data holds more than 134217728 bytes where 16 were expected."},
      // CSV and tile elements give the tiles as read.
      {"long csv", "<data encoding=\"csv\">1,2,3,4,5</data>", {1, 2, 3, 4, 5},
       "WARNING: Layer l data holds 5 tiles where 4 were expected."},
      {"space before comma", "<data encoding=\"csv\">1,2 ,3,4</data>", {1, 2},
       "WARNING: Layer l data holds 2 tiles where 4 were expected."},
      {"two commas", "<data encoding=\"csv\">1,,2,3</data>", {1},
       "WARNING: Layer l data holds 1 tiles where 4 were expected."},
      {"sign", "<data encoding=\"csv\">1,-1,2,3</data>", {1},
       "WARNING: Layer l data holds 1 tiles where 4 were expected."},
      {"too large", "<data encoding=\"csv\">1,4294967296,2,3</data>", {1},
       "WARNING: Layer l data holds 1 tiles where 4 were expected."},
      {"short xml", "<data><tile gid=\"3\"/></data>", {3}, "WARNING: Layer l data holds 1 tiles where 4 were expected."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Parsed parsed = Parse(Layer(c.data), 4);
    EXPECT_EQ(Ids(parsed.layer), c.ids);
    EXPECT_EQ(parsed.log, std::vector<std::string>{c.warning});
  }
}

TEST(TmxTileLayer, CsvAcceptsLineBreaksAfterCommas) {
  const Parsed parsed = Parse(Layer("<data encoding=\"csv\">\n1,2,\n3\n</data>"), 3);
  EXPECT_EQ(Ids(parsed.layer), (std::vector<std::uint32_t>{1, 2, 3}));
  EXPECT_TRUE(parsed.log.empty());
}

TEST(TmxTileLayer, SeveralDataChildrenAppendInTurn) {
  const Parsed parsed =
      Parse(Layer("<data encoding=\"csv\">1,2</data><data><tile gid=\"3\"/><tile gid=\"4\"/></data>"), 2);
  EXPECT_EQ(Ids(parsed.layer), (std::vector<std::uint32_t>{1, 2, 3, 4}));
}

TEST(TmxTileLayer, TileCountBoundsBase64Data) {
  // A tile count of 0 takes nothing from base64 data.
  const std::string payload = "<data encoding=\"base64\">" + tmxtest::Base64(tmxtest::GidBytes({1})) + "</data>";
  EXPECT_TRUE(Parse(Layer(payload), 0).layer.getTiles().empty());

  // A count no map may have is refused instead of being allocated.
  const Parsed huge = Parse(Layer(payload), 0xFFFFFFFFu);
  EXPECT_TRUE(huge.layer.getTiles().empty());
  EXPECT_EQ(huge.log, std::vector<std::string>{"ERROR: Layer l is too large. Layer skipped."});
}

TEST(TmxTileLayer, CopiesItsTilesAndCount) {
  const Parsed parsed = Parse(Layer("<data encoding=\"csv\">5,6</data>"), 2);
  const TileLayer copy = parsed.layer;
  EXPECT_EQ(Ids(copy), (std::vector<std::uint32_t>{5, 6}));
  EXPECT_EQ(copy.getTileCount(), 2u);
  EXPECT_EQ(copy.getName(), "l");
}

}  // namespace
