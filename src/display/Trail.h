#pragma once
// An entity that leaves a ribbon behind it as it moves: every drawn frame it
// records where its vertical edge is in world space, and it draws the
// recorded samples as a strip of textured quads whose texture coordinate u
// runs from 1 at the newest sample down to 0 at a sample's lifetime (0.5 at
// `fadeStart`), so a texture whose left half fades gives a fading trail.
// Rules:
//  - The quads are in world coordinates: the trail's own transform only
//    decides where new samples start.
//  - A sample lives until the first draw in which its age reaches
//    `lifetime`; while the trail is invisible nothing is sampled or dropped.
//  - Without an image for its media the trail still samples and drops, but
//    draws no ribbon.
// Main thread only.
#include <cstdint>
#include <list>

#include <lua.hpp>

#include "display/Entity.h"

namespace GCore {

struct TrailSample {
  float x1, y1;  // world position of the local point (0, +h / 2)
  float x2, y2;  // world position of (0, -h / 2)
  float time;    // game time, ms
};

class Trail : public Entity {
 public:
  static const ClassInfo classInfo;

  explicit Trail(lua_State* L);
  const ClassInfo* GetClassInfo() const override { return &classInfo; }

  // Only the display-object part: no children, components, trail settings
  // or samples.
  void CopyFrom(DisplayObject* source) override;
  // While visible: samples, draws the ribbon, then the children.
  void Draw() override;
  const char* GetClassName() const override { return "Trail"; }

  // The script method addSample: brings the world transform up to date and
  // records a sample at the current game time.
  void AddSample();
  // The texture coordinate of a sample of that age (ms).
  float CoordinateAt(float age) const;

  const std::list<TrailSample>& Samples() const { return samples_; }

  float lifetime = 0;   // ms
  float fadeStart = 0;  // ms
  float userValue = 0;  // kept for scripts

 private:
  void AppendSample();
  // Drops the samples that reached their lifetime and draws a quad between
  // each pair of neighbours that remain.
  void DrawRibbon();

  std::list<TrailSample> samples_;  // oldest first
};

// The "Trail" class of a project state: metatable and creator.
void RegisterTrailClass(lua_State* L);
// The script constructor "Trail": a new trail (arguments ignored).
int NewTrailScript(lua_State* L);

}  // namespace GCore
