// The eris stream from C: streams written with the field widths of other
// builds, userdata, yields the stream cannot hold, and thread records whose
// frames point outside the rebuilt stack.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz/ErisSandbox.h"
#include "modules/Eris.h"
#include "modules/StdLibs.h"

namespace {

struct LuaCloser {
  void operator()(lua_State* L) const { lua_close(L); }
};

class ErisStream : public testing::Test {
 protected:
  void SetUp() override {
    L_.reset(luaL_newstate());
    ASSERT_TRUE(L_);
    luaL_openlibs(L());
    Run("package.path = '" QUARVELIN_TEST_DATA "/lua/?.lua'; same = require('testlib').same");
  }

  lua_State* L() { return L_.get(); }

  // Runs a chunk; its results stay on the stack.
  void Run(const std::string& chunk) {
    ASSERT_EQ(luaL_loadstring(L(), chunk.c_str()), LUA_OK) << lua_tostring(L(), -1);
    ASSERT_EQ(lua_pcall(L(), 0, LUA_MULTRET, 0), LUA_OK) << lua_tostring(L(), -1);
  }

  // The stream of global `name`, written with the given widths and the
  // permanents in global `perms`; on failure "" and the message in `error_`.
  std::string Persist(const char* name, GCore::ErisWidths widths = {}) {
    struct Call {
      const char* name;
      GCore::ErisWidths widths;
      std::string out;
    } call{name, widths, {}};
    lua_pushcfunction(L(), [](lua_State* L) {
      auto* c = static_cast<Call*>(lua_touserdata(L, 1));
      lua_settop(L, 0);
      lua_getglobal(L, "perms");
      lua_getglobal(L, c->name);
      GCore::ErisDumpWithWidths(
          L,
          [](lua_State*, const void* p, size_t n, void* out) {
            static_cast<std::string*>(out)->append(static_cast<const char*>(p), n);
            return 0;
          },
          &c->out, c->widths);
      return 0;
    });
    lua_pushlightuserdata(L(), &call);
    error_.clear();
    if (lua_pcall(L(), 1, 0, 0) != LUA_OK) {
      error_ = lua_tostring(L(), -1);
      lua_pop(L(), 1);
      return "";
    }
    return call.out;
  }

  // Unpersists with the permanents in global `unperms`: "" and the value in
  // global `restored`, or the error message.
  std::string Unpersist(const std::string& stream) {
    lua_getglobal(L(), "eris");
    lua_getfield(L(), -1, "unpersist");
    lua_getglobal(L(), "unperms");
    lua_pushlstring(L(), stream.data(), stream.size());
    std::string error;
    if (lua_pcall(L(), 2, 1, 0) == LUA_OK) {
      lua_setglobal(L(), "restored");
    } else {
      error = lua_tostring(L(), -1);
      lua_pop(L(), 1);
    }
    lua_pop(L(), 1);
    return error;
  }

  std::unique_ptr<lua_State, LuaCloser> L_;
  std::string error_;
};

TEST_F(ErisStream, StreamsOfOtherFieldWidthsReadBack) {
  ASSERT_EQ(luaL_loadstring(L(), kErisExampleValues), LUA_OK);
  ASSERT_EQ(lua_pcall(L(), 0, 2, 0), LUA_OK) << lua_tostring(L(), -1);
  lua_setglobal(L(), "unperms");
  lua_setglobal(L(), "rich");
  Run("perms = {}; for name, value in pairs(unperms) do perms[value] = name end");
  // (4, 4) is what a 32-bit build writes.
  for (int int_width : {2, 4, 8}) {
    for (int size_width : {2, 4, 8}) {
      SCOPED_TRACE(testing::Message() << "int " << int_width << ", size_t " << size_width);
      const std::string stream = Persist("rich", {int_width, size_width});
      ASSERT_EQ(stream[14], int_width);
      ASSERT_EQ(stream[15], size_width);
      ASSERT_EQ(Unpersist(stream), "");
      Run(R"(
        for name, value in pairs(rich) do
          if name ~= "special" then assert(same(value, restored[name]), name) end
        end
        -- A special table is what its restore function made.
        assert(restored.special.v == 1 and getmetatable(restored.special) == nil)
        local ok, v, x = coroutine.resume(restored.coroutine[1], "answer")
        assert(ok and v == "answer" and x == 5 and restored.coroutine[2]() == 5)
        assert(restored.closures[1]() == 1 and restored.closures[2]() == 1)
      )");
    }
  }
}

TEST_F(ErisStream, WideIntsMustFitAnInt) {
  Run("perms, unperms, value = {}, {}, 1");
  std::string stream = Persist("value", {8, 8});
  ASSERT_EQ(Unpersist(stream), "");
  // The tag of the number record, 3, becomes 2^31.
  const size_t tag = 16;
  ASSERT_EQ(stream[tag], 3);
  stream.replace(tag, 8, std::string("\x00\x00\x00\x80\x00\x00\x00\x00", 8));
  EXPECT_NE(Unpersist(stream).find("int value would get truncated"), std::string::npos);
}

TEST_F(ErisStream, NarrowFieldsRefuseValuesThatDoNotFit) {
  Run("perms, value = {}, string.rep('x', 70000)");
  lua_pushcfunction(L(), [](lua_State* L) {
    lua_settop(L, 0);
    lua_getglobal(L, "perms");
    lua_getglobal(L, "value");
    GCore::ErisDumpWithWidths(
        L, [](lua_State*, const void*, size_t, void*) { return 0; }, nullptr, {4, 2});
    return 0;
  });
  ASSERT_NE(lua_pcall(L(), 0, 0, 0), LUA_OK);
  EXPECT_NE(std::string(lua_tostring(L(), -1)).find("size_t value would get truncated"), std::string::npos);
}

// Userdata made from C: `box(text)` holds the bytes of `text`.
int NewBox(lua_State* L) {
  size_t size = 0;
  const char* text = luaL_checklstring(L, 1, &size);
  std::memcpy(lua_newuserdata(L, size), text, size);
  return 1;
}

int BoxText(lua_State* L) {
  lua_pushlstring(L, static_cast<const char*>(lua_touserdata(L, 1)), lua_rawlen(L, 1));
  return 1;
}

TEST_F(ErisStream, UserdataBytesMetatablesAndUserValues) {
  lua_register(L(), "box", NewBox);
  lua_register(L(), "boxtext", BoxText);
  Run(R"(
    perms = {[_ENV] = "_ENV"}
    unperms = {_ENV = _ENV}
    plain = box("refused")
    literal = box("hello\0world")
    debug.setmetatable(literal, {__persist = true, kind = "literal"})
    debug.setuservalue(literal, {"not written"})
    -- A __persist function can carry the user value too.
    carried = box("carried")
    debug.setmetatable(carried, {__persist = function(u)
      local text, value = boxtext(u), debug.getuservalue(u)
      return function()
        local v = box(text)
        debug.setuservalue(v, value)
        return v
      end
    end})
    debug.setuservalue(carried, {note = "kept"})
  )");
  EXPECT_EQ(Persist("plain"), "");
  EXPECT_NE(error_.find("attempt to literally persist userdata"), std::string::npos) << error_;
  ASSERT_EQ(Unpersist(Persist("literal")), "");
  Run("assert(boxtext(restored) == 'hello\\0world' and getmetatable(restored).kind == 'literal')"
      "assert(debug.getuservalue(restored) == nil)");
  ASSERT_EQ(Unpersist(Persist("carried")), "");
  Run("assert(boxtext(restored) == 'carried' and debug.getuservalue(restored).note == 'kept')");
}

void YieldingHook(lua_State* L, lua_Debug*) { lua_yield(L, 0); }

TEST_F(ErisStream, AYieldInsideAHookIsRefused) {
  Run("perms = {[_ENV] = '_ENV'}; hooked = coroutine.create(function() local x = 1; x = x + 1; return x end)");
  lua_getglobal(L(), "hooked");
  lua_State* co = lua_tothread(L(), -1);
  lua_pop(L(), 1);
  lua_sethook(co, YieldingHook, LUA_MASKCOUNT, 1);
  ASSERT_EQ(lua_resume(co, L(), 0), LUA_YIELD);
  lua_getglobal(L(), "eris");
  lua_getfield(L(), -1, "persist");
  lua_getglobal(L(), "perms");
  lua_getglobal(L(), "hooked");
  ASSERT_NE(lua_pcall(L(), 2, 1, 0), LUA_OK);
  EXPECT_NE(std::string(lua_tostring(L(), -1)).find("cannot persist yielded hooks"), std::string::npos);
}

// A C function that calls its argument through lua_callk: suspended inside
// it, the coroutine holds a continuation in a frame of status 0.
int AfterCall(lua_State* L, int, lua_KContext ctx) {
  lua_pushinteger(L, static_cast<lua_Integer>(ctx));
  return lua_gettop(L);
}

int CallWithContinuation(lua_State* L) {
  lua_callk(L, lua_gettop(L) - 1, LUA_MULTRET, 42, AfterCall);
  return AfterCall(L, LUA_OK, 42);
}

// The same with a context that an int of the stream cannot hold.
int CallWithWideContext(lua_State* L) {
  constexpr lua_KContext kWide = lua_KContext{1} << 40;
  lua_callk(L, lua_gettop(L) - 1, LUA_MULTRET, kWide, AfterCall);
  return AfterCall(L, LUA_OK, kWide);
}

TEST_F(ErisStream, AContinuationOfACallIsKept) {
  lua_register(L(), "callk", CallWithContinuation);
  Run(R"(
    perms = {[_ENV] = "_ENV", [coroutine.yield] = "yield", [callk] = "callk"}
    unperms = {}
    for k, v in pairs(perms) do unperms[v] = k end
    co = coroutine.create(function() return callk(coroutine.yield, "out") end)
    assert(select(2, coroutine.resume(co)) == "out")
  )");
  // The continuation is a C function of its own: a permanent by name.
  lua_getglobal(L(), "perms");
  lua_pushcfunction(L(), reinterpret_cast<lua_CFunction>(reinterpret_cast<void (*)()>(AfterCall)));
  lua_pushliteral(L(), "aftercall");
  lua_rawset(L(), -3);
  lua_getglobal(L(), "unperms");
  lua_pushliteral(L(), "aftercall");
  lua_pushcfunction(L(), reinterpret_cast<lua_CFunction>(reinterpret_cast<void (*)()>(AfterCall)));
  lua_rawset(L(), -3);
  lua_pop(L(), 2);
  ASSERT_EQ(Unpersist(Persist("co")), "");
  Run("local ok, a, b = coroutine.resume(restored, 'in')"
      "assert(ok and a == 'in' and b == 42, tostring(a))");

  lua_register(L(), "callwide", CallWithWideContext);
  Run(R"(
    perms[callwide] = "callwide"
    wide = coroutine.create(function() return callwide(coroutine.yield) end)
    assert(coroutine.resume(wide))
  )");
  EXPECT_EQ(Persist("wide"), "");
  EXPECT_NE(error_.find("continuation context does not fit an int"), std::string::npos) << error_;
}

// ---------------------------------------------------------------- forged thread records

// Reads the fields of a stream whose root is a thread, written with the
// native widths, whose stack holds only simple records and permanents.
class Cursor {
 public:
  explicit Cursor(const std::string& bytes, size_t at = 0) : bytes_(bytes), at_(at) {}
  size_t at() const { return at_; }
  uint64_t Raw(int width) {
    uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes_.at(at_ + i));
    at_ += static_cast<size_t>(width);
    return value;
  }
  int32_t Int() { return static_cast<int32_t>(Raw(4)); }
  uint8_t Byte() { return static_cast<uint8_t>(Raw(1)); }
  // Skips one value record: nil, boolean, number, string, permanent, reference.
  void Skip() {
    const int32_t tag = Int();
    if (tag == 1) {
      Byte();
    } else if (tag == 3) {
      Raw(9);
    } else if (tag == 4) {
      at_ += Raw(8);
    } else if (tag == 13) {
      Byte();
      Skip();
    } else if (tag != 0 && tag < 15) {
      throw std::runtime_error("record not expected in this thread: " + std::to_string(tag));
    }
  }
  std::string From(size_t start) const { return bytes_.substr(start, at_ - start); }

 private:
  const std::string& bytes_;
  size_t at_;
};

struct FrameFields {
  int32_t func = 0;
  int32_t top = 0;
  int16_t nresults = 0;
  uint8_t status = 0;
  int32_t extra = 0;
  int32_t base = 0;
  int32_t pc = 0;
  uint8_t has_k = 0;
  int32_t ctx = 0;
  std::string k;
  uint8_t current = 0;
};

struct ThreadRecord {
  std::string prefix;  // header and tag
  int32_t size = 0;
  int32_t used = 0;
  std::string slots;
  uint8_t status = 0;
  int32_t errfunc = 0;
  std::vector<FrameFields> frames;
  int32_t current_extra = 0;
  std::string open_upvalues;

  static ThreadRecord Parse(const std::string& bytes) {
    ThreadRecord t;
    Cursor in(bytes, 16);
    if (in.Int() != 8) throw std::runtime_error("not a thread");
    t.prefix = bytes.substr(0, 20);
    t.size = in.Int();
    t.used = in.Int();
    const size_t slots = in.at();
    for (int i = 0; i < t.used; ++i) in.Skip();
    t.slots = in.From(slots);
    t.status = in.Byte();
    t.errfunc = in.Int();
    for (;;) {
      FrameFields f;
      f.func = in.Int();
      f.top = in.Int();
      f.nresults = static_cast<int16_t>(in.Raw(2));
      f.status = in.Byte();
      if (f.status != 0) {
        if (f.status & 16) f.extra = in.Int();
        if (f.status & 2) {
          f.base = in.Int();
          f.pc = in.Int();
        } else if ((f.has_k = in.Byte()) == 1) {
          f.ctx = in.Int();
          const size_t k = in.at();
          in.Skip();
          f.k = in.From(k);
        }
      }
      f.current = in.Byte();
      t.frames.push_back(f);
      if (f.current == 1) break;
    }
    if (t.status == 1) t.current_extra = in.Int();
    t.open_upvalues = bytes.substr(in.at());
    return t;
  }

  std::string Write() const {
    std::string out = prefix;
    auto raw = [&out](uint64_t value, int width) {
      for (int i = 0; i < width; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
    };
    raw(static_cast<uint32_t>(size), 4);
    raw(static_cast<uint32_t>(used), 4);
    out += slots;
    raw(status, 1);
    raw(static_cast<uint32_t>(errfunc), 4);
    for (const FrameFields& f : frames) {
      raw(static_cast<uint32_t>(f.func), 4);
      raw(static_cast<uint32_t>(f.top), 4);
      raw(static_cast<uint16_t>(f.nresults), 2);
      raw(f.status, 1);
      if (f.status != 0) {
        if (f.status & 16) raw(static_cast<uint32_t>(f.extra), 4);
        if (f.status & 2) {
          raw(static_cast<uint32_t>(f.base), 4);
          raw(static_cast<uint32_t>(f.pc), 4);
        } else {
          raw(f.has_k, 1);
          if (f.has_k == 1) {
            raw(static_cast<uint32_t>(f.ctx), 4);
            out += f.k;
          }
        }
      }
      raw(f.current, 1);
    }
    if (status == 1) raw(static_cast<uint32_t>(current_extra), 4);
    return out + open_upvalues;
  }
};

// Suspended in a pcall called from a script function (a permanent, so its
// body stays out of the stream), with an open upvalue.
const char kSuspended[] = R"(
  holder = {}
  local function body(x)
    holder.f = function() return x end
    local ok, v = pcall(coroutine.yield, x)
    return ok, v
  end
  perms = {[body] = "body", [pcall] = "pcall", [coroutine.yield] = "yield"}
  unperms = {body = body, pcall = pcall, yield = coroutine.yield, prnt = print}
  co = coroutine.create(body)
  assert(coroutine.resume(co, 7))
)";

TEST_F(ErisStream, FramesAreCheckedAgainstTheRebuiltStack) {
  Run(kSuspended);
  const std::string stream = Persist("co");
  const ThreadRecord baseline = ThreadRecord::Parse(stream);
  ASSERT_EQ(baseline.Write(), stream);
  ASSERT_EQ(baseline.frames.size(), 4u);  // base, body, pcall, yield
  ASSERT_EQ(baseline.status, 1);
  ASSERT_TRUE(baseline.frames[1].status & 2);
  ASSERT_TRUE(baseline.frames[2].status & 16);
  ASSERT_EQ(Unpersist(stream), "");
  Run("local ok, pcall_ok, v = coroutine.resume(restored, 'v')"
      "assert(ok and pcall_ok == true and v == 'v')");

  struct Forgery {
    const char* what;
    std::function<void(ThreadRecord&)> forge;
    const char* message;
  };
  const int32_t used = baseline.used;
  const Forgery forgeries[] = {
      {"more slots in use than the stack has", [](ThreadRecord& t) { t.used = t.size + 1; }, "stack index out of bounds"},
      {"a stack larger than any thread's", [](ThreadRecord& t) { t.size = 2000000; }, "stack size out of bounds"},
      {"a stack smaller than its reserve", [](ThreadRecord& t) { t.size = 3; }, "stack size out of bounds"},
      {"the base frame not at slot 0", [](ThreadRecord& t) { t.frames[0].func = 1; }, "invalid callinfo"},
      {"a function slot past the used stack", [used](ThreadRecord& t) { t.frames[2].func = used; },
       "stack index out of bounds"},
      {"a frame below its caller", [](ThreadRecord& t) { t.frames[2].func = t.frames[1].func; }, "invalid callinfo"},
      {"a function slot without a function", [](ThreadRecord& t) { t.frames[2].func = t.frames[1].func + 1; },
       "invalid callinfo"},
      {"a script frame over a C function",
       [](ThreadRecord& t) { t.slots.replace(t.slots.find("body"), 4, "prnt"); }, "invalid callinfo"},
      {"a top past the stack", [](ThreadRecord& t) { t.frames[2].top = t.size + 1; }, "stack index out of bounds"},
      {"a top below the function", [](ThreadRecord& t) { t.frames[3].top = t.frames[3].func - 1; },
       "stack index out of bounds"},
      {"a base at the function", [](ThreadRecord& t) { t.frames[1].base = t.frames[1].func; },
       "stack index out of bounds"},
      {"a base above the top", [](ThreadRecord& t) { t.frames[1].base = t.frames[1].top + 1; },
       "stack index out of bounds"},
      {"a saved instruction before the code", [](ThreadRecord& t) { t.frames[1].pc = -1; },
       "saved program counter out of bounds"},
      {"a saved instruction past the code", [](ThreadRecord& t) { t.frames[1].pc = 100000; },
       "saved program counter out of bounds"},
      {"a protected call's slot past the stack", [used](ThreadRecord& t) { t.frames[2].extra = used; },
       "stack index out of bounds"},
      {"a protected call's slot at its own function", [](ThreadRecord& t) { t.frames[2].extra = t.frames[2].func; },
       "stack index out of bounds"},
      {"the yielded frame's function outside the frame", [](ThreadRecord& t) { t.current_extra = t.frames[2].func; },
       "invalid callinfo"},
      {"the yielded frame's function slot without a function",
       [](ThreadRecord& t) { t.current_extra = t.frames[2].func + 1; }, "invalid callinfo"},
      {"a suspended frame without its continuation", [](ThreadRecord& t) { t.frames[2].has_k = 0; },
       "invalid callinfo"},
      {"an error handler slot without a function", [](ThreadRecord& t) { t.errfunc = 2; }, "invalid errfunc"},
      {"an error handler slot past the stack", [used](ThreadRecord& t) { t.errfunc = used + 5; }, "invalid errfunc"},
      {"an open upvalue past the stack",
       [used](ThreadRecord& t) {
         t.open_upvalues.replace(0, 8, std::string(8, '\0'));
         t.open_upvalues[0] = static_cast<char>(used + 1);
       },
       "stack index out of bounds"},
  };
  for (const Forgery& forgery : forgeries) {
    SCOPED_TRACE(forgery.what);
    ThreadRecord forged = baseline;
    forgery.forge(forged);
    const std::string error = Unpersist(forged.Write());
    EXPECT_NE(error.find(forgery.message), std::string::npos) << error;
  }
}

}  // namespace
