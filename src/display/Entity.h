#pragma once
// The container that scripts extend with behaviour: script components (tables
// kept under keys beginning with "c_") that receive the events reaching the
// entity, "init" when attached, "destroy" when replaced, and, through the
// stage, "start", "update" and "close"; and a free data table.
// The component table and the data table live in the registry of the
// entity's own Lua state. A component without the called function is
// skipped silently; a component's error is printed by the shared message
// handler and the walk goes on. Main thread only.
#include <optional>
#include <string>

#include "display/DisplayObjectContainer.h"

namespace GCore {

class Entity : public DisplayObjectContainer {
 public:
  static const ClassInfo classInfo;

  explicit Entity(lua_State* L);
  ~Entity() override;
  const ClassInfo* GetClassInfo() const override { return &classInfo; }

  // The container copy, the template name, a shallow copy of each component
  // (given "init") and of the data table.
  void CopyFrom(DisplayObject* source) override;
  void GetOwnerEntity(Retained<Entity>& out) override;
  // Calls each component's function of the event's name as
  // f(component, target, arg); false.
  bool HandleEvent(const char* name, DisplayObject* target, const char* arg) override;
  // From the first component attached or the first time scripts got hold of
  // the component table (which they may fill themselves), for good.
  bool ListensToEvents() const override { return listening_; }
  // Called when the component table may hold something from now on.
  void MarkListening();
  const char* GetClassName() const override { return "Entity"; }

  // Calls `method` on every component with `count` values of L's stack from
  // absolute index `first` as further arguments; when recursive, then on
  // every entity child in index order, depth first. The stack is kept.
  void CallComponents(lua_State* L, const char* method, bool recursive, int first, int count);
  // Whether the component table holds anything (in L, the entity's state).
  // An entity whose table was never made has none, which is answered without
  // touching the script state: most entities never get a component.
  bool HasComponents(lua_State* L) const;
  // Pushes the component table, made on first use.
  void PushComponentTable(lua_State* L);
  // Attaches the component on top of L's stack (left there): its entry in
  // the global table com_map, then its "init".
  void AttachComponent(lua_State* L);
  // Pushes the data table, made on first use.
  void PushDataTable(lua_State* L);

  // The script keys that belong to entities: children by number, "c_"
  // components, `b` (template name), `c` (component table), `d` (data
  // table) and `broadcast`. Called with the entity at 1 and the key at 2 (and
  // the value at 3). IndexOwnKey returns the number of results, or -1 when
  // the key is not the entity's and the container's members must answer;
  // NewIndexOwnKey returns false in that case (after cancelling a key track
  // of that name unless tracks are being applied).
  static int IndexOwnKey(lua_State* L, Entity* self);
  static bool NewIndexOwnKey(lua_State* L, Entity* self);

  int32_t componentTable = LUA_NOREF;  // registry reference, LUA_NOREF until made
  int32_t dataTable = 0;               // registry reference, 0 until made

  // The template this entity is an instance of; null for any other.
  const std::string* TemplateName() const {
    return extras && extras->templateName ? &*extras->templateName : nullptr;
  }
  void SetTemplateName(std::optional<std::string> templateName);

 private:
  bool listening_ = false;
};

// The "Entity" class in a script state: metatable and factory creator.
void RegisterEntityClass(lua_State* L);
// The script constructor "Entity": a new entity, owned by the collector until
// someone holds it. Arguments are ignored.
int NewEntityScript(lua_State* L);

}  // namespace GCore
