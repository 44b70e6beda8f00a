// "gcore.c" on the display tree: UI templates and the UI cache, node and
// component lookups, copies and placement; and GetCode on a project script.
#include "DisplayFixture.h"
#include "display/Entity.h"

namespace {

class GCoreScene : public DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    Run(R"lua(
      g = require "gcore.c"
      g_dir = { [0x01060000] = "ui", [0x01040000] = "pscripts" }
      g_ext = { [0x10000000] = ".lua" }
      runs = 0
    )lua");
  }
};

TEST_F(GCoreScene, FindNodeWalksEntitiesByName) {
  Run(R"lua(
    local stage = g.Stage()
    local a, b, plain = g.Entity(), g.Entity(), g.DisplayObject()
    a.name, b.name, plain.name = "a", "b", "plain"
    local c = g.Entity()
    c.name = "c"
    stage.addChild(a)
    a.addChild(b)
    a.addChild(plain)
    b.addChild(c)
    nodes = { a = a, b = b, c = c }
  )lua");
  struct Case {
    const char* call;
    const char* result;
  };
  const Case cases[] = {
      {"g.FindNode('a', '/') == nodes.a", "true"},
      {"g.FindNode('a/b/c', '/') == nodes.c", "true"},
      {"g.FindNode('a.b', '.') == nodes.b", "true"},
      {"g.FindNode('a/b', './') == nil", "true"},  // only the first character cuts
      {"g.FindNode('a/plain', '/') == nil", "true"},  // not an Entity
      {"g.FindNode('a/plain/x', '/') == nil", "true"},
      {"g.FindNode('a/missing/c', '/') == nil", "true"},
      {"g.FindNode('a/b/', '/') == nil", "true"},
      {"g.FindNode('a', '') == nodes.a", "true"},  // no separator: one segment
      {"g.FindNode('a') == nil and g.FindNode(nil, '/') == nil", "true"},
  };
  for (const Case& c : cases) EXPECT_EQ(Eval(c.call), c.result) << c.call;
  // The script's string is read, never cut.
  EXPECT_EQ(Eval("(function() local p = 'a/missing/c' g.FindNode(p, '/') return p end)()"), "a/missing/c");
}

TEST_F(GCoreScene, GetComInstFindsAComponentOnTheStagesChildren) {
  Run(R"lua(
    local first, second = g.Entity(), g.Entity()
    g.Stage().addChild(g.DisplayObject())
    g.Stage().addChild(first)
    g.Stage().addChild(second)
    hero = { [0] = "c_hero" }
    second.c_hero = hero
  )lua");
  EXPECT_EQ(Eval("g.GetComInst({ [0] = 'c_hero' }) == hero"), "true");
  EXPECT_EQ(Eval("select('#', g.GetComInst({ [0] = 'c_none' }))"), "0");
  EXPECT_EQ(Eval("select('#', g.GetComInst({}))"), "0");
  EXPECT_EQ(Eval("select('#', g.GetComInst('c_hero'))"), "0");
}

TEST_F(GCoreScene, CloneCopiesAnObjectIntoANewOneOfItsClass) {
  EXPECT_EQ(Eval(R"lua((function()
    local e = g.Entity()
    e.name, e.tag = "original", 7
    e.addChild(g.Quad())
    local copy = g.Clone(e)
    return copy ~= e and copy.name == "original" and copy.tag == 7 and copy.numChildren == 1
      and copy.type == e.type
  end)())lua"),
            "true");
  EXPECT_EQ(Eval("select('#', g.Clone(nil)) + select('#', g.Clone(g.Matrix())) + select('#', g.Clone({}))"), "0");
}

TEST_F(GCoreScene, TsmAddsOrRemovesThePlacement) {
  Run("q = g.DisplayObject() q.x = 10 q.y = 20");
  const std::string there = Eval("table.concat({g.TSM(q, 'add', 1, 2)}, ' ')");
  EXPECT_NE(there, "1.0 2.0") << "the placement moves the point";
  const std::string back =
      Eval("(function() local x, y = g.TSM(q, 'add', 1, 2) return table.concat({g.TSM(q, 'p', x, y)}, ' ') end)()");
  EXPECT_EQ(back, "1.0 2.0") << "'p' removes what the other modes add (" << there << ")";
  EXPECT_EQ(Eval("select(2, g.TSM(q, 'add', 1))"), "nil") << "a coordinate not given";
  EXPECT_EQ(Eval("tostring(g.TSM(q, 'add', nil, 5))"), "nil");
  EXPECT_EQ(Eval("select('#', g.TSM(nil, 'add', 1, 2))"), "0");
}

TEST_F(GCoreScene, TemplatesByNameAreMadeOnceAndCopied) {
  root.Write("p/script/ui/panel.lua", R"lua(
    local g = require "gcore.c"
    runs = runs + 1
    local t = g.Entity()
    t.tag = 33
    t.c_panel = { kind = "panel" }
    g.cacheUI(t)
  )lua");
  EXPECT_EQ(Eval("(function() a = g.loadUI('ui.panel') return a ~= nil end)()"), "true");
  EXPECT_EQ(Eval("(function() b = g.loadUI('ui.panel') return b ~= nil and b ~= a end)()"), "true");
  EXPECT_EQ(Eval("runs"), "1") << "the template is made once";
  EXPECT_EQ(Eval("a.tag .. ' ' .. a.c_panel.kind .. ' ' .. a.b"), "33 panel ui.panel");
  EXPECT_EQ(Eval("a.c_panel ~= b.c_panel"), "true") << "each copy has its own components";
  EXPECT_EQ(Eval("g.IsCached(a) and not g.IsCached(g.Entity()) and not g.IsCached(nil)"), "true");
  EXPECT_EQ(Eval("g.getCacheUI('ui.panel').tag"), "33") << "the template itself";
  EXPECT_EQ(Eval("g.getCacheUI('ui.none')"), "nil");
  Run("g.uncacheUI('ui.panel')");
  EXPECT_EQ(Eval("g.getCacheUI('ui.panel')"), "nil");
  // The module is required already, so its script does not run again: no
  // template until the script is unloaded too.
  EXPECT_EQ(Eval("g.loadUI('ui.panel')"), "nil");
  Run("package.loaded['ui.panel'] = nil c = g.loadUI('ui.panel')");
  EXPECT_EQ(Eval("runs .. ' ' .. c.tag"), "2 33");
  Run("g.cacheUI(g.Entity()) g.removeAllCacheUI()");
  EXPECT_EQ(manager->GetProject(1)->uiCache->NumChildren(), 0);
}

TEST_F(GCoreScene, TemplatesFromAPathOrAnId) {
  root.Write("p/elsewhere.lua", R"lua(
    local g = require "gcore.c"
    runs = runs + 1
    g.cacheUI(g.Quad())
  )lua");
  EXPECT_EQ(Eval("(function() local q = g.loadUI('quad', '" + root.Path("p/elsewhere.lua") +
                 "') return q.type end)()"),
            Eval("g.Quad().type"));
  // By id: the file of the id, here ui/0001.lua.
  root.Write("p/ui/0001.lua", R"lua(
    local g = require "gcore.c"
    runs = runs + 1
    local t = g.Entity()
    t.name = "by id"
    g.cacheUI(t)
  )lua");
  EXPECT_EQ(Eval("g.loadUI(0x11060001).name .. ' / ' .. g.loadUI(0x11060001).b"), "by id / 285605889");
  EXPECT_EQ(Eval("runs"), "2");
  // No file, or a script that caches nothing: nil.
  EXPECT_EQ(Eval("g.loadUI(0x11060002)"), "nil");
  root.Write("p/script/ui/empty.lua", "runs = runs + 1");
  EXPECT_EQ(Eval("g.loadUI('ui.empty')"), "nil");
  EXPECT_EQ(Eval("g.loadUI()"), "nil");
}

TEST_F(GCoreScene, GetCodeReadsALineOfAProjectScript) {
  root.Write("p/pscripts/p_code.lua",
             "local M = {}\n"
             "function M.f()\n"
             "  local\tx = 1 -- first\n"
             "  return x\n"
             "end\n"
             "return M\n");
  Run("M = require 'p_code'");
  EXPECT_EQ(Eval("g.GetCode(1, M.f)"), "localx=1--first\n");
  EXPECT_EQ(Eval("g.GetCode(0, M.f)"), "functionM.f()\n");
  EXPECT_EQ(Eval("g.GetCode(4, M.f)"), "returnM\n");
  EXPECT_EQ(Eval("'[' .. g.GetCode(100, M.f) .. ']'"), "[]") << "beyond the first block";
  EXPECT_EQ(Eval("select('#', g.GetCode(1, print))"), "0") << "not a script function";
  EXPECT_EQ(Eval("select('#', g.GetCode(1, function() end))"), "0") << "not a 'p' script";
  EXPECT_EQ(Eval("select('#', g.GetCode(1))"), "0");
}

}  // namespace
