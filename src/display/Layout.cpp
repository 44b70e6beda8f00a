#include "display/Layout.h"

#include <cmath>

#include "core/AirData.h"
#include "display/DisplayTypes.h"
#include "render/Image.h"
#include "render/Renderer.h"

namespace GCore {

namespace {

// Edges closer than this to their target are left alone.
constexpr float kMoveTolerance = 0.1f;
constexpr float kScaleTolerance = 1e-5f;
// The most rows or columns a grid of fitting cells counts; past this the
// float quotient no longer converts to a count.
constexpr double kMaxGridLines = 1 << 24;

// Moves the span [min, max] so that min becomes `to`, keeping its size;
// true when it moved.
bool MoveSpan(float& min, float& max, float to) {
  if (std::fabs(min - to) < kMoveTolerance) return false;
  const float size = max - min;
  min = to;
  max = to + size;
  return true;
}

int32_t CeilDiv(size_t n, int32_t d) {
  return static_cast<int32_t>((n + static_cast<size_t>(d) - 1) / static_cast<size_t>(d));
}

// How many cells of `cell` with gaps of `gap` fit in `length`; 0 when none
// or when the step is not a positive length.
int32_t FittingCells(float length, float cell, float gap) {
  const double step = static_cast<double>(cell) + gap;
  const double fit = (static_cast<double>(gap) + length) / step;
  if (!(step > 0) || !std::isfinite(fit) || fit < 1) return 0;
  return static_cast<int32_t>(std::min(std::trunc(fit), kMaxGridLines));
}

void SetAnchors(DisplayObject& child, float x, float y) {
  if (child.anchorMinX == x && child.anchorMaxX == x && child.anchorMinY == y && child.anchorMaxY == y) {
    return;
  }
  child.anchorMinX = child.anchorMaxX = x;
  child.anchorMinY = child.anchorMaxY = y;
  child.Invalidate(true);
}

}  // namespace

const ClassInfo Layout::classInfo = {"Layout", &Entity::classInfo};

Layout::Layout(lua_State* L) : Entity(L) {}

void Layout::CopyFrom(DisplayObject* source) {
  Entity::CopyFrom(source);
  auto* layout = static_cast<Layout*>(CastToClass(&classInfo, source));
  if (!layout) return;
  contentLeft = layout->contentLeft;
  contentRight = layout->contentRight;
  contentBottom = layout->contentBottom;
  contentTop = layout->contentTop;
  spacing = layout->spacing;
  align = layout->align;
  layoutMode = layout->layoutMode;
  gridCount = layout->gridCount;
  cellWidth = layout->cellWidth;
  cellHeight = layout->cellHeight;
  rowSpacing = layout->rowSpacing;
  flags = layout->flags;
}

Layout::Children Layout::EligibleChildren() const {
  Children eligible;
  for (const Retained<DisplayObject>& child : children) {
    if (child->slotLink != 1) eligible.push_back(child);
  }
  return eligible;
}

bool Layout::GridSize(size_t n, float innerWidth, float innerHeight, int32_t& rows,
                      int32_t& columns) const {
  rows = columns = 0;
  if (n == 0) return false;
  const bool columnMajor = (flags & kColumnMajor) != 0;
  const int32_t g = gridCount;
  if (g > 0) {
    if (columnMajor) {
      rows = g;
      columns = CeilDiv(n, g);
    } else {
      columns = CeilDiv(n, g);
      rows = CeilDiv(n, columns);
    }
  } else if (g < 0) {
    if (columnMajor) {
      rows = CeilDiv(n, -g);
      columns = CeilDiv(n, rows);
    } else {
      columns = -g;
      rows = CeilDiv(n, -g);
    }
  } else if (columnMajor) {
    rows = FittingCells(innerHeight, cellHeight, rowSpacing);
    if (rows > 0) columns = CeilDiv(n, rows);
  } else {
    columns = FittingCells(innerWidth, cellWidth, spacing);
    if (columns > 0) rows = CeilDiv(n, columns);
  }
  return rows > 0 && columns > 0;
}

void Layout::DrawBackground(float x0, float y0, float w, float h) {
  if (mediaId == 0 || !g_renderer) return;
  AirFrameInfo frame;
  const Image* image = GetMediaFrame(&frame, -1);
  if (!image) return;
  float colour[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  ChannelFloats(worldColor, colour);
  DrawPlacement at;
  at.x = x0;
  at.y = y0;
  at.width = w;
  at.height = h;
  at.matrix = worldMatrix.Get();
  g_renderer->DrawImage(image, &frame, colour, kPlaceRectMatrix, at);
}

float Layout::Measure(const Children& eligible, const Box& inner, bool row) {
  if (children.empty()) return 0;
  const auto gaps = static_cast<float>(children.size() - 1);
  const float spacingTotal = gaps * spacing;
  float sumWidth = 0;
  float sumHeight = 0;
  for (const Retained<DisplayObject>& child : eligible) {
    SetAnchors(*child.Get(), pivotX, pivotY);
    // A child that fits itself to its content keeps its own size.
    if (child->scaleMode & 1) flags &= static_cast<uint8_t>(~kFitWidth);
    if (child->scaleMode & 2) flags &= static_cast<uint8_t>(~kFitHeight);
    sumWidth += child->GetWidth();
    sumHeight += child->GetHeight();
  }

  // Along the axis the children are scaled alike to fill the box less the
  // gaps; across it each takes the box's size.
  auto scaleAlong = [&](float innerLength, float sum, bool xAxis) {
    if (spacingTotal > innerLength || sum <= 0.1f) return;
    const float scale = (innerLength - spacingTotal) / sum;
    if (std::fabs(scale - 1) < kScaleTolerance) return;
    for (const Retained<DisplayObject>& child : eligible) {
      const float size = xAxis ? child->GetWidth() : child->GetHeight();
      if (std::fabs(size * scale - size) < kScaleTolerance) continue;
      if (xAxis) {
        child->SetWidth(size * scale);
      } else {
        child->SetHeight(size * scale);
      }
    }
  };
  auto fillAcross = [&](float innerLength, bool xAxis) {
    for (const Retained<DisplayObject>& child : eligible) {
      const bool resized = xAxis ? ResizeSpan(child->offsetMinX, child->offsetMaxX, child->pivotX,
                                              innerLength, kMoveTolerance)
                                 : ResizeSpan(child->offsetMinY, child->offsetMaxY, child->pivotY,
                                              innerLength, kMoveTolerance);
      if (resized) child->Invalidate(true);
    }
  };
  if (flags & kFitWidth) {
    if (row) {
      scaleAlong(inner.width, sumWidth, true);
    } else {
      fillAcross(inner.width, true);
    }
  }
  if (flags & kFitHeight) {
    if (row) {
      fillAcross(inner.height, false);
    } else {
      scaleAlong(inner.height, sumHeight, false);
    }
  }
  if ((flags & kDistribute) && gaps > 0) {
    // Takes effect from the next draw: this one measures with the old gaps.
    if (row && !(flags & kFitWidth)) spacing = (inner.width - sumWidth) / gaps;
    if (!row && !(flags & kFitHeight)) spacing = (inner.height - sumHeight) / gaps;
  }
  float length = spacingTotal;
  for (const Retained<DisplayObject>& child : eligible) {
    length += row ? child->GetWidth() : child->GetHeight();
  }
  return length;
}

void Layout::PlaceRow(const Children& eligible, float sx, float sy, float fy) {
  float x = sx;
  for (const Retained<DisplayObject>& child : eligible) {
    const float w = child->GetWidth();
    const float h = child->GetHeight();
    if (MoveSpan(child->offsetMinX, child->offsetMaxX, x)) child->Invalidate(true);
    if (MoveSpan(child->offsetMinY, child->offsetMaxY, sy - h * fy)) child->Invalidate(true);
    x += w + spacing;
  }
}

void Layout::PlaceColumn(const Children& eligible, float sx, float top, float fx) {
  float y = top;
  for (const Retained<DisplayObject>& child : eligible) {
    const float w = child->GetWidth();
    const float h = child->GetHeight();
    if (MoveSpan(child->offsetMinX, child->offsetMaxX, sx - w * fx)) child->Invalidate(true);
    if (MoveSpan(child->offsetMinY, child->offsetMaxY, y - h)) child->Invalidate(true);
    y -= h + spacing;
  }
}

void Layout::PlaceGrid(const Children& eligible, float sx, float sy, float contentWidth,
                       float contentHeight, int32_t rows, int32_t columns) {
  const uint8_t corner = flags & kCornerMask;
  const bool fromRight = (corner & 1) != 0;
  const bool fromBottom = (corner & 2) != 0;
  const float stepX = (fromRight ? -1.0f : 1.0f) * (spacing + cellWidth);
  const float stepY = (fromBottom ? 1.0f : -1.0f) * (rowSpacing + cellHeight);
  const float startX = fromRight ? sx + contentWidth - cellWidth : sx;
  const float startY = fromBottom ? sy : sy + contentHeight - cellHeight;
  const bool columnMajor = (flags & kColumnMajor) != 0;
  // A cell's edge is set when it is off its place or the cell's size.
  auto place = [](float& min, float& max, float to, float size) {
    if (std::fabs(min - to) < kMoveTolerance && std::fabs(max - min - size) < kMoveTolerance) {
      return false;
    }
    max = to + size;
    min = to;
    return true;
  };
  float x = startX;
  float y = startY;
  for (size_t i = 0; i < eligible.size(); ++i) {
    DisplayObject& child = *eligible[i].Get();
    SetAnchors(child, pivotX, pivotY);
    child.scaleMode = 0;
    if (place(child.offsetMinX, child.offsetMaxX, x, cellWidth)) child.Invalidate(true);
    if (place(child.offsetMinY, child.offsetMaxY, y, cellHeight)) child.Invalidate(true);
    if (!columnMajor) {
      x += stepX;
      if (static_cast<int32_t>(i % static_cast<size_t>(columns)) == columns - 1) {
        x = startX;
        y += stepY;
      }
    } else {
      y += stepY;
      if (static_cast<int32_t>(i % static_cast<size_t>(rows)) == rows - 1) {
        y = startY;
        x += stepX;
      }
    }
  }
}

void Layout::Draw() {
  if (!visible) return;
  DisplayObject::Draw();
  const float w = GetWidth();
  const float h = GetHeight();
  const float x0 = -w * pivotX;
  const float y0 = -h * pivotY;
  DrawBackground(x0, y0, w, h);

  const Box inner{x0 + contentLeft, y0 + contentBottom, w + contentRight - contentLeft,
                  h + contentTop - contentBottom};
  const int a = static_cast<int>(align) - 1;
  const float fx = static_cast<float>(a % 3) * 0.5f;
  const float fy = static_cast<float>(2 - a / 3) * 0.5f;

  const Children eligible = EligibleChildren();
  float contentWidth = 0;
  float contentHeight = 0;
  int32_t rows = 0;
  int32_t columns = 0;
  if (layoutMode == kGrid) {
    if (!GridSize(eligible.size(), inner.width, inner.height, rows, columns)) return;
    contentWidth = (cellWidth + spacing) * static_cast<float>(columns) - spacing;
    contentHeight = (cellHeight + rowSpacing) * static_cast<float>(rows) - rowSpacing;
  } else if (layoutMode == kColumn) {
    contentHeight = Measure(eligible, inner, false);
  } else {
    contentWidth = Measure(eligible, inner, true);
  }
  const float sx = inner.left + fx * (inner.width - contentWidth);
  const float sy = inner.bottom + fy * (inner.height - contentHeight);
  if (layoutMode == kGrid) {
    PlaceGrid(eligible, sx, sy, contentWidth, contentHeight, rows, columns);
  } else if (layoutMode == kColumn) {
    PlaceColumn(eligible, sx, sy + contentHeight, fx);
  } else {
    PlaceRow(eligible, sx, sy, fy);
  }
  Entity::Draw();
}

}  // namespace GCore
