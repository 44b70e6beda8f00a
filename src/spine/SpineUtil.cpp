#include "spine/SpineUtil.h"

namespace GCore {

float WrapRotation(float degrees) {
  if (!std::isfinite(degrees)) return degrees;
  // The rounding below goes through an int: bring huge angles into its range
  // first (a whole number of turns changes nothing).
  if (std::fabs(degrees) > 1.0e9f) degrees = std::fmod(degrees, 360.0f);
  const double turns = 16384.499999999996 - static_cast<double>(degrees / 360);
  const int whole = 16384 - static_cast<int>(turns);
  return degrees - static_cast<float>(whole * 360);
}

const char* CopyText(const char* text) {
  if (!text) return nullptr;
  const size_t size = std::strlen(text) + 1;
  char* copy = new char[size];
  std::memcpy(copy, text, size);
  return copy;
}

void FreeText(const char*& text) {
  delete[] text;
  text = nullptr;
}

}  // namespace GCore
