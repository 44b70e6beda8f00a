// Key tracks of display objects: building them from script arguments and
// applying their values every frame.
#include <algorithm>
#include <cstring>

#include "base/Log.h"
#include "core/GameIF.h"
#include "core/LuaApiExt.h"
#include "display/DisplayObject.h"
#include "display/DisplayObjectContainer.h"
#include "display/ScriptCalls.h"

namespace GCore {

bool applyingTracks = false;

namespace {

// A script number truncated toward zero; values no integer holds give 0.
int64_t Truncate(double value) {
  if (!(value > -9.2e18 && value < 9.2e18)) return 0;
  return static_cast<int64_t>(value);
}

double NumberAt(lua_State* L, int table, lua_Integer index) {
  lua_rawgeti(L, table, index);
  const double value = lua_tonumberx(L, -1, nullptr);
  lua_pop(L, 1);
  return value;
}

// "color" tracks blend 0xRRGGBB values channel by channel.
double BlendColour(double from, double to, double t, double span) {
  const int64_t a = Truncate(from);
  const int64_t b = Truncate(to);
  int64_t result = 0;
  for (int shift = 16; shift >= 0; shift -= 8) {
    const int64_t ca = a >> shift & 0xFF;
    const int64_t cb = b >> shift & 0xFF;
    result |= Truncate(static_cast<double>(ca) + static_cast<double>(cb - ca) * t / span) << shift;
  }
  return static_cast<double>(result);
}

// The value between two keys at `elapsed`; false when the next key's kind
// leaves the property alone.
bool ValueBetween(const KeyTrack& track, const TrackKey& previous, const TrackKey& next,
                  double& value) {
  switch (next.kind) {
    case kKeyJump:
      value = next.value;
      return true;
    case kKeyHoldPrevious:
      value = previous.value;
      return true;
    case kKeyLinear: {
      const double span = static_cast<double>(next.time) - previous.time;
      if (span <= 0) {
        value = previous.value;
        return true;
      }
      const double t = std::clamp(static_cast<double>(track.elapsed) - previous.time, 0.0, span);
      if (std::strcmp(track.name, "color") == 0) {
        value = BlendColour(previous.value, next.value, t, span);
      } else {
        value = previous.value + (next.value - previous.value) * t / span;
      }
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

KeyTrack* DisplayObject::FindKeyTrack(const char* trackName) const {
  if (!trackName || !extras) return nullptr;
  for (const auto& track : extras->keyTracks) {
    if (track && std::strcmp(track->name, trackName) == 0) return track.get();
  }
  return nullptr;
}

namespace {

// The track of that name, added when missing; null (with a message) for a
// name the record cannot hold.
KeyTrack* TrackNamed(DisplayObject& object, const char* trackName, const char* caller) {
  if (!trackName || std::strlen(trackName) > kMaxTrackName) {
    LogPrintf("%s: a track needs a property name of 1 to %zu bytes\n", caller, kMaxTrackName);
    return nullptr;
  }
  if (KeyTrack* found = object.FindKeyTrack(trackName)) return found;
  auto track = std::make_unique<KeyTrack>();
  std::strcpy(track->name, trackName);
  std::vector<std::unique_ptr<KeyTrack>>& tracks = object.Extras().keyTracks;
  tracks.push_back(std::move(track));
  UpdateWorkChanged();
  return tracks.back().get();
}

// The value on top of L (popped) becomes the target of the named track in
// the object's user value table. The collector traces that table from the
// object, so a target that refers back to the object does not keep it alive
// as a registry reference would.
void StoreTrackTarget(lua_State* L, DisplayObject& object, const char* trackName) {
  lua_pushuserdata(L, &object);
  if (lua_getuservalue(L, -1) != LUA_TTABLE) {
    lua_pop(L, 1);
    if (lua_isnil(L, -2)) {  // no target, and none to forget
      lua_pop(L, 2);
      return;
    }
    lua_newtable(L);
    lua_pushvalue(L, -1);
    lua_setuservalue(L, -3);
  }
  lua_pushvalue(L, -3);
  lua_setfield(L, -2, trackName);
  lua_pop(L, 3);
}

}  // namespace

void DisplayObject::AddKeyTrack(lua_State* L) {
  const bool withTarget = lua_type(L, 1) == LUA_TTABLE;
  if (withTarget) lua_rawgeti(L, 1, 2);
  const char* trackName = lua_tostring(L, withTarget ? -1 : 1);
  KeyTrack* track = TrackNamed(*this, trackName, "addKeyTrack");
  if (withTarget) lua_pop(L, 1);
  if (!track) return;

  // The new target (nil: the object itself) replaces the track's old one.
  if (withTarget) {
    lua_rawgeti(L, 1, 1);
  } else {
    lua_pushnil(L);
  }
  track->target = lua_isnil(L, -1) ? 0 : 1;
  StoreTrackTarget(L, *this, track->name);

  // n keys, whatever the table holds: what it lacks reads as 0. Key times
  // are 16-bit, so a longer list could never be told apart by time; n is
  // bounded there rather than allocated as asked.
  int64_t count = std::max<int64_t>(Truncate(lua_tonumberx(L, 2, nullptr)), 0);
  if (count > kMaxTrackKeys) {
    LogPrintf("addKeyTrack: %lld keys asked for, %lld made\n", static_cast<long long>(count),
              static_cast<long long>(kMaxTrackKeys));
    count = kMaxTrackKeys;
  }
  const bool hasKeys = lua_type(L, 3) == LUA_TTABLE;
  track->keys.assign(static_cast<size_t>(count), TrackKey{});
  for (int64_t i = 0; i < count && hasKeys; ++i) {
    TrackKey& key = track->keys[static_cast<size_t>(i)];
    key.time = static_cast<uint16_t>(Truncate(NumberAt(L, 3, 3 * i + 1)));
    key.value = NumberAt(L, 3, 3 * i + 2);
    key.kind = static_cast<uint8_t>(Truncate(NumberAt(L, 3, 3 * i + 3)));
    track->duration = std::max<uint32_t>(track->duration, key.time);
  }
  track->elapsed = 0;
}

void DisplayObject::SetKeyTrackTime(const char* trackName, uint32_t ms) {
  if (KeyTrack* track = TrackNamed(*this, trackName, "setTrackTime")) track->elapsed = ms;
}

void DisplayObject::ClearKeyTrack(const char* trackName) {
  if (applyingTracks) return;
  if (KeyTrack* track = FindKeyTrack(trackName)) track->keys.clear();
}

void DisplayObject::UpdateKeyTracks() {
  if (!extras || extras->keyTracks.empty()) return;
  std::vector<std::unique_ptr<KeyTrack>>& keyTracks = extras->keyTracks;
  // Scripts run below: keep this object alive through them.
  Retained<DisplayObject> hold(this);
  const uint32_t step = g_game ? g_game->lastStep : 0;
  applyingTracks = true;
  for (size_t i = 0; i < keyTracks.size(); ++i) {
    KeyTrack* track = keyTracks[i].get();
    if (!track || track->keys.empty() || track->elapsed >= track->duration) continue;
    track->elapsed = static_cast<uint32_t>(
        std::min<uint64_t>(static_cast<uint64_t>(track->elapsed) + step, track->duration));
    const std::vector<TrackKey>& keys = track->keys;
    size_t k = 0;
    while (k < keys.size() && keys[k].time < track->elapsed) ++k;
    if (k == keys.size()) k = keys.size() - 1;
    double value = keys[k].value;
    const bool assign = k == 0 || keys[k].time == track->elapsed ||
                        ValueBetween(*track, keys[k - 1], keys[k], value);
    if (assign) SetScriptProperty(*track, value);
  }
  applyingTracks = false;
}

void DisplayObject::SetScriptProperty(const KeyTrack& track, double value) {
  lua_State* L = state;
  if (!L) return;
  SelectOwnerProject(L);
  const int top = lua_gettop(L);
  lua_pushuserdata(L, this);
  if (track.target > 0) {
    if (lua_getuservalue(L, -1) == LUA_TTABLE) {
      lua_getfield(L, -1, track.name);
    } else {
      lua_pushnil(L);
    }
    lua_replace(L, top + 1);
    lua_settop(L, top + 1);
  }
  lua_pushstring(L, track.name);
  lua_pushnumber(L, value);
  AssignProtected(L);
  lua_settop(L, top);
}

}  // namespace GCore
