#pragma once
// Helpers shared by the skeletal runtime's records: the angle constants its
// math is written against, owned texts and arrays, and name comparison.
// Records own their texts and arrays through these; a record's dispose
// function frees exactly what its create function and the reader gave it.
#include <cmath>
#include <cstddef>
#include <cstring>

namespace GCore {

constexpr float kDegRad = 0.017453292f;
constexpr float kRadDeg = 57.295776f;
constexpr float kPi = 3.1415927f;
constexpr float kPi2 = 6.2831855f;

inline float CosDeg(float degrees) { return std::cos(degrees * kDegRad); }
inline float SinDeg(float degrees) { return std::sin(degrees * kDegRad); }
inline float Atan2Deg(float y, float x) { return std::atan2(y, x) * kRadDeg; }

// Into (-180, 180] by one turn at most, as the constraints expect.
inline float WrapDegreesOnce(float r) {
  if (r > 180) return r - 360;
  if (r < -180) return r + 360;
  return r;
}
inline float WrapRadiansOnce(float r) {
  if (r > kPi) return r - kPi2;
  if (r < -kPi) return r + kPi2;
  return r;
}

// Into [-180, 180] by whole turns, as the rotation timelines expect. The
// result of a non-finite angle is that angle.
float WrapRotation(float degrees);

inline float Sign(float value) { return value < 0 ? -1.0f : value > 0 ? 1.0f : 0.0f; }

// A new zero-terminated copy of `text`, or none for none.
const char* CopyText(const char* text);
void FreeText(const char*& text);

// Zero-filled owned arrays; none for a count of 0.
template <class T>
T* NewArray(size_t count) {
  return count ? new T[count]() : nullptr;
}
template <class T>
void FreeArray(T*& array) {
  delete[] array;
  array = nullptr;
}

// Names match byte for byte; none matches nothing.
inline bool SameName(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

}  // namespace GCore
