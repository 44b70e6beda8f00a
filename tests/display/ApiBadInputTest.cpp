// Every "gcore.c" function called with arguments of every wrong kind: a
// clear script error or a quiet result, never a crash (run under the
// sanitizers).
#include "DisplayFixture.h"

namespace {

class ApiBadInput : public DisplayFixture {};

TEST_F(ApiBadInput, EveryFunctionSurvivesEveryKindOfArgument) {
  Run(R"lua(
    local g = require "gcore.c"
    -- Functions that leave the test process's world: a desktop program, the loop's end.
    local skip = { OpenURL = true }
    local dead = g.Entity()
    dead = nil
    collectgarbage()
    local values = { nil, 0, -1, 1.5, 1e308, -1e308, 0/0, math.mininteger, "", "x", "0x10", {}, { x = 1 },
                     io.stdout, coroutine.create(function() end), print, true, false,
                     g.Entity(), g.DisplayObject(), g.Quad(), g.Matrix(), g.Stage() }
    local names = {}
    for name, f in pairs(g) do
      if type(f) == "function" and not skip[name] then names[#names + 1] = name end
    end
    table.sort(names)
    calls = 0
    for _, name in ipairs(names) do
      local f = g[name]
      pcall(f)
      for i = 1, #values + 1 do
        local a = values[i]
        pcall(f, a)
        pcall(f, a, a)
        pcall(f, a, 1, a, 2, a)
        calls = calls + 3
      end
    end
  )lua");
  EXPECT_GT(std::stoi(Eval("calls")), 1000);
  GCore::g_runState = GCore::kRunRunning;
  GCore::g_restart = GCore::RestartRequest{};
}

}  // namespace
