#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include <lua.hpp>

#include "core/LuaApiExt.h"
#include "core/Object.h"

namespace {

int g_destroyed = 0;

class Probe : public Object {
 public:
  static const GCore::ClassInfo classInfo;
  ~Probe() override { ++g_destroyed; }
  const GCore::ClassInfo* GetClassInfo() const override { return &classInfo; }
};
const GCore::ClassInfo Probe::classInfo = {"Probe", &Object::classInfo};

class SubProbe : public Probe {
 public:
  static const GCore::ClassInfo classInfo;
  const GCore::ClassInfo* GetClassInfo() const override { return &classInfo; }
};
const GCore::ClassInfo SubProbe::classInfo = {"SubProbe", &Probe::classInfo};

int NoMembers(lua_State*) { return 0; }

class ObjectModel : public ::testing::Test {
 protected:
  void SetUp() override {
    g_destroyed = 0;
    GCore::g_shuttingDown = false;
    L = luaL_newstate();
    luaL_openlibs(L);
    for (const GCore::ClassInfo* info : {&Probe::classInfo, &SubProbe::classInfo}) {
      GCore::NewClassMetatable(L, info, NoMembers, NoMembers);
      lua_pop(L, 1);
    }
  }
  void TearDown() override {
    lua_close(L);
    GCore::g_shuttingDown = false;
  }
  void Collect() { lua_gc(L, LUA_GCCOLLECT, 0); }

  lua_State* L = nullptr;
};

TEST(KeyHash, MatchesTheReferenceValues) {
  const struct {
    const char* key;
    uint32_t hash;
  } cases[] = {{"", 0}, {"a", 97}, {"ab", 12805}, {"\xC3\xA9", 2147475570u}};
  for (const auto& c : cases) EXPECT_EQ(GCore::KeyHash(c.key), c.hash) << c.key;
}

TEST_F(ObjectModel, RetainTwiceDropTwicePinsAndUnpinsOnce) {
  Probe* probe = GCore::NewObjectUserdata<Probe>(L);
  lua_pop(L, 1);
  probe->Retain();
  const int ref = probe->ref;
  EXPECT_GT(ref, 0);
  probe->Retain();
  EXPECT_EQ(probe->ref, ref) << "a second hold only counts";
  EXPECT_EQ(probe->count, 2);

  Collect();
  EXPECT_EQ(g_destroyed, 0) << "pinned objects survive collection";
  GCore::Drop(probe);
  EXPECT_EQ(probe->ref, ref);
  GCore::Drop(probe);
  EXPECT_EQ(probe->ref, -1);
  EXPECT_EQ(g_destroyed, 0) << "outside shutdown the collector destroys it";
  Collect();
  EXPECT_EQ(g_destroyed, 1);
}

TEST_F(ObjectModel, UnretainedObjectIsDestroyedOnceByTheCollector) {
  const int64_t live = GCore::g_liveObjects;
  GCore::NewObjectUserdata<Probe>(L);
  EXPECT_EQ(GCore::g_liveObjects, live + 1);
  lua_pop(L, 1);
  Collect();
  Collect();
  EXPECT_EQ(g_destroyed, 1);
  EXPECT_EQ(GCore::g_liveObjects, live);
}

TEST_F(ObjectModel, DuringShutdownTheLastDropDestroysAtOnce) {
  Probe* probe = GCore::NewObjectUserdata<Probe>(L);
  lua_setglobal(L, "keep");
  probe->Retain();
  GCore::g_shuttingDown = true;
  GCore::Drop(probe);
  EXPECT_EQ(g_destroyed, 1);
  lua_pushnil(L);
  lua_setglobal(L, "keep");
  Collect();
  EXPECT_EQ(g_destroyed, 1) << "the later __gc has no effect";
}

TEST_F(ObjectModel, RetainedHolderFollowsTheRule) {
  Probe* probe = GCore::NewObjectUserdata<Probe>(L);
  lua_pop(L, 1);
  {
    GCore::Retained<Probe> first(probe);
    GCore::Retained<Probe> second = first;
    EXPECT_EQ(probe->count, 2);
    Collect();
    EXPECT_EQ(g_destroyed, 0);
  }
  EXPECT_EQ(probe->count, 0);
  EXPECT_EQ(probe->ref, -1);
  Collect();
  EXPECT_EQ(g_destroyed, 1);
}

TEST_F(ObjectModel, PushUserdataPushesTheSameUserdata) {
  Probe* probe = GCore::NewObjectUserdata<Probe>(L);
  lua_pushuserdata(L, probe);
  EXPECT_TRUE(lua_rawequal(L, -1, -2));
  EXPECT_EQ(lua_touserdata(L, -1), probe);
}

TEST_F(ObjectModel, TracebackNeedsDebugAndKeepsTheStack) {
  lua_pushinteger(L, 7);
  const char* trace = lua_traceback(L);
  ASSERT_NE(trace, nullptr);
  EXPECT_NE(std::string(trace).find("stack traceback"), std::string::npos);
  EXPECT_EQ(lua_gettop(L), 1);

  lua_pushnil(L);
  lua_setglobal(L, "debug");
  EXPECT_EQ(lua_traceback(L), nullptr);
  EXPECT_EQ(lua_gettop(L), 1);
  EXPECT_EQ(lua_tointeger(L, 1), 7);
}

TEST_F(ObjectModel, CastAndCheckedConversion) {
  SubProbe* sub = GCore::NewObjectUserdata<SubProbe>(L);
  EXPECT_EQ(GCore::CastToClass(&Probe::classInfo, sub), sub);
  EXPECT_EQ(GCore::CastToClass(&SubProbe::classInfo, sub), sub);
  EXPECT_EQ(GCore::CastToClass(&Object::classInfo, sub), sub);
  EXPECT_EQ(GCore::CastToClass(&Probe::classInfo, nullptr), nullptr);
  EXPECT_EQ(GCore::ToObject<Probe>(L, -1), sub);

  GCore::NewObjectUserdata<Probe>(L);
  EXPECT_EQ(GCore::ToObject<SubProbe>(L, -1), nullptr) << "a parent is not its child";

  // Userdata that is not ours, whatever its size or metatable.
  lua_newuserdata(L, 256);
  EXPECT_EQ(GCore::ToObject(L, -1), nullptr);
  luaL_dostring(L, "return io.stdout");
  EXPECT_EQ(GCore::ToObject(L, -1), nullptr);
  lua_pushinteger(L, 3);
  EXPECT_EQ(GCore::ToObject(L, -1), nullptr);
}

TEST_F(ObjectModel, ForeignUserdataWithAnEngineMetatableIsRefused) {
  // A real object to take the metatable and the bytes from.
  Probe* probe = GCore::NewObjectUserdata<Probe>(L);
  const size_t size = lua_rawlen(L, -1);
  lua_setglobal(L, "probe");
  struct Case {
    const char* what;
    std::function<void()> push;
  };
  const std::vector<Case> cases = {
      {"a file handle", [&] { luaL_dostring(L, "return io.stdout"); }},
      {"a zeroed block of an object's size", [&] { std::memset(lua_newuserdata(L, size), 0, size); }},
      {"a copy of a live object's bytes", [&] { std::memcpy(lua_newuserdata(L, size), probe, size); }},
      {"an empty block", [&] { lua_newuserdata(L, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.push();
    lua_getglobal(L, "debug");
    lua_getfield(L, -1, "setmetatable");
    lua_pushvalue(L, -3);
    lua_getglobal(L, "probe");
    ASSERT_TRUE(lua_getmetatable(L, -1));
    lua_replace(L, -2);
    lua_call(L, 2, 0);
    lua_pop(L, 1);
    EXPECT_EQ(GCore::ToObject(L, -1), nullptr);
    EXPECT_EQ(GCore::ToObject<Probe>(L, -1), nullptr);
    // Its __gc must leave it alone too.
    lua_pushcfunction(L, GCore::LuaGcObject);
    lua_pushvalue(L, -2);
    lua_call(L, 1, 0);
    lua_pop(L, 1);
  }
  lua_getglobal(L, "probe");
  EXPECT_EQ(GCore::ToObject<Probe>(L, -1), probe) << "the real one is still taken";
  lua_pop(L, 1);
}

TEST_F(ObjectModel, EngineObjectGivenAnotherMetatableIsRefused) {
  Probe* probe = GCore::NewObjectUserdata<Probe>(L);
  lua_setglobal(L, "probe");
  // Each makes `other` a metatable that is not the engine's.
  const char* cases[] = {
      "other = {}",
      "other = {1, 2}",
      "other = getmetatable(io.stdout)",
      "other = {}; for k, v in pairs(debug.getmetatable(probe)) do if type(k) == 'string' then other[k] = v end end",
  };
  for (const char* c : cases) {
    SCOPED_TRACE(c);
    ASSERT_EQ(luaL_dostring(L, c), LUA_OK);
    ASSERT_EQ(luaL_dostring(L, "engine = debug.getmetatable(probe); debug.setmetatable(probe, other)"), LUA_OK);
    lua_getglobal(L, "probe");
    EXPECT_EQ(GCore::ToObject(L, -1), nullptr);
    lua_pop(L, 1);
    ASSERT_EQ(luaL_dostring(L, "debug.setmetatable(probe, engine)"), LUA_OK);
    lua_getglobal(L, "probe");
    EXPECT_EQ(GCore::ToObject<Probe>(L, -1), probe) << "its own metatable back, it is taken again";
    lua_pop(L, 1);
  }
}

int ObjectInFirstUpvalue(lua_State* L) {
  lua_pushboolean(L, GCore::ToObject<Probe>(L, lua_upvalueindex(1)) != nullptr);
  lua_pushboolean(L, GCore::ToObject<Probe>(L, lua_upvalueindex(2)) != nullptr);
  return 2;
}

TEST_F(ObjectModel, ObjectIsFoundAtEveryKindOfIndex) {
  Probe* probe = GCore::NewObjectUserdata<Probe>(L);
  lua_pushinteger(L, 1);
  EXPECT_EQ(GCore::ToObject<Probe>(L, 1), probe);
  EXPECT_EQ(GCore::ToObject<Probe>(L, -2), probe);
  EXPECT_EQ(GCore::ToObject<Probe>(L, 2), nullptr);
  EXPECT_EQ(GCore::ToObject<Probe>(L, 3), nullptr) << "an acceptable index above the top";
  EXPECT_EQ(GCore::ToObject<Probe>(L, LUA_REGISTRYINDEX), nullptr);
  lua_pop(L, 1);
  // A C closure with the object as its only upvalue: the second is absent.
  lua_pushcclosure(L, ObjectInFirstUpvalue, 1);
  lua_call(L, 0, 2);
  EXPECT_TRUE(lua_toboolean(L, -2));
  EXPECT_FALSE(lua_toboolean(L, -1));
  lua_pop(L, 2);
  EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ObjectModel, TokenOutsideTheArrayPartOfTheMetatableStillCounts) {
  Probe* probe = GCore::NewObjectUserdata<Probe>(L);
  lua_setglobal(L, "probe");
  // Three string keys leave one free node of four: key 1 goes there, not
  // into an array part, and the later stores only change existing keys.
  ASSERT_EQ(luaL_dostring(L,
                          "local engine = debug.getmetatable(probe)\n"
                          "local copy = {__index = false, __newindex = false, __gc = false}\n"
                          "copy[1] = engine[1]\n"
                          "copy.__index, copy.__newindex, copy.__gc = engine.__index, engine.__newindex, engine.__gc\n"
                          "debug.setmetatable(probe, copy)"),
            LUA_OK);
  lua_getglobal(L, "probe");
  EXPECT_EQ(GCore::ToObject<Probe>(L, -1), probe);
  lua_pop(L, 1);
}

TEST_F(ObjectModel, DestroyedObjectIsRefused) {
  Probe* probe = GCore::NewObjectUserdata<Probe>(L);
  probe->Retain();
  GCore::g_shuttingDown = true;
  GCore::Drop(probe);
  EXPECT_EQ(GCore::ToObject(L, -1), nullptr);
}

TEST_F(ObjectModel, ScriptCallingGcTwiceIsHarmless) {
  GCore::NewObjectUserdata<Probe>(L);
  lua_setglobal(L, "p");
  ASSERT_EQ(luaL_dostring(L, "local gc = debug.getmetatable(p).__gc; gc(p); gc(p); p = nil"), LUA_OK);
  Collect();
  EXPECT_EQ(g_destroyed, 1);
}

}  // namespace
