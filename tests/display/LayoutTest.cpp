// Layout: rows, columns and grids of children placed by rewriting their
// offsets, with alignment, spacing, fitting and distribution, and grids that
// cannot hold a cell.
#include "DisplayFixture.h"
#include "display/Layout.h"

namespace {

using GCore::DisplayObject;
using GCore::Layout;

class LayoutTest : public DisplayFixture {
 protected:
  // A layout of width x height with its pivot at the centre (local x from
  // -width / 2) and n probe children of the given sizes.
  Layout* MakeLayout(float width, float height, const std::vector<std::pair<float, float>>& sizes) {
    Layout* layout = Make<Layout>("layout");
    layout->offsetMinX = 0;
    layout->offsetMaxX = width;
    layout->offsetMinY = 0;
    layout->offsetMaxY = height;
    int i = 0;
    for (const auto& [w, h] : sizes) {
      DisplayObject* child = MakeProbe(("c" + std::to_string(i++)).c_str());
      child->offsetMaxX = w;
      child->offsetMaxY = h;
      layout->AddChild(child, 0);
    }
    return layout;
  }
  static DisplayObject& Child(Layout* layout, int i) { return *layout->ChildAt(i); }
  // "left,bottom,width,height" of each child, separated by spaces.
  static std::string Boxes(Layout* layout) {
    std::string out;
    for (int i = 0; i < layout->NumChildren(); ++i) {
      const DisplayObject& c = Child(layout, i);
      char text[96];
      std::snprintf(text, sizeof text, "%s%g,%g,%g,%g", i ? " " : "", c.offsetMinX, c.offsetMinY,
                    c.offsetMaxX - c.offsetMinX, c.offsetMaxY - c.offsetMinY);
      out += text;
    }
    return out;
  }
};

TEST_F(LayoutTest, RowsAndColumnsAlignInTheInnerBox) {
  struct Case {
    const char* what;
    uint8_t mode, align;
    float contentLeft, contentTop;
    const char* boxes;
  };
  // 300 x 100 box from (-150, -50); children 50 x 20; spacing 10.
  const Case cases[] = {
      {"row, top centre", Layout::kRow, 2, 0, 0, "-85,30,50,20 -25,30,50,20 35,30,50,20"},
      {"row, bottom right", Layout::kRow, 9, 0, 0, "-20,-50,50,20 40,-50,50,20 100,-50,50,20"},
      {"row, middle left, inset", Layout::kRow, 4, 20, 0, "-130,-10,50,20 -70,-10,50,20 -10,-10,50,20"},
      {"column, top left", Layout::kColumn, 1, 0, 0, "-150,30,50,20 -150,0,50,20 -150,-30,50,20"},
      {"column, middle centre", Layout::kColumn, 5, 0, 0, "-25,20,50,20 -25,-10,50,20 -25,-40,50,20"},
      {"column, top right, top inset", Layout::kColumn, 3, 0, -10, "100,20,50,20 100,-10,50,20 100,-40,50,20"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Layout* layout = MakeLayout(300, 100, {{50, 20}, {50, 20}, {50, 20}});
    layout->spacing = 10;
    layout->layoutMode = c.mode;
    layout->align = c.align;
    layout->contentLeft = c.contentLeft;
    layout->contentTop = c.contentTop;
    layout->Draw();
    EXPECT_EQ(Boxes(layout), c.boxes);
    EXPECT_FLOAT_EQ(Child(layout, 0).anchorMinX, 0.5f) << "anchored at the layout's pivot";
  }
}

TEST_F(LayoutTest, DistributeRewritesTheSpacingForTheNextDraw) {
  Layout* layout = MakeLayout(300, 100, {{50, 20}, {50, 20}, {50, 20}});
  layout->spacing = 10;
  layout->align = 2;
  Run("layout.distribute = true");
  layout->Draw();
  EXPECT_EQ(Eval("layout.spacing"), "75.0");
  // This draw starts where the old gaps put the row, then steps by the new.
  EXPECT_EQ(Boxes(layout), "-85,30,50,20 40,30,50,20 165,30,50,20");
  layout->Draw();
  EXPECT_EQ(Boxes(layout), "-150,30,50,20 -25,30,50,20 100,30,50,20");
}

TEST_F(LayoutTest, FitWidthScalesTheRowAndAFittingChildSwitchesItOff) {
  Layout* layout = MakeLayout(310, 100, {{50, 20}, {100, 20}});
  layout->spacing = 10;
  Run("layout.fitWidth = true");
  layout->Draw();
  EXPECT_EQ(Boxes(layout), "-155,30,100,20 -45,30,200,20");

  Layout* other = MakeLayout(310, 100, {{50, 20}, {100, 20}});
  other->flags = Layout::kFitWidth | Layout::kFitHeight;
  Child(other, 1).scaleMode = 1;
  other->Draw();
  EXPECT_EQ(other->flags, Layout::kFitHeight) << "for good";
  EXPECT_EQ(Boxes(other), "-155,-50,50,100 -105,-50,100,100") << "heights still fill the row";
}

TEST_F(LayoutTest, GridsFillRowsOrColumnsFromTheirCorner) {
  struct Case {
    const char* what;
    int16_t count;
    uint8_t flags;
    const char* boxes;
  };
  // 30 x 30 layout from (-15, -15), cells 10 x 10, seven children, top left.
  const Case cases[] = {
      {"3 columns", -3, 0,
       "-15,5,10,10 -5,5,10,10 5,5,10,10 -15,-5,10,10 -5,-5,10,10 5,-5,10,10 -15,-15,10,10"},
      {"3 rows, column by column", -3, Layout::kColumnMajor,
       "-15,5,10,10 -15,-5,10,10 -15,-15,10,10 -5,5,10,10 -5,-5,10,10 -5,-15,10,10 5,5,10,10"},
      {"from the bottom right", -3, 3,
       "5,-15,10,10 -5,-15,10,10 -15,-15,10,10 5,-5,10,10 -5,-5,10,10 -15,-5,10,10 5,5,10,10"},
      {"as many as fit", 0, 0,
       "-15,5,10,10 -5,5,10,10 5,5,10,10 -15,-5,10,10 -5,-5,10,10 5,-5,10,10 -15,-15,10,10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Layout* layout = MakeLayout(30, 30, std::vector<std::pair<float, float>>(7, {40, 40}));
    layout->layoutMode = Layout::kGrid;
    layout->cellWidth = layout->cellHeight = 10;
    layout->gridCount = c.count;
    layout->flags = c.flags;
    layout->Draw();
    EXPECT_EQ(Boxes(layout), c.boxes);
  }
}

TEST_F(LayoutTest, GridsThatHoldNoCellDrawNoChild) {
  struct Case {
    const char* what;
    float cellWidth, spacing, width;
    bool slotLinked;
  };
  const Case cases[] = {
      {"no eligible child", 10, 0, 30, true},
      {"cells and spacing of 0", 0, 0, 30, false},
      {"spacing cancelling the cell", 10, -10, 30, false},
      {"an inner box below 0", 10, 0, -30, false},
      {"an inner box below 0 over cells below 0", -10, 0, -30, false},
      {"a cell wider than the box", 40, 0, 30, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Layout* layout = MakeLayout(c.width, 30, {{5, 5}, {5, 5}});
    layout->layoutMode = Layout::kGrid;
    layout->cellWidth = c.cellWidth;
    layout->spacing = c.spacing;
    for (int i = 0; i < 2; ++i) Child(layout, i).slotLink = c.slotLinked ? 1 : 0;
    renderer.calls.clear();
    layout->Draw();
    const std::vector<std::string> calls = renderer.Structural();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "draw c0"), 0);
    EXPECT_EQ(Boxes(layout), "0,0,5,5 0,0,5,5") << "nobody moved";
  }
}

TEST_F(LayoutTest, ASlotLinkedChildStaysButCountsInTheSpacing) {
  Layout* layout = MakeLayout(300, 100, {{50, 20}, {50, 20}, {50, 20}});
  layout->spacing = 10;
  layout->align = 1;
  Child(layout, 1).slotLink = 1;
  layout->Draw();
  // Content width 50 + 50 + 2 gaps (the linked child still counts).
  EXPECT_EQ(Boxes(layout), "-150,30,50,20 0,0,50,20 -90,30,50,20");
}

TEST_F(LayoutTest, ScriptMembersAndCopies) {
  Make<Layout>("layout");
  Run(R"lua(
    local g = require "gcore.c"
    layout.contentLeft, layout.contentRight, layout.contentBottom, layout.contentTop = 1, 2, 3, 4
    layout.spacing, layout.cellWidth, layout.cellHeight, layout.rowSpacing = 5, 6, 7, 8
    layout.align, layout.layoutMode, layout.gridCount = 0x109, 0x102, 0x1FFFF
    layout.corner = 0x23
    layout.columnMajor = true
    copy = g.Clone(layout)
  )lua");
  const char* all =
      "table.concat({%s.contentLeft, %s.contentRight, %s.contentBottom, %s.contentTop, %s.spacing, "
      "%s.cellWidth, %s.cellHeight, %s.rowSpacing, %s.align, %s.layoutMode, %s.gridCount, %s.corner, "
      "tostring(%s.distribute), tostring(%s.fitWidth), tostring(%s.fitHeight), "
      "tostring(%s.columnMajor)}, ' ')";
  for (const char* name : {"layout", "copy"}) {
    std::string expression = all;
    for (size_t at; (at = expression.find("%s")) != std::string::npos;) expression.replace(at, 2, name);
    EXPECT_EQ(Eval(expression), "1.0 2.0 3.0 4.0 5.0 6.0 7.0 8.0 9 2 -1 3 true true false true") << name;
  }
  Run("layout.fitWidth = false layout.corner = 0");
  EXPECT_EQ(Eval("tostring(layout.distribute) .. tostring(layout.columnMajor)"), "falsetrue");
}

}  // namespace
