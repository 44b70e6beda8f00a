#include "media/AudioCommand.h"

#include <cmath>

namespace GCore {
namespace {

constexpr float kQuietestGain = 1.0f / 512.0f;
constexpr float kNinth = 0.11111111f;

}  // namespace

std::atomic<float> GlobalVolume{1.0f};

float VolumePosition(float gain) {
  // Written so that NaN lands on the quiet end instead of spreading into samples.
  if (!(gain >= kQuietestGain)) gain = kQuietestGain;
  if (gain > 1.0f) gain = 1.0f;
  return static_cast<float>(std::log2(static_cast<double>(gain))) * kNinth + 1.0f;
}

float CurveGain(float position) {
  if (!(position >= 0.0f)) position = 0.0f;
  if (position > 1.0f) position = 1.0f;
  const float gain = static_cast<float>(std::exp2(static_cast<double>(9.0f * position - 9.0f)));
  return gain > kQuietestGain ? gain : 0.0f;
}

}  // namespace GCore
