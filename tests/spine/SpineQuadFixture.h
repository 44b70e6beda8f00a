#pragma once
// The display fixture (one project "p", a recording renderer, a resource
// manager) with the test skeleton of SpineQuadModel.h written under
// quadfix::kSkeletonId. Scripts see `gcore`, and `Listen(q, tag)`, which
// makes q's callback append "tag kind animation extra..." to `log` (tag "q"
// by default, kinds by name, every value through tostring).
#include "display/DisplayFixture.h"
#include "spinequad/SpineQuad.h"
#include "spine/SpineQuadModel.h"
#include "spine/SpineRecords.h"

class SpineQuadFixture : public DisplayFixture {
 protected:
  SpineQuadFixture() {
    root.Write("p/script/gameinit.lua", quadfix::kGameInit);
    quadfix::WriteSkeleton(root, "p", quadfix::kSkeletonId, quadfix::TwoBoneModel());
  }

  void SetUp() override {
    GCore::g_defaultAnimationName.clear();
    DisplayFixture::SetUp();
    Run(kListenScript);
  }

  void TearDown() override {
    DisplayFixture::TearDown();
    GCore::g_defaultAnimationName.clear();
  }

  // A quad of the test skeleton, held by the test, as a script global.
  GCore::SpineQuad* MakeQuad(const char* global, uint32_t id = quadfix::kSkeletonId) {
    GCore::SpineQuad* quad = Make<GCore::SpineQuad>(global);
    quad->SetMedia(id);
    EXPECT_NE(quad->GetSkeleton(), nullptr) << global;
    return quad;
  }

  // The callback lines since the last call, joined by " | ".
  std::string TakeEvents() {
    const std::string text = Eval("table.concat(log, ' | ')");
    Run("log = {}");
    return text;
  }

  // One frame's draw of the quad after a game step.
  void DrawAfter(GCore::DisplayObject* object, uint32_t ms) {
    Step(ms);
    object->Draw();
  }

  static constexpr const char* kListenScript = R"lua(
    gcore = require "gcore.c"
    local kinds = { [0] = "start", "interrupt", "end", "complete", "dispose", "event" }
    function Listen(q, tag)
      q.setListener(function(self, kind, name, ...)
        local parts = { tag or "q", kinds[kind] or tostring(kind), tostring(name) }
        for i = 1, select("#", ...) do parts[#parts + 1] = tostring((select(i, ...))) end
        log[#log + 1] = table.concat(parts, " ")
      end)
    end
  )lua";
};
