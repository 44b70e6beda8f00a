#pragma once
// An entity that arranges its children at every draw: in a row, in a column
// or in a grid of equal cells, inside an inner box of its own rectangle,
// aligned by one of nine points, with spacing, optional stretching of the
// children and optional even distribution of the free space. It may show its
// media image as a background.
// Rules:
//  - The layout rewrites its children's offsets (and, to place them, their
//    anchors and scale modes), so the result stays visible to scripts; it
//    keeps no state between frames but its own fields, some of which
//    (spacing, the fit flags) it rewrites itself.
//  - A child whose slot link word is 1 (`slotLinked`) takes no part: it is
//    neither moved nor counted as a cell.
//  - A grid that cannot hold a cell (no eligible child, a cell step of 0 or
//    less, an inner box too small) is empty: nothing of the layout but its
//    background is drawn that frame.
// Main thread only.
#include <cstdint>
#include <vector>

#include <lua.hpp>

#include "display/Entity.h"

namespace GCore {

class Layout : public Entity {
 public:
  static const ClassInfo classInfo;

  enum Mode : uint8_t { kRow = 0, kColumn = 1, kGrid = 2 };
  enum Flag : uint8_t { kDistribute = 1, kFitWidth = 2, kFitHeight = 4, kColumnMajor = 16 };
  static constexpr uint8_t kCornerMask = 0x0F;

  explicit Layout(lua_State* L);
  const ClassInfo* GetClassInfo() const override { return &classInfo; }

  // The entity copy, then from a layout every field below.
  void CopyFrom(DisplayObject* source) override;
  // Nothing while invisible; else the background, the placement of the
  // children, then the container draw.
  void Draw() override;
  const char* GetClassName() const override { return "Layout"; }

  // Rows and columns of a grid of `count` cells in the inner box; false for
  // an empty grid.
  bool GridSize(size_t count, float innerWidth, float innerHeight, int32_t& rows,
                int32_t& columns) const;

  float contentLeft = 0;
  float contentRight = 0;
  float contentBottom = 0;
  float contentTop = 0;
  float spacing = 0;
  uint8_t align = 1;  // 1 to 9 in reading order, 1 top left
  uint8_t layoutMode = kRow;
  int16_t gridCount = 0;  // rows above 0, columns below 0, 0 as many as fit
  float cellWidth = 100;
  float cellHeight = 100;
  float rowSpacing = 0;
  uint8_t flags = 0;

 private:
  struct Box {
    float left, bottom, width, height;
  };
  using Children = std::vector<Retained<DisplayObject>>;

  // Held: a handler run by the background may change the child list.
  Children EligibleChildren() const;
  void DrawBackground(float x0, float y0, float w, float h);
  // Anchors the children for a row or a column, fits them as the flags ask
  // and returns the length of the block along the layout's axis.
  float Measure(const Children& children, const Box& inner, bool row);
  void PlaceRow(const Children& children, float sx, float sy, float fy);
  void PlaceColumn(const Children& children, float sx, float top, float fx);
  void PlaceGrid(const Children& children, float sx, float sy, float contentWidth,
                 float contentHeight, int32_t rows, int32_t columns);
};

// The "Layout" class of a project state: its metatable and its creator in
// the class factory.
void RegisterLayoutClass(lua_State* L);

// The script constructor "Layout": a new layout (arguments ignored).
int NewLayoutScript(lua_State* L);

}  // namespace GCore
