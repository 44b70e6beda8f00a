#include "net/GitModule.h"

#include <string>
#include <string_view>

#include "base/Log.h"
#include "core/ScriptVM.h"
#include "net/GitWorker.h"

namespace {

using namespace GCore;

int State(lua_State* L) {
  switch (GitWorkerState()) {
    case kGitExit: lua_pushliteral(L, "exit"); break;
    case kGitFinish: lua_pushliteral(L, "finish"); break;
    case kGitProc: lua_pushliteral(L, "proc"); break;
    case kGitIdle: lua_pushliteral(L, "idle"); break;
    default: lua_pushliteral(L, "busy"); break;
  }
  return 1;
}

// Answers true only when the worker is idle after the call: a command that
// was queued answers false, as does a call that was refused.
int Cmd(lua_State* L) {
  const int count = lua_gettop(L);
  if (count > kGitMaxArgs) {
    LogPrintf("git.c cmd refused: %d arguments, at most %d\n", count, kGitMaxArgs);
    lua_pushboolean(L, false);
    return 1;
  }
  std::string_view args[kGitMaxArgs];
  for (int i = 1; i <= count; ++i) {
    const int type = lua_type(L, i);
    if (type != LUA_TSTRING && type != LUA_TNUMBER) {
      LogPrintf("git.c cmd refused: argument %d is a %s, not a string or a number\n", i, lua_typename(L, type));
      lua_pushboolean(L, false);
      return 1;
    }
    size_t length = 0;
    const char* text = lua_tolstring(L, i, &length);
    args[i - 1] = std::string_view(text, length);
  }
  lua_pushboolean(L, QueueGitCommand(std::span(args, static_cast<size_t>(count))));
  return 1;
}

// Calls fn with the output gathered since the last call, while a command runs
// or once it has finished; the call that takes a finished command's output
// frees the worker for the next command.
int Update(lua_State* L) {
  luaL_checktype(L, 1, LUA_TFUNCTION);
  lua_settop(L, 1);
  std::string text;
  if (TakeGitMessages(text)) {
    lua_pushvalue(L, 1);
    lua_pushlstring(L, text.data(), text.size());
    ProtectedCall(L, 1);
  }
  return 0;
}

const luaL_Reg kGitFunctions[] = {
    {"state", State},
    {"cmd", Cmd},
    {"update", Update},
    {nullptr, nullptr},
};

}  // namespace

extern "C" int luaopen_git_c(lua_State* L) {
  StartGitWorker();
  luaL_newlib(L, kGitFunctions);
  return 1;
}
