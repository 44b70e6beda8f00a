// "gcore.c": numbers, plane geometry and the engine's random generators. All
// arithmetic is single-precision, as the scripts' numbers were made for.
#include <cmath>
#include <ctime>

#include "game/GCoreApi.h"
#include "render/ResourceManager.h"

namespace GCore::Api {

namespace {

void PushFloat(lua_State* L, float value) { lua_pushnumber(L, static_cast<lua_Number>(value)); }

// A float's integer part as an int32, saturating (NaN gives 0).
int32_t TruncateToInt(float value) {
  if (!(std::fabs(value) < 2147483648.0f)) return value > 0 ? INT32_MAX : (value < 0 ? INT32_MIN : 0);
  return static_cast<int32_t>(value);
}

float Length(float x, float y) { return std::sqrt(x * x + y * y); }

// The engine generator: a permutation of the 32-bit values built on the
// quadratic residues of the prime 4294967291, so that for a fixed offset
// the sequence visits each value at most once.
class PermutedCounter {
 public:
  void Seed(uint32_t base, uint32_t offsetWord) {
    index_ = Permute(Permute(base) + 0x682F0161u);
    offset_ = Permute(Permute(offsetWord) + 0x46790905u);
  }
  bool Seeded() const { return index_ != 0; }
  uint32_t Next() {
    const uint32_t x = index_++;
    return Permute((Permute(x) + offset_) ^ 0x5BF03635u);
  }

 private:
  static uint32_t Permute(uint32_t x) {
    constexpr uint32_t kPrime = 4294967291u;
    if (x >= kPrime) return x;
    const auto residue = static_cast<uint32_t>(static_cast<uint64_t>(x) * x % kPrime);
    return x <= kPrime / 2 ? residue : kPrime - residue;
  }

  uint32_t index_ = 0;
  uint32_t offset_ = 0;
};

PermutedCounter g_engineGenerator;

// A script's rectangle: a table with the fields x, y, width and height.
struct RectangleFields {
  float x, y, width, height;
};

float RawNumberField(lua_State* L, int table, const char* key) {
  lua_pushstring(L, key);
  lua_rawget(L, table);
  const float value = static_cast<float>(lua_tonumber(L, -1));
  lua_pop(L, 1);
  return value;
}

void RawSetNumberField(lua_State* L, int table, const char* key, float value) {
  lua_pushstring(L, key);
  lua_pushnumber(L, value);
  lua_rawset(L, table);
}

}  // namespace

int GetPow2(lua_State* L) {
  lua_pushinteger(L, PowerOfTwoAtLeast(Int64Arg(L, 1)));
  return 1;
}

int MapInRange(lua_State* L) {
  const float a = FloatArg(L, 1);
  const float range = FloatArg(L, 2);
  const float mapped = std::fmod(a, 2 * range);
  PushFloat(L, mapped > range ? mapped - 2 * range : mapped < -range ? mapped + 2 * range : mapped);
  return 1;
}

int CapValue(lua_State* L) {
  const float value = FloatArg(L, 1);
  const float high = FloatArg(L, 2);
  const float low = FloatArg(L, 3);
  PushFloat(L, value > high ? high : low > value ? low : value);
  return 1;
}

int Movefloat(lua_State* L) {
  const float a = FloatArg(L, 1);
  const float b = FloatArg(L, 2);
  const float t = FloatArg(L, 3);
  const float epsilon = FloatArg(L, 4);
  PushFloat(L, epsilon > (b - a) * (b - a) ? b : a + (b - a) * t);
  return 1;
}

int Distance2D(lua_State* L) {
  PushFloat(L, Length(FloatArg(L, 3) - FloatArg(L, 1), FloatArg(L, 4) - FloatArg(L, 2)));
  return 1;
}

int Distance2DSquare(lua_State* L) {
  const float dx = FloatArg(L, 3) - FloatArg(L, 1);
  const float dy = FloatArg(L, 4) - FloatArg(L, 2);
  PushFloat(L, dx * dx + dy * dy);
  return 1;
}

int Dist_Point2Seg(lua_State* L) {
  const float px = FloatArg(L, 1), py = FloatArg(L, 2);
  const float ax = FloatArg(L, 3), ay = FloatArg(L, 4);
  const float bx = FloatArg(L, 5), by = FloatArg(L, 6);
  const float dx = bx - ax, dy = by - ay;
  const float t = (px - ax) * dx + (py - ay) * dy;
  const float lengthSquared = dx * dx + dy * dy;
  float distance;
  if (t <= 0) {
    distance = Length(px - ax, py - ay);
  } else if (t >= lengthSquared) {
    distance = Length(px - bx, py - by);
  } else {
    const float along = t / lengthSquared;
    distance = Length(px - (ax + dx * along), py - (ay + dy * along));
  }
  PushFloat(L, distance);
  return 1;
}

int Side_Point2Seg(lua_State* L) {
  const float px = FloatArg(L, 1), py = FloatArg(L, 2);
  const float ax = FloatArg(L, 3), ay = FloatArg(L, 4);
  const float bx = FloatArg(L, 5), by = FloatArg(L, 6);
  PushFloat(L, (ax - bx) * py + (by - ay) * px + (bx * ay - by * ax));
  return 1;
}

int XY2Angle(lua_State* L) {
  PushFloat(L, std::atan2(FloatArg(L, 1), FloatArg(L, 2)) * 180.0f / 3.14159f - 90.0f);
  return 1;
}

int DegToRad(lua_State* L) {
  PushFloat(L, FloatArg(L, 1) * 0.017453292f);
  return 1;
}

int RadToDeg(lua_State* L) {
  PushFloat(L, FloatArg(L, 1) * 57.295776f);
  return 1;
}

int HSV(lua_State* L) {
  const float s = FloatArg(L, 2);
  const float v = FloatArg(L, 3);
  float r = v, g = v, b = v;
  if (s != 0) {
    const float h = std::fmod(FloatArg(L, 1), 1.0f) / 0.16666667f;
    const int32_t sector = TruncateToInt(h);
    const float f = h - static_cast<float>(sector);
    const float p = (1 - s) * v;
    const float q = (1 - f * s) * v;
    const float t = (1 - (1 - f) * s) * v;
    switch (sector) {
      case 0: r = v, g = t, b = p; break;
      case 1: r = q, g = v, b = p; break;
      case 2: r = p, g = v, b = t; break;
      case 3: r = p, g = q, b = v; break;
      case 4: r = t, g = p, b = v; break;
      default: r = v, g = p, b = q; break;
    }
  }
  auto channel = [](float c) { return static_cast<uint32_t>(TruncateToInt(c * 255.0f + 0.5f)); };
  PushUnsigned(L, channel(r) | channel(g) << 8 | channel(b) << 16);
  return 1;
}

int GetAlignRect(lua_State* L) {
  if (!lua_istable(L, 1)) return 0;
  const RectangleFields rect{RawNumberField(L, 1, "x"), RawNumberField(L, 1, "y"), RawNumberField(L, 1, "width"),
                             RawNumberField(L, 1, "height")};
  const int32_t mode = IntArg(L, 2);
  const float w = FloatArg(L, 3);
  const float h = FloatArg(L, 4);
  const float centreX = std::floor((rect.width - w) / 2) + rect.x;
  const float right = rect.x + rect.width - w;
  const float centreY = std::floor((rect.height - h) / 2) + rect.y;
  const float bottom = rect.y + rect.height - h;
  // Keypad positions: the row of 1 2 3 takes `bottom`, 4 5 6 the centre and
  // 7 8 9 keep y; the first column keeps x.
  if (mode < 0 || mode > 9) return 0;
  const int column = mode == 0 ? 0 : (mode - 1) % 3;
  const int row = mode == 0 ? 0 : (mode - 1) / 3;
  if (column == 1) RawSetNumberField(L, 1, "x", centreX);
  if (column == 2) RawSetNumberField(L, 1, "x", right);
  if (row == 0) RawSetNumberField(L, 1, "y", bottom);
  if (row == 1) RawSetNumberField(L, 1, "y", centreY);
  return 0;
}

int AddLineVertex(lua_State* L) {
  const int table = lua_gettop(L);
  if (table < 1 || !lua_istable(L, table)) return 0;
  const float width = FloatArg(L, 1);
  const float x1 = FloatArg(L, 2), y1 = FloatArg(L, 3);
  const float x2 = FloatArg(L, 4), y2 = FloatArg(L, 5);
  const float scale = width / Length(x2 - x1, y2 - y1);
  const float ox = scale * (y2 - y1);
  const float oy = scale * (x1 - x2);
  const float vertices[12] = {x1 + ox, y1 + oy, x1 - ox, y1 - oy, x2 + ox, y2 + oy,
                              x1 - ox, y1 - oy, x2 + ox, y2 + oy, x2 - ox, y2 - oy};
  auto length = static_cast<lua_Integer>(lua_rawlen(L, table));
  for (float value : vertices) {
    lua_pushnumber(L, value);
    lua_rawseti(L, table, ++length);
  }
  lua_pushinteger(L, length / 2);
  return 1;
}

int RandSeed(lua_State* L) {
  const uint32_t n = IdArg(L, 1);
  g_engineGenerator.Seed(n, n + 1);
  return 0;
}

int Rand(lua_State* L) {
  if (!g_engineGenerator.Seeded()) {
    const auto now = static_cast<uint32_t>(std::time(nullptr));
    g_engineGenerator.Seed(now, now + 1);
  }
  PushUnsigned(L, g_engineGenerator.Next());
  return 1;
}

int RandS(lua_State* L) {
  // In unsigned arithmetic, which wraps where signed arithmetic overflows.
  const uint32_t step = IdArg(L, 1) * 214013u + 2531011u;
  lua_pushinteger(L, static_cast<int32_t>(step) >> 16 & 0x7fff);
  return 1;
}

}  // namespace GCore::Api
