// DrawImage: placement of an image quad, frame offsets and flips, edge fades
// and second colours, ellipses, nine-slice cells and collision boxes.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/AirData.h"
#include "core/GameSettings.h"
#include "core/Matrix.h"
#include "render/Image.h"
#include "render/Renderer.h"

namespace GCore {

namespace {

constexpr int kEllipseTriangles = 18;
constexpr uint32_t kEllipseRimClear = 5;
constexpr uint32_t kEllipseCentreClear = 6;
constexpr uint32_t kEllipseRimColour = 80;

// Corner pairs of each edge, by the edge number of the mode word's nibbles:
// 1 top (P2, P3), 2 bottom (P0, P1), 3 right (P1, P2), 4 left (P0, P3).
constexpr int kEdgeCorners[5][2] = {{-1, -1}, {2, 3}, {0, 1}, {1, 2}, {0, 3}};

struct EllipseTable {
  float cosine[kEllipseTriangles + 1];
  float sine[kEllipseTriangles + 1];
  EllipseTable() {
    for (int k = 0; k <= kEllipseTriangles; ++k) {
      const double angle = k * 20.0 * std::numbers::pi / 180.0;
      cosine[k] = static_cast<float>(std::cos(angle));
      sine[k] = static_cast<float>(std::sin(angle));
    }
  }
};

// Takes the corners (x, y pairs) through the matrix.
void TransformCorners(const Matrix& matrix, float corners[8]) {
  // A copy of the matrix, which the stores could otherwise alias.
  const Affine m = AffineOf(&matrix);
  for (int i = 0; i < 4; ++i) {
    const float px = corners[2 * i], py = corners[2 * i + 1];
    corners[2 * i] = m.TransformX(px, py);
    corners[2 * i + 1] = m.TransformY(px, py);
  }
}

// The corners P0 bottom-left, P1 bottom-right, P2 top-right, P3 top-left of
// the rectangle, through the matrix when there is one.
void RectCorners(double x, double y, double width, double height, const Matrix* matrix,
                 float corners[8]) {
  const double xs[4] = {x, x + width, x + width, x};
  const double ys[4] = {y, y, y + height, y + height};
  for (int i = 0; i < 4; ++i) {
    corners[2 * i] = static_cast<float>(xs[i]);
    corners[2 * i + 1] = static_cast<float>(ys[i]);
  }
  if (matrix) TransformCorners(*matrix, corners);
}

// Mode bits that fade edges, give them a second colour or draw an ellipse.
constexpr uint32_t kModeShading = 0xFF0000;

}  // namespace

void Renderer::DrawImage(const Image* image, const AirFrameInfo* frame, const float* colour,
                         uint32_t mode, const DrawPlacement& at) {
  if (!image || !colour) return;
  const uint8_t selector = mode & 0xFF;
  // How a quad draws: its rectangle through its matrix, in one colour, with
  // neither an air frame's placement nor nine slices.
  if (selector == kPlaceRectMatrix && (mode & kModeShading) == 0 && !(frame && frame->width > 0) &&
      !image->IsSliced()) {
    float corners[8];
    RectCorners(at.x, at.y, at.width, at.height, at.matrix, corners);
    DrawImageCorners(*image, corners, PackColour(colour), frame ? frame->flip : 0);
    return;
  }
  const double imageWidth = image->width;
  const double imageHeight = image->height;
  double x = 0, y = 0, width = imageWidth, height = imageHeight;
  const Matrix* matrix = nullptr;
  switch (selector) {
    case kPlaceAt: x = at.x, y = at.y; break;
    case kPlaceHanging: x = at.x, y = at.y - imageHeight; break;
    case kPlaceRect: x = at.x, y = at.y, width = at.width, height = at.height; break;
    case kPlaceMatrix: matrix = at.matrix; break;
    case kPlaceRectMatrix:
      x = at.x, y = at.y, width = at.width, height = at.height, matrix = at.matrix;
      break;
    case kPlaceAtMatrix: x = at.x, y = at.y, matrix = at.matrix; break;
    case kPlaceCornersMatrix:
      if (!at.cornerX || !at.cornerY) return;
      matrix = at.matrix;
      break;
    default: break;
  }

  // An air frame scales the animation's reference size onto the rectangle
  // and places the frame's image at its offset.
  const bool framed = frame && frame->width > 0 &&
                      (selector == kPlaceRectMatrix || selector == kPlaceAtMatrix);
  double sx = 1, sy = 1;
  if (framed) {
    sx = width / frame->width;
    sy = frame->height > 0 ? height / frame->height : sx;
    x += frame->offsetX * sx;
    y += frame->offsetY * sy;
    width = imageWidth * sx;
    height = imageHeight * sy;
  }

  const bool sizedBySelector =
      selector == kPlaceRect || selector == kPlaceRectMatrix || selector == kPlaceAtMatrix;
  if (image->IsSliced() && sizedBySelector && width > 0) {
    DrawNineSlice(*image, colour, mode, x, y, width, height, matrix);
  } else {
    float corners[8];  // P0 bottom-left, P1 bottom-right, P2 top-right, P3 top-left
    if (selector == kPlaceCornersMatrix) {
      const int order[4] = {0, 1, 3, 2};  // the records list P0, P1, P3, P2
      for (int i = 0; i < 4; ++i) {
        corners[2 * order[i]] = at.cornerX[i];
        corners[2 * order[i] + 1] = at.cornerY[i];
      }
      if (matrix) TransformCorners(*matrix, corners);
    } else {
      RectCorners(x, y, width, height, matrix, corners);
    }

    const uint32_t fade = (mode >> 16) & 0x0F;
    const uint32_t second = (mode >> 16) & 0xF0;
    if (fade == kEllipseRimClear || fade == kEllipseCentreClear || second == kEllipseRimColour) {
      AppendEllipse(*image, corners, colour, mode);
    } else {
      // Most quads are of one colour: packed once for all four corners.
      uint32_t packed[4];
      std::fill(packed, packed + 4, PackColour(colour));
      const uint32_t edge = second >> 4;
      const bool faded = fade >= 1 && fade <= 4;
      const bool edged = edge >= 1 && edge <= 4;
      if (faded || edged) {
        float colours[16];
        for (int i = 0; i < 4; ++i) std::copy(colour, colour + 4, colours + 4 * i);
        if (faded) {
          for (int corner : kEdgeCorners[fade]) colours[4 * corner + 3] = 0;
        }
        if (edged) {
          for (int corner : kEdgeCorners[edge]) std::copy(colour + 4, colour + 7, colours + 4 * corner);
        }
        for (int i = 0; i < 4; ++i) packed[i] = PackColour(colours + 4 * i);
      }
      AppendQuad(*image, corners, packed, frame ? frame->flip : 0);
    }
  }

  if (g_settings.showCollisionBoxes && framed) DrawCollisionBoxes(*frame, x, y, sx, sy, matrix);
}

void Renderer::AppendEllipse(const Image& image, const float c[8], const float* colour,
                             uint32_t mode) {
  static const EllipseTable table;
  if (!PrepareBatch(image.texture, 4 * kEllipseTriangles)) return;
  const uint32_t fade = (mode >> 16) & 0x0F;
  const uint32_t second = (mode >> 16) & 0xF0;
  const float cx = (c[0] + c[2] + c[4] + c[6]) * 0.25f;
  const float cy = (c[1] + c[3] + c[5] + c[7]) * 0.25f;
  const float rx = std::fabs(c[0] - cx);
  const float ry = std::fabs(c[1] - cy);
  const float centreColour[4] = {colour[0], colour[1], colour[2],
                                 fade == kEllipseCentreClear ? 0.0f : colour[3]};
  const float* rimRgb = second == kEllipseRimColour ? colour + 4 : colour;
  const float rimColour[4] = {rimRgb[0], rimRgb[1], rimRgb[2],
                              fade == kEllipseRimClear ? 0.0f : colour[3]};
  const uint32_t centre = PackColour(centreColour), rim = PackColour(rimColour);
  const float u = image.u, v = image.v, du = image.du, dv = image.dv;
  QuadBatch& b = *CurrentBatch();
  for (int k = 1; k <= kEllipseTriangles; ++k) {
    // A rim point takes other texture coordinates as the previous point of
    // one triangle than as the next point of the one before.
    b.AppendTriangle({cx, cy, u, v + dv, centre},
                     {cx + rx * table.cosine[k - 1], cy + ry * table.sine[k - 1], u + du, v, rim},
                     {cx + rx * table.cosine[k], cy + ry * table.sine[k], u, v, rim});
  }
}

void Renderer::DrawNineSlice(const Image& image, const float* colour, uint32_t mode, double x,
                             double y, double width, double height, const Matrix* matrix) {
  const double left = image.insets[Image::kLeft], right = image.insets[Image::kRight];
  const double top = image.insets[Image::kTop], bottom = image.insets[Image::kBottom];
  // Target splits, upward; insets that do not fit meet in the middle.
  double xs[4] = {x, x + left, x + width - right, x + width};
  if (left > width - right) xs[1] = xs[2] = x + width / 2;
  double ys[4] = {y, y + bottom, y + height - top, y + height};
  if (bottom > height - top) ys[1] = ys[2] = y + height / 2;
  // Source splits in texture pixels, rows downward from the first.
  const double sx0 = image.x, sx3 = image.x + image.width;
  const double sx1 = std::min(sx0 + left, sx3), sx2 = std::max(sx1, sx3 - right);
  const double sy0 = image.y, sy3 = image.y + image.height;
  const double sy1 = std::min(sy0 + top, sy3), sy2 = std::max(sy1, sy3 - bottom);
  const double sxs[4] = {sx0, sx1, sx2, sx3};
  const double sys[4] = {sy0, sy1, sy2, sy3};

  const uint32_t cellMode = (mode & ~0xFFu) | (matrix ? kPlaceRectMatrix : kPlaceRect);
  for (int row = 0; row < 3; ++row) {  // bottom row of the target first
    const int sourceRow = 2 - row;
    for (int column = 0; column < 3; ++column) {
      const double cellWidth = xs[column + 1] - xs[column];
      const double cellHeight = ys[row + 1] - ys[row];
      if (cellWidth <= 0 || cellHeight <= 0) continue;
      Image cell(0, 0, image.texture, static_cast<float>(sxs[column]),
                 static_cast<float>(sys[sourceRow]),
                 static_cast<float>(sxs[column + 1] - sxs[column]),
                 static_cast<float>(sys[sourceRow + 1] - sys[sourceRow]));
      cell.extra = image.extra;
      DrawPlacement place;
      place.x = xs[column];
      place.y = ys[row];
      place.width = cellWidth;
      place.height = cellHeight;
      place.matrix = matrix;
      DrawImage(&cell, nullptr, colour, cellMode, place);
    }
  }
}

void Renderer::DrawCollisionBoxes(const AirFrameInfo& frame, double originX, double originY,
                                  double sx, double sy, const Matrix* matrix) {
  static const float kRed[4] = {1, 0, 0, 0.3f};
  static const float kBlue[4] = {0, 0, 1, 0.3f};
  const Image* placeholder = PlaceholderImage();
  for (const AirBox& box : frame.boxes) {
    DrawPlacement place;
    place.x = originX + box.left * sx;
    place.y = originY + box.bottom * sy;
    place.width = (box.right - box.left) * sx;
    place.height = (box.top - box.bottom) * sy;
    place.matrix = matrix;
    DrawImage(placeholder, nullptr, box.type == 1 ? kRed : kBlue, kPlaceRectMatrix, place);
  }
}

}  // namespace GCore
