#pragma once
// Key tracks: timed keys that animate one named script property of a display
// object (or of another script value) through the object's per-frame Update.
#include <cstdint>
#include <vector>

namespace GCore {

struct TrackKey {
  uint16_t time = 0;  // ms
  double value = 0;
  // 0 linear from the previous key; 127 hold the previous value until this
  // key's time; 128 this value from the previous key's time on; any other
  // kind leaves the property alone between the keys.
  uint8_t kind = 0;
};

constexpr uint8_t kKeyLinear = 0;
constexpr uint8_t kKeyHoldPrevious = 127;
constexpr uint8_t kKeyJump = 128;

struct KeyTrack {
  char name[16] = {};  // the property name and the track's lookup key
  uint32_t duration = 0;  // the largest key time, ms
  uint32_t elapsed = 0;   // 0 to duration
  std::vector<TrackKey> keys;
  // 1: the animated value is kept under the track's name in the object's
  // user value table; below 1: the object itself.
  int32_t target = 0;
};

// Longest property name a track can animate.
constexpr size_t kMaxTrackName = sizeof(KeyTrack::name) - 1;
// Most keys a track is given: one per millisecond of the 16-bit key times.
constexpr int64_t kMaxTrackKeys = 65536;

// Set while Update applies track values: a script assignment of a property
// made while it is clear cancels the track of that name.
extern bool applyingTracks;

}  // namespace GCore
