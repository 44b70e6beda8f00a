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

const char* CopyText(const char* text) { return text ? CopyText(text, std::strlen(text)) : nullptr; }

const char* CopyText(const char* text, size_t length) {
  if (!text) return nullptr;
  char* copy = new char[length + 1];
  std::memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

void FreeText(const char*& text) {
  delete[] text;
  text = nullptr;
}

}  // namespace GCore
