#pragma once
// Small value types of the TMX document model: colours, versions, vectors,
// rectangles and the map-wide enumerations. Plain data; no invariants.
#include <cstdint>

namespace tmx {

struct Colour {
  Colour(std::uint8_t red = 0, std::uint8_t green = 0, std::uint8_t blue = 0, std::uint8_t alpha = 255)
      : r(red), g(green), b(blue), a(alpha) {}
  bool operator==(const Colour&) const = default;

  std::uint8_t r;
  std::uint8_t g;
  std::uint8_t b;
  std::uint8_t a;
};

struct Version {
  // Named upper/lower rather than major/minor: glibc has macros of those names.
  Version(std::uint16_t upperPart = 0, std::uint16_t lowerPart = 0) : upper(upperPart), lower(lowerPart) {}

  std::uint16_t upper;
  std::uint16_t lower;
};

template <typename T>
struct Vector2 {
  Vector2(T first = 0, T second = 0) : x(first), y(second) {}
  bool operator==(const Vector2&) const = default;

  T x;
  T y;
};

using Vector2i = Vector2<std::int32_t>;
using Vector2u = Vector2<std::uint32_t>;
using Vector2f = Vector2<float>;

template <typename T>
struct Rectangle {
  Rectangle(T l = 0, T t = 0, T w = 0, T h = 0) : left(l), top(t), width(w), height(h) {}
  bool operator==(const Rectangle&) const = default;

  T left;
  T top;
  T width;
  T height;
};

using FloatRect = Rectangle<float>;

enum class Orientation : std::int32_t { Orthogonal = 0, Isometric = 1, Staggered = 2, Hexagonal = 3, None = 4 };
enum class RenderOrder : std::int32_t { RightDown = 0, RightUp = 1, LeftDown = 2, LeftUp = 3, None = 4 };
enum class StaggerAxis : std::int32_t { X = 0, Y = 1, None = 2 };
enum class StaggerIndex : std::int32_t { Even = 0, Odd = 1, None = 2 };

}  // namespace tmx
