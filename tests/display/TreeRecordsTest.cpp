// What the display tree keeps so as not to climb or walk it (each object's
// place, the records of what is marked dirty already) against a plain
// recomputation, after mixed insertions, removals and moves: a stale record
// shows as a wrong level, root, listener or stage membership, or as dirty
// bits, draw-changed marks and events that differ from a run that trusts no
// record.
#include <sstream>
#include <string>
#include <vector>

#include "DisplayFixture.h"
#include "display/DirtyMarks.h"
#include "display/DisplayObjectContainer.h"
#include "display/Entity.h"
#include "display/TextQuad.h"
#include "display/TreePlace.h"

namespace {

using GCore::DisplayObject;
using GCore::DisplayObjectContainer;
using GCore::Entity;

DisplayObjectContainer* AsContainer(DisplayObject* object) {
  return static_cast<DisplayObjectContainer*>(
      GCore::CastToClass(&DisplayObjectContainer::classInfo, object));
}

int ForgetRecords(lua_State*) {
  GCore::NewMarksEpoch();
  GCore::TreeChanged();
  return 0;
}

class TreeRecordsTest : public DisplayFixture {
 protected:
  // S is the stage; a to f entities, t a text, p and q probes. Entities and
  // the text are script globals of their own names.
  void MakeObjects() {
    objects.clear();
    objects.push_back(stage);
    for (const char* global : {"a", "b", "c", "d", "e", "f"}) objects.push_back(Make<Entity>(global, global));
    objects.push_back(Make<GCore::TextQuad>("t", "t"));
    objects.push_back(MakeProbe("p", {0, 0, 10, 10}));
    objects.push_back(MakeProbe("q", {5, 5, 10, 10}));
  }

  DisplayObject* Named(char letter) const {
    if (letter == 'S') return stage;
    for (DisplayObject* object : objects) {
      if (object->name.size() == 1 && object->name[0] == letter) return object;
    }
    ADD_FAILURE() << "no object " << letter;
    return stage;
  }

  DisplayObjectContainer* Container(char letter) const {
    DisplayObjectContainer* container = AsContainer(Named(letter));
    EXPECT_NE(container, nullptr) << letter << " holds no children";
    return container;
  }

  // "a+b" adds b to a, "a-b" removes it, "a*" empties a; "x:b" moves b,
  // "hide:b" hides it,
  // "c:b" marks its colour, "u:b" brings its world transform up to date,
  // "hear:b" gives b a recorder, "trap:b" the handler below; "set:b",
  // "hide:b", "show:b" and "look:b" are a script's assignment to b's x, its
  // visibility, and a lookup of one of its methods; "draw" updates and draws
  // the stage.
  void Apply(const std::string& op) {
    if (op == "draw") {
      stage->Update();
      stage->Draw();
    } else if (op.size() == 3 && op[1] == '+') {
      Container(op[0])->AddChild(Named(op[2]), 0);
    } else if (op.size() == 3 && op[1] == '-') {
      Container(op[0])->RemoveChild(Named(op[2]));
    } else if (op.size() == 2 && op[1] == '*') {
      Container(op[0])->RemoveAllChildren();
    } else if (op.rfind("x:", 0) == 0) {
      DisplayObject* object = Named(op[2]);
      object->SetX(object->PivotPointX() + 1);
      ExpectMarkedUp(object, op);
    } else if (op.rfind("hide:", 0) == 0) {
      Named(op[5])->visible = false;
    } else if (op.rfind("c:", 0) == 0) {
      Named(op[2])->Invalidate(false);
    } else if (op.rfind("u:", 0) == 0) {
      Named(op[2])->UpdateWorldTransform();
    } else if (op.rfind("set:", 0) == 0) {
      Run(std::string(1, op[4]) + ".x = " + op[4] + ".x + 1");
    } else if (op.rfind("hide:", 0) == 0 || op.rfind("show:", 0) == 0) {
      Run(std::string(1, op[5]) + ".visible = " + (op[0] == 's' ? "true" : "false"));
    } else if (op.rfind("look:", 0) == 0) {
      Run(std::string("local _ = ") + op[5] + ".addChild");
    } else if (op.rfind("hear:", 0) == 0) {
      Run(std::string(1, op[5]) + ".c_r = Recorder('" + op[5] + "')");
    } else if (op.rfind("trap:", 0) == 0) {
      // Leaving, the object moves a, puts the text under c and moves d (a
      // run that trusts no record forgets them between the three).
      Run(std::string(1, op[5]) +
          ".c_trap = setmetatable({}, {onRemove = function()\n"
          "  a.x = a.x + 1; forget(); c.addChild(t); forget(); d.x = d.x + 1\n"
          "end})");
    } else {
      ADD_FAILURE() << "unknown step " << op;
    }
  }

  // What a move leaves, whatever records it trusted: the bounds bit on the
  // object and its ancestors but the root, the draw-changed mark on all.
  void ExpectMarkedUp(DisplayObject* object, const std::string& after) {
    for (DisplayObject* up = object; up; up = up->parent) {
      SCOPED_TRACE(up->name + " after " + after);
      EXPECT_TRUE(up->drawChanged);
      if (up->parent) {
        EXPECT_TRUE(up->dirty & GCore::kDirtyBounds);
      }
    }
  }

  // Every object's place as its own climb finds it.
  void ExpectPlacesAsClimbed(const std::string& after) {
    for (DisplayObject* object : objects) {
      SCOPED_TRACE(object->name + " after " + after);
      int32_t level = 0;
      DisplayObject* root = object;
      DisplayObject* listener = nullptr;
      bool underStage = false;
      for (DisplayObject* up = object; up; up = up->parent) {
        if (!listener && up->ListensToEvents()) listener = up;
        underStage = underStage || up == stage;
        root = up;
        if (up != object) ++level;
      }
      const GCore::TreePlace& place = GCore::PlaceOf(object);
      EXPECT_EQ(place.level, level);
      EXPECT_EQ(place.root, root);
      EXPECT_EQ(place.listener, listener);
      if (DisplayObjectContainer* container = AsContainer(object)) {
        EXPECT_EQ(container->IsUnderCurrentStage(), underStage);
      }
    }
  }

  // One line per step: the step, every object's dirty bits (with a star when
  // it is marked changed for drawing), the events.
  // `trusting`: the records kept so far may be used; else each step starts
  // with none.
  std::vector<std::string> Trace(const std::vector<std::string>& ops, bool trusting) {
    MakeObjects();
    lua_pushcfunction(L, trusting ? +[](lua_State*) { return 0; } : &ForgetRecords);
    lua_setglobal(L, "forget");
    // Both runs start from the same stage: empty and drawn.
    Apply("draw");
    TakeLog();
    std::vector<std::string> lines;
    for (const std::string& op : ops) {
      if (!trusting) ForgetRecords(L);
      Apply(op);
      ExpectPlacesAsClimbed(op);
      std::ostringstream line;
      line << op << " |";
      for (DisplayObject* object : objects) {
        line << ' ' << (object == stage ? "S" : object->name) << static_cast<int>(object->dirty)
             << (object->drawChanged ? "*" : "");
      }
      line << " | " << TakeLog();
      lines.push_back(line.str());
    }
    // The next run starts from an empty stage.
    stage->RemoveAllChildren();
    for (DisplayObject* object : objects) {
      if (DisplayObjectContainer* container = AsContainer(object)) container->RemoveAllChildren();
    }
    TakeLog();
    return lines;
  }

  std::vector<DisplayObject*> objects;
};

std::vector<std::string> Steps(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> steps;
  for (std::string step; in >> step;) steps.push_back(step);
  return steps;
}

TEST_F(TreeRecordsTest, RecordsAgreeWithARecomputationAfterEveryStep) {
  const struct {
    const char* name;
    const char* steps;
  } cases[] = {
      {"a chain built downwards, drawn, cut and marked",
       "hear:a hear:c S+a a+b b+c c+p draw x:p c:b draw b-c S+c x:p draw c+d d+q x:q draw"},
      {"a chain built upwards, then put on the stage",
       "hear:b c+p b+c a+b S+a draw x:c e+f d+e c+d draw x:f c:a draw"},
      {"a branch moved within its tree",
       "hear:d S+a a+b b+c S+d d+e draw d+b x:c draw a+b x:e draw e+b draw"},
      {"a container emptied, its children put back elsewhere",
       "hear:a hear:b S+a a+b a+c b+p draw a* b+c S+b x:c draw a+b x:p draw"},
      {"listeners appearing under drawn objects",
       "S+a a+b b+c draw hear:b c+p x:p draw hear:c b-c S+c draw hear:a a+c draw"},
      {"a subtree drawn alone, then moved under a marked one",
       "a+b b+p u:p S+c c+d d+a draw x:p S+e e+a x:e draw"},
      // A move of an object already moved since the last draw marks nothing
      // anew when its record stands: the record must not outlive a new place.
      {"an object moved again, between and after changes of its parents",
       "S+a a+b b+p draw x:p x:p c+p x:p S+c x:p draw x:p b+c x:p x:c x:c draw"},
      // What a hidden container holds is not drawn: its bits outlive the
      // draw that clears their ancestors', and so does the record of a move.
      {"an object under a hidden one moved before and after a draw",
       "S+a a+b b+p draw x:p hide:b draw x:p x:p draw x:p"},
      // A text marks only itself when it arrives: its clean child must keep
      // the tree above from being taken for wholly dirty.
      {"a text with a clean child joining a marked tree", "t+q u:q e+a a+t x:e c:e"},
      // While a container empties itself it still lists the children it has
      // unlinked: the text joins one of them.
      {"a text joining a child that its container has let go",
       "t+q u:q S+d d+a a+b a+c x:a trap:b hear:c a* draw"},
      // A draw clears the marks above an invisible entity and leaves its
      // own and those below it set: a set mark there proves nothing above.
      // (A lookup marks nothing but the draw-changed marks.)
      {"script changes below an invisible entity after a draw",
       "S+a a+b b+c c+d draw hide:b draw look:d draw look:d set:d draw look:c hide:c draw look:d draw "
       "look:d show:b set:d draw look:d"},
      {"script changes in a subtree drawn, hidden and moved",
       "S+a a+b b+c c+d draw look:d set:c hide:c draw set:d S+e e+c set:d draw hide:e draw "
       "look:d b+c set:d draw set:d c-d set:d S+d set:d draw"},
      {"script changes in a tree built upwards, then hidden at the top",
       "c+d b+c set:d a+b hide:a S+a draw set:d draw show:a set:d draw u:d set:d c:b draw set:c"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string> steps = Steps(c.steps);
    const std::vector<std::string> trusted = Trace(steps, true);
    const std::vector<std::string> recomputed = Trace(steps, false);
    ASSERT_EQ(trusted.size(), recomputed.size());
    for (size_t i = 0; i < trusted.size(); ++i) EXPECT_EQ(trusted[i], recomputed[i]);
  }
}

}  // namespace
