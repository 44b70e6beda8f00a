// The small readers every element parser shares: colours, properties, file
// paths and the tile-data byte decoders.
#include "TmxTestSupport.h"
#include "tilemap/TmxEncoding.h"
#include "tilemap/TmxPath.h"
#include "tilemap/TmxProperty.h"

namespace {

using tmx::Colour;
using tmx::Property;

TEST(TmxColour, ParsesSixAndEightDigitForms) {
  const struct {
    const char* text;
    Colour colour;
    const char* logged;  // nullptr: no message
  } cases[] = {
      {"#ff0000", {255, 0, 0, 255}, nullptr},
      {"80ff0000", {255, 0, 0, 128}, nullptr},  // alpha comes first
      {"#A0B0C0", {0xA0, 0xB0, 0xC0, 255}, nullptr},
      {"a#b#00ff00", {0, 255, 0, 255}, nullptr},  // only the part after the last "#"
      {"#12345", {0, 0, 0, 255}, "ERROR: 12345: not a valid colour string"},
      {"", {0, 0, 0, 255}, "ERROR: : not a valid colour string"},
      {"12zz34", {0, 0, 18, 255}, nullptr},  // leading hex digits only
      {"zz0000", {0, 0, 0, 255}, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    tmxtest::LogRecorder log;
    testing::internal::CaptureStderr();
    EXPECT_EQ(tmx::parseColour(c.text), c.colour);
    testing::internal::GetCapturedStderr();
    if (c.logged) {
      EXPECT_TRUE(log.Has(c.logged));
    } else {
      EXPECT_TRUE(log.Lines().empty());
    }
  }
}

TEST(TmxProperty, ReadsEveryTypeExactly) {
  const auto parse = [](const std::string& xml) {
    tmxtest::Xml node(xml);
    Property property;
    property.parse(node.root());
    return property;
  };

  Property p = parse(R"(<property name="on" type="bool" value="true"/>)");
  EXPECT_EQ(p.getType(), Property::Type::Boolean);
  EXPECT_EQ(p.getName(), "on");
  EXPECT_TRUE(p.getBoolValue());
  for (const char* text : {"True", "1", "yes"}) {
    EXPECT_FALSE(parse(std::string(R"(<property type="bool" value=")") + text + "\"/>").getBoolValue()) << text;
  }
  EXPECT_FALSE(parse(R"(<property type="bool"/>)").getBoolValue());

  p = parse(R"(<property name="n" type="int" value="-42"/>)");
  EXPECT_EQ(p.getType(), Property::Type::Int);
  EXPECT_EQ(p.getIntValue(), -42);

  p = parse(R"(<property type="float" value="2.75"/>)");
  EXPECT_EQ(p.getType(), Property::Type::Float);
  EXPECT_FLOAT_EQ(p.getFloatValue(), 2.75f);

  p = parse(R"(<property name="s" value="text"/>)");  // no type: a string
  EXPECT_EQ(p.getType(), Property::Type::String);
  EXPECT_EQ(p.getStringValue(), "text");

  p = parse(R"(<property type="color" value="#40102030"/>)");
  EXPECT_EQ(p.getType(), Property::Type::Colour);
  EXPECT_EQ(p.getColourValue(), Colour(0x10, 0x20, 0x30, 0x40));
  EXPECT_EQ(parse(R"(<property type="color"/>)").getColourValue(), Colour(255, 255, 255, 255));

  p = parse(R"(<property type="file" value="../a/b.lua"/>)");
  EXPECT_EQ(p.getType(), Property::Type::File);
  EXPECT_EQ(p.getFileValue(), "../a/b.lua");  // stored as written

  p = parse(R"(<property name="caps" type="Bool" value="true"/>)");
  EXPECT_EQ(p.getType(), Property::Type::Undef);
  EXPECT_EQ(p.getName(), "caps");
}

TEST(TmxProperty, WrongElementIsLoggedAndLeftUndefined) {
  tmxtest::LogRecorder log;
  tmxtest::Xml node(R"(<properties><property name="a" value="1"/><thing name="b"/></properties>)");
  std::vector<Property> list;
  testing::internal::CaptureStderr();
  tmx::parseProperties(node.root(), list);
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].getName(), "a");
  EXPECT_EQ(list[1].getType(), Property::Type::Undef);
  EXPECT_EQ(list[1].getName(), "");
  EXPECT_EQ(list[1].getColourValue(), Colour(0, 0, 0, 255));
  EXPECT_TRUE(log.Has("ERROR: Node was not a valid property, node will be skipped"));
}

TEST(TmxPath, ResolvesAgainstTheWorkingDirectory) {
  const struct {
    const char* path;
    const char* directory;
    const char* resolved;
  } cases[] = {
      {"tiles.png", "maps", "maps/tiles.png"},
      {"tiles.png", "", "tiles.png"},
      {"../img/a.png", "maps/level1", "maps/img/a.png"},
      {"../../a.png", "maps/level1", "maps/a.png"},
      {"../../a.png", "maps", "maps/a.png"},  // a level that is not there is not removed
      {"../a.png", "", "a.png"},
      {"x/../a.png", "maps/level1", "maps/a.png"},
      {"..\\a.png", "maps", "maps/..\\a.png"},
      {"/abs/a.png", "maps", "maps//abs/a.png"},
      {"./a.png", "maps", "maps/./a.png"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tmx::resolveFilePath(c.path, c.directory), c.resolved) << c.path << " in " << c.directory;
  }
}

TEST(TmxPath, FilePathKeepsEverythingUpToTheLastSlash) {
  EXPECT_EQ(tmx::getFilePath("res/maps/level.tmx"), "res/maps/");
  EXPECT_EQ(tmx::getFilePath("level.tmx"), "");
  EXPECT_EQ(tmx::getFilePath("res\\maps\\level.tmx"), "");
}

TEST(TmxBase64, DecodesUntilTheFirstCharacterOutsideTheAlphabet) {
  const struct {
    const char* text;
    std::string bytes;
  } cases[] = {
      {"AQAAAAIAAAA=", std::string("\x01\0\0\0\x02\0\0\0", 8)},
      {"QUJD", "ABC"},
      {"QUI", "AB"},   // three characters give two bytes
      {"QQ", "A"},     // two give one
      {"QUJDR", "ABC"},  // a lone final character gives none
      {"QUJD RUZH", "ABC"},  // no white space inside the payload
      {"QU=JD", "A"},
      {"QUJD\xC3\xA9", "ABC"},
      {"-_-_", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(tmx::decodeBase64(c.text), c.bytes) << c.text;
}

// Inflates and reports (result, bytes, lines logged).
struct Inflated {
  bool ok;
  std::vector<unsigned char> bytes;
  std::vector<std::string> log;
  std::uint64_t length = 0;  // of the whole stream, as reported
};

Inflated Inflate(const std::string& source, std::int32_t expected) {
  tmxtest::LogRecorder log;
  Inflated result;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  result.ok = tmx::decompressZlib(source.data(), result.bytes, std::int32_t(source.size()), expected, &result.length);
  testing::internal::GetCapturedStdout();
  testing::internal::GetCapturedStderr();
  result.log = log.Lines();
  return result;
}

TEST(TmxZlib, InflatesToTheExactBytes) {
  const std::string data = tmxtest::GidBytes({1, 2, 3, 0x80000004});
  const Inflated exact = Inflate(tmxtest::Deflate(data), 16);
  EXPECT_TRUE(exact.ok);
  EXPECT_EQ(std::string(exact.bytes.begin(), exact.bytes.end()), data);
  EXPECT_TRUE(exact.log.empty());

  const Inflated shorter = Inflate(tmxtest::Deflate(data), 64);
  EXPECT_TRUE(shorter.ok);
  EXPECT_EQ(shorter.bytes.size(), 16u);
}

TEST(TmxZlib, LongerDataIsCutOneBytePastTheExpectedSize) {
  // 256 MiB of zeros compress to about 256 KiB: inflating them whole would
  // take the memory the map never needs.
  const std::string bomb = tmxtest::DeflateZeros(std::size_t(1) << 28);
  const Inflated result = Inflate(bomb, 16);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.bytes.size(), 17u);
  EXPECT_GT(result.length, tmx::maxCountedLength) << "followed only so far";

  // Below that bound the whole length is counted (through several rounds of
  // the buffer that counts it), and the whole stream is checked.
  const std::string data = tmxtest::GidBytes(std::vector<std::uint32_t>(100000, 7));
  const Inflated longer = Inflate(tmxtest::Deflate(data), 16);
  EXPECT_TRUE(longer.ok);
  EXPECT_EQ(longer.bytes.size(), 17u);
  EXPECT_EQ(longer.length, data.size());
  const Inflated trailing = Inflate(tmxtest::Deflate(data) + "junk", 16);
  EXPECT_FALSE(trailing.ok);
  EXPECT_EQ(trailing.log,
            std::vector<std::string>{"ERROR: Layer data continues past the end of its zlib stream. Layer skipped."});
  const std::string stream = tmxtest::Deflate(data);
  EXPECT_FALSE(Inflate(stream.substr(0, stream.size() - 6), 16).ok) << "a truncated long stream";

  const Inflated exact = Inflate(tmxtest::Deflate(data), std::int32_t(data.size()));
  EXPECT_EQ(exact.length, data.size());
  EXPECT_EQ(exact.bytes.size(), data.size());
}

TEST(TmxZlib, BrokenStreamsFailWithTheirCode) {
  std::string pattern;
  for (int i = 0; i < 4096; ++i) pattern += char(i * 7 + i / 13);
  const std::string stream = tmxtest::Deflate(pattern);

  const struct {
    const char* what;
    std::string source;
    std::vector<std::string> log;
  } cases[] = {
      {"truncated", stream.substr(0, stream.size() / 2), {"ERROR: -5"}},
      {"empty", "", {"ERROR: -5"}},
      {"gzip", tmxtest::Deflate(pattern, 31), {"INFO: If using gzip compression try using zlib instead", "ERROR: -3"}},
      {"corrupt", stream.substr(0, 2) + std::string(64, '\xFF'), {"INFO: If using gzip compression try using zlib instead", "ERROR: -3"}},
      {"trailing bytes", stream + "junk",
       {"ERROR: Layer data continues past the end of its zlib stream. Layer skipped."}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Inflated result = Inflate(c.source, 4096);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.bytes.empty());
    EXPECT_EQ(result.log, c.log);
  }
}

}  // namespace
