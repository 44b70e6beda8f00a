// The script members of the display classes and Matrix, driven by the
// table in members.lua: the default of every member, what an assignment
// leaves, and that no other name resolves (near misses, other classes'
// members, and names that share a member's KeyHash).
#include "DisplayFixture.h"

namespace {

class BindingMembers : public DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    if (luaL_dofile(L, QUARVELIN_TEST_DATA "/display/members.lua") != LUA_OK) {
      FAIL() << lua_tostring(L, -1);
    }
    lua_setglobal(L, "members");
  }
};

TEST_F(BindingMembers, TheStrangersShareTheirMembersHashes) {
  const std::pair<const char*, const char*> pairs[] = {
      {"x", "_daTX5A"},          {"width", "4aaoDlM"},   {"addChild", "Oba1kFq"},
      {"numChildren", "ZfarDmw"}, {"alpha", "HgaKIvD"},   {"getChildAt", "keaQACQ"},
      {"type", "ubaOnAX"},       {"name", "VjarVi3"},    {"broadcast", "tca77zU"},
      {"a", "6hagPo8"},
  };
  for (const auto& [member, stranger] : pairs) {
    EXPECT_EQ(GCore::KeyHash(member), GCore::KeyHash(stranger)) << member;
  }
}

TEST_F(BindingMembers, DisplayObject) { EXPECT_EQ(Eval("members.check('DisplayObject')"), ""); }

TEST_F(BindingMembers, DisplayObjectContainer) {
  EXPECT_EQ(Eval("members.check('DisplayObjectContainer')"), "");
}

TEST_F(BindingMembers, Entity) { EXPECT_EQ(Eval("members.check('Entity')"), ""); }

TEST_F(BindingMembers, Stage) { EXPECT_EQ(Eval("members.check('Stage')"), ""); }

TEST_F(BindingMembers, Quad) { EXPECT_EQ(Eval("members.check('Quad')"), ""); }

TEST_F(BindingMembers, Sprite) { EXPECT_EQ(Eval("members.check('Sprite')"), ""); }

TEST_F(BindingMembers, ParticleSystem) { EXPECT_EQ(Eval("members.check('ParticleSystem')"), ""); }

TEST_F(BindingMembers, Trail) { EXPECT_EQ(Eval("members.check('Trail')"), ""); }

TEST_F(BindingMembers, Shape) { EXPECT_EQ(Eval("members.check('Shape')"), ""); }

TEST_F(BindingMembers, Layout) { EXPECT_EQ(Eval("members.check('Layout')"), ""); }

TEST_F(BindingMembers, Matrix) { EXPECT_EQ(Eval("members.check('Matrix')"), ""); }

}  // namespace
