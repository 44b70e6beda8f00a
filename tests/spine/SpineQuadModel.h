#pragma once
// The skeleton of the SpineQuad tests, written into a game root as the
// engine finds it: "<project>/img/000/<n>.skel", ".atlas" and the page
// ".png" of a kind 8 id 0x8105000n (the root's "gameinit" maps folder 0x105
// to "img" and kind 8 to ".png").
//
// Two bones: "root", and "arm" 30 units along it. Slots in draw order:
// "body" (root, a 20 x 20 region centred on the root, slot colour red),
// "tip" (arm, a mesh square from (0, -10) to (20, 10) in the arm's space,
// slot colour blue) and "glow" (root, a 10 x 10 region, slot colour green,
// blend additive). The page is white. Animations: "walk" (1 s: the arm
// turns from 0 to 90 degrees, events "step" at 0.5 s with 7, 1.5, "left"
// and at 0.75 s with its defaults, "land" at 0.9 s), "jump" (0.5 s: the arm
// moves 10 up) and "idle" (1 s, no keys but one).
#include <cstdint>
#include <string>

#include "core/TempRoot.h"
#include "spine/SkelWriter.h"

namespace quadfix {

constexpr uint32_t kSkeletonId = 0x81050001;
constexpr uint32_t kOtherSkeletonId = 0x81050002;
constexpr float kArmX = 30;

skel::Skeleton TwoBoneModel();

// The atlas of the model: three 4 x 4 regions on a 16 x 16 page.
std::string AtlasText(const std::string& page);

// A game script of the fixture's mapping.
extern const char* const kGameInit;

// Writes the model's skeleton, its atlas and its page under the id.
void WriteSkeleton(const TempRoot& root, const std::string& project, uint32_t id,
                   const skel::Skeleton& model);

}  // namespace quadfix
