// Objects of every shape, text blocks, and the object groups that hold them.
#include "TmxTestSupport.h"
#include "tilemap/TmxObjectGroup.h"

namespace {

using tmx::Object;
using tmx::ObjectGroup;
using tmx::Vector2f;

struct ParsedObject {
  Object object;
  std::vector<std::string> log;
};

ParsedObject ParseObject(const std::string& xml) {
  tmxtest::LogRecorder log;
  tmxtest::Xml node(xml);
  ParsedObject parsed;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  parsed.object.parse(node.root());
  testing::internal::GetCapturedStdout();
  testing::internal::GetCapturedStderr();
  parsed.log = log.Lines();
  return parsed;
}

TEST(TmxObject, ReadsPlacementAndKeepsTheWholeGid) {
  const Object o = ParseObject(R"(<object id="12" name="tree" type="prop" x="1.5" y="-2" width="30" height="40"
                                          rotation="45" gid="2147483653"/>)")
                       .object;
  EXPECT_EQ(o.getUID(), 12u);
  EXPECT_EQ(o.getName(), "tree");
  EXPECT_EQ(o.getType(), "prop");
  EXPECT_EQ(o.getPosition(), Vector2f(1.5f, -2.0f));
  EXPECT_EQ(o.getAABB(), tmx::FloatRect(1.5f, -2.0f, 30.0f, 40.0f));
  EXPECT_FLOAT_EQ(o.getRotation(), 45.0f);
  EXPECT_EQ(o.getTileID(), 2147483653u);
  EXPECT_EQ(o.getShape(), Object::Shape::Rectangle);
  EXPECT_TRUE(o.visible());
}

TEST(TmxObject, VisibleUnlessTheAttributeSaysOtherwise) {
  const struct {
    const char* attribute;
    bool visible;
  } cases[] = {{"", true},  {"visible=\"\"", true},     {"visible=\"0\"", false}, {"visible=\"false\"", false},
               {"visible=\"no\"", false}, {"visible=\"yes\"", true}, {"visible=\"True\"", true}};
  for (const auto& c : cases) {
    EXPECT_EQ(ParseObject(std::string("<object ") + c.attribute + "/>").object.visible(), c.visible) << c.attribute;
  }
}

TEST(TmxObject, ShapesAndPoints) {
  const struct {
    const char* what;
    const char* children;
    Object::Shape shape;
    std::vector<Vector2f> points;
  } cases[] = {
      {"rectangle", "", Object::Shape::Rectangle, {}},
      {"ellipse", "<ellipse/>", Object::Shape::Ellipse, {}},
      {"polygon", "<polygon points=\"0,0 32.5,0 32.5,-16\"/>", Object::Shape::Polygon, {{0, 0}, {32.5f, 0}, {32.5f, -16}}},
      {"polyline", "<polyline points=\"0,0 10,10\"/>", Object::Shape::Polyline, {{0, 0}, {10, 10}}},
      {"text", "<text>x</text>", Object::Shape::Text, {}},
      {"extra numbers", "<polygon points=\"1,2,3 4,5\"/>", Object::Shape::Polygon, {{1, 2}, {4, 5}}},
      // Tokens that make no point are skipped without reading past them.
      {"odd tokens", "<polyline points=\" 1,2  5 3;4 6,7 \"/>", Object::Shape::Polyline, {{1, 2}, {6, 7}}},
      {"last shape wins", "<polygon points=\"1,1 2,2\"/><ellipse/>", Object::Shape::Ellipse, {{1, 1}, {2, 2}}},
      {"points append", "<polyline points=\"1,1\"/><polygon points=\"2,2\"/>", Object::Shape::Polygon, {{1, 1}, {2, 2}}},
      {"unknown child", "<point/>", Object::Shape::Rectangle, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const ParsedObject parsed = ParseObject(std::string("<object>") + c.children + "</object>");
    EXPECT_EQ(parsed.object.getShape(), c.shape);
    EXPECT_EQ(parsed.object.getPoints(), c.points);
    EXPECT_TRUE(parsed.log.empty());
  }

  const ParsedObject missing = ParseObject("<object><polygon/></object>");
  EXPECT_EQ(missing.object.getShape(), Object::Shape::Polygon);
  EXPECT_TRUE(missing.object.getPoints().empty());
  EXPECT_EQ(missing.log, std::vector<std::string>{"WARNING: Points for polygon or polyline object are missing"});
}

TEST(TmxObject, TextDefaultsAndAttributes) {
  EXPECT_EQ(Object().getText().colour, tmx::Colour(0, 0, 0, 255));

  const tmx::Text plain = ParseObject("<object><text>Hello</text></object>").object.getText();
  EXPECT_EQ(plain.pixelSize, 16u);
  EXPECT_TRUE(plain.kerning);
  EXPECT_FALSE(plain.wrap || plain.bold || plain.italic || plain.underline || plain.strikethrough);
  EXPECT_EQ(plain.colour, tmx::Colour(255, 255, 255, 255));
  EXPECT_EQ(plain.hAlign, tmx::Text::HAlign::Left);
  EXPECT_EQ(plain.vAlign, tmx::Text::VAlign::Top);
  EXPECT_EQ(plain.content, "Hello");
  EXPECT_EQ(plain.fontFamily, "");

  const tmx::Text full = ParseObject(R"(<object><text fontfamily="Serif" pixelsize="12" wrap="1" color="#80ff0000"
      bold="1" italic="true" underline="1" strikeout="1" kerning="0" halign="right" valign="center"><![CDATA[a < b]]></text></object>)")
                             .object.getText();
  EXPECT_EQ(full.fontFamily, "Serif");
  EXPECT_EQ(full.pixelSize, 12u);
  EXPECT_TRUE(full.wrap && full.bold && full.italic && full.underline && full.strikethrough);
  EXPECT_FALSE(full.kerning);
  EXPECT_EQ(full.colour, tmx::Colour(255, 0, 0, 128));
  EXPECT_EQ(full.hAlign, tmx::Text::HAlign::Right);
  EXPECT_EQ(full.vAlign, tmx::Text::VAlign::Centre);
  EXPECT_EQ(full.content, "a < b");

  // Alignment words are exact; others leave the alignment as it was.
  const tmx::Text odd = ParseObject(R"(<object><text halign="Center" valign="middle"/></object>)").object.getText();
  EXPECT_EQ(odd.hAlign, tmx::Text::HAlign::Left);
  EXPECT_EQ(odd.vAlign, tmx::Text::VAlign::Top);
  EXPECT_EQ(odd.content, "");
}

TEST(TmxObject, WrongElementLeavesTheDefaults) {
  const ParsedObject parsed = ParseObject(R"(<tile id="3" name="x"><ellipse/></tile>)");
  EXPECT_EQ(parsed.object.getUID(), 0u);
  EXPECT_EQ(parsed.object.getName(), "");
  EXPECT_EQ(parsed.object.getShape(), Object::Shape::Rectangle);
  EXPECT_EQ(parsed.log, std::vector<std::string>{"ERROR: This not an Object node, parsing skipped."});
}

TEST(TmxObject, CopiesPointsPropertiesAndText) {
  Object original = ParseObject(R"(<object name="o"><properties><property name="p" type="int" value="4"/></properties>
      <polyline points="1,2 3,4"/><text>t</text></object>)")
                        .object;
  const Object copy = original;
  original.getText().content = "changed";
  EXPECT_EQ(copy.getPoints(), (std::vector<Vector2f>{{1, 2}, {3, 4}}));
  ASSERT_EQ(copy.getProperties().size(), 1u);
  EXPECT_EQ(copy.getProperties()[0].getIntValue(), 4);
  EXPECT_EQ(copy.getText().content, "t");
}

struct ParsedGroup {
  ObjectGroup group;
  std::vector<std::string> log;
};

ParsedGroup ParseGroup(const std::string& xml) {
  tmxtest::LogRecorder log;
  tmxtest::Xml node(xml);
  ParsedGroup parsed;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  parsed.group.parse(node.root());
  testing::internal::GetCapturedStdout();
  testing::internal::GetCapturedStderr();
  parsed.log = log.Lines();
  return parsed;
}

TEST(TmxObjectGroup, ReadsAttributesPropertiesAndObjects) {
  const ParsedGroup parsed = ParseGroup(R"(<objectgroup name="things" color="#102030" opacity="0.5" visible="0"
      offsetx="2" offsety="-4" draworder="index">
        <properties><property name="spawn" type="int" value="3"/></properties>
        <object id="1"/><layer name="ignored"/><object id="2"><ellipse/></object>
      </objectgroup>)");
  const ObjectGroup& group = parsed.group;
  EXPECT_EQ(group.getType(), tmx::Layer::Type::Object);
  EXPECT_EQ(group.getName(), "things");
  EXPECT_EQ(group.getColour(), tmx::Colour(0x10, 0x20, 0x30, 255));
  EXPECT_FLOAT_EQ(group.getOpacity(), 0.5f);
  EXPECT_FALSE(group.getVisible());
  EXPECT_EQ(group.getOffset(), tmx::Vector2i(2, -4));
  EXPECT_EQ(group.getDrawOrder(), ObjectGroup::DrawOrder::Index);
  ASSERT_EQ(group.getObjects().size(), 2u);
  EXPECT_EQ(group.getObjects()[1].getShape(), Object::Shape::Ellipse);
  ASSERT_EQ(group.getProperties().size(), 1u);
  // Seen as a plain layer, the group shows the same properties.
  const tmx::Layer& layer = group;
  EXPECT_EQ(&layer.getProperties(), &group.getProperties());
  EXPECT_TRUE(parsed.log.empty());
}

TEST(TmxObjectGroup, DefaultsAndRefusals) {
  for (const char* order : {"", "draworder=\"topdown\"", "draworder=\"Index\""}) {
    const ParsedGroup parsed = ParseGroup(std::string("<objectgroup ") + order + "/>");
    EXPECT_EQ(parsed.group.getDrawOrder(), ObjectGroup::DrawOrder::TopDown) << order;
    EXPECT_EQ(parsed.group.getColour(), tmx::Colour(127, 127, 127, 255));
    EXPECT_TRUE(parsed.group.getVisible());
    EXPECT_FLOAT_EQ(parsed.group.getOpacity(), 1.0f);
  }
  EXPECT_EQ(ParseGroup("<objectgroup color=\"\"/>").group.getColour(), tmx::Colour(127, 127, 127, 255));

  const ParsedGroup badColour = ParseGroup("<objectgroup color=\"#abc\"/>");
  EXPECT_EQ(badColour.group.getColour(), tmx::Colour(0, 0, 0, 255));
  EXPECT_EQ(badColour.log, std::vector<std::string>{"ERROR: abc: not a valid colour string"});

  const ParsedGroup wrong = ParseGroup("<layer name=\"x\"><object/></layer>");
  EXPECT_EQ(wrong.group.getName(), "");
  EXPECT_TRUE(wrong.group.getObjects().empty());
  EXPECT_EQ(wrong.log, std::vector<std::string>{"ERROR: Node was not an object group, node will be skipped."});
}

}  // namespace
