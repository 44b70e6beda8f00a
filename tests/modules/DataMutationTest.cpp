// Every encoded example, cut at each length and with single bytes changed,
// must decode to a value or fail with one of the decoder's own messages:
// never a crash, an overrun or a stray error (the sanitizers watch the rest).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "modules/DataModules.h"
#include "modules/SprotoBundle.h"
#include "modules/StdLibs.h"

namespace {

struct LuaCloser {
  void operator()(lua_State* L) const { lua_close(L); }
};
using LuaPtr = std::unique_ptr<lua_State, LuaCloser>;

class DataMutation : public testing::Test {
 protected:
  void SetUp() override {
    L_.reset(luaL_newstate());
    ASSERT_TRUE(L_);
    luaL_openlibs(L());
    // Reached in the chunks below under plain global names.
    luaL_requiref(L(), "crypt.c", luaopen_crypt_c, 0);
    lua_setglobal(L(), "crypt");
    luaL_requiref(L(), "cmsgpack", luaopen_cmsgpack, 1);
    luaL_requiref(L(), "sproto.core", luaopen_sproto_core, 0);
    lua_setglobal(L(), "sproto");
    lua_settop(L(), 0);
  }

  lua_State* L() { return L_.get(); }

  // Runs a chunk that returns one string.
  std::string Eval(const std::string& chunk) {
    EXPECT_EQ(luaL_dostring(L(), chunk.c_str()), LUA_OK) << lua_tostring(L(), -1);
    std::string result = lua_isstring(L(), -1) ? lua_tostring(L(), -1) : "";
    lua_settop(L(), 0);
    return result;
  }

  // Pushes the decoder and its leading arguments; returns their number.
  using PushDecoder = std::function<int(lua_State*)>;

  // Calls the decoder on `bytes`; an error must name one of `allowed`.
  void Decode(const PushDecoder& push, const std::string& bytes, const std::vector<std::string>& allowed) {
    const int top = lua_gettop(L());
    const int args = push(L());
    lua_pushlstring(L(), bytes.data(), bytes.size());
    if (lua_pcall(L(), args + 1, LUA_MULTRET, 0) != LUA_OK) {
      const std::string message = lua_tostring(L(), -1) ? lua_tostring(L(), -1) : "(not a string)";
      bool known = false;
      for (const std::string& a : allowed) known = known || message.find(a) != std::string::npos;
      EXPECT_TRUE(known) << "unexpected error: " << message;
    }
    lua_settop(L(), top);
  }

  void Mutate(const PushDecoder& push, const std::string& example, const std::vector<std::string>& allowed) {
    ASSERT_FALSE(example.empty());
    for (size_t n = 0; n < example.size(); ++n) Decode(push, example.substr(0, n), allowed);
    for (size_t i = 0; i < example.size(); ++i) {
      std::vector<unsigned char> changes = {0x00, 0xFF};
      for (int bit = 0; bit < 8; ++bit) changes.push_back(static_cast<unsigned char>(example[i] ^ (1 << bit)));
      for (unsigned char c : changes) {
        std::string mutated = example;
        mutated[i] = static_cast<char>(c);
        Decode(push, mutated, allowed);
      }
    }
  }

  static PushDecoder Function(const char* module, const char* name) {
    return [module, name](lua_State* L) {
      lua_getglobal(L, module);
      lua_getfield(L, -1, name);
      lua_remove(L, -2);
      return 0;
    };
  }

 private:
  LuaPtr L_;
};

TEST_F(DataMutation, MessagePack) {
  const std::string example = Eval(
      "return cmsgpack.pack({1, -2, 300, -70000, 2^40, 1.5, 0.1, 'short', string.rep('s', 40),"
      " true, false, {a = {b = {}}, [9] = 'nine'}}, 'tail', 255, -129)");
  const std::vector<std::string> allowed = {"Missing bytes in input.", "Bad data format in input.",
                                            "table index is nil", "table index is NaN"};
  Mutate(Function("cmsgpack", "unpack"), example, allowed);
  Mutate(Function("cmsgpack", "unpack_one"), example, allowed);
}

TEST_F(DataMutation, SprotoMessagesAndPacking) {
  const std::string bundle = sproto_test::AddressBookBundle();
  lua_pushlstring(L(), bundle.data(), bundle.size());
  lua_setglobal(L(), "bundle");
  ASSERT_EQ(luaL_dostring(L(), "sp = assert(sproto.newproto(bundle))"), LUA_OK) << lua_tostring(L(), -1);

  const std::vector<std::pair<std::string, std::string>> examples = {
      {"Person", "{name = 'Alice', id = 70000, online = true, phone = {{number = '1', type = 2}, {number = '2'}}}"},
      {"AddressBook", "{person = {{name = 'a', id = 1}, {name = 'b', id = -5, phone = {}}}}"},
      {"Data", "{numbers = {1, 2^40, -3}, bools = {true, false}, number = -1, strs = {'x', ''}}"},
  };
  const std::vector<std::string> allowed = {"decode error", "Can't find main index"};
  for (const auto& [type, value] : examples) {
    SCOPED_TRACE(type);
    const std::string encoded =
        Eval("return sproto.encode(sproto.querytype(sp, '" + type + "'), " + value + ")");
    Mutate(
        [&type](lua_State* L) {
          lua_getglobal(L, "sproto");
          lua_getfield(L, -1, "decode");
          lua_getfield(L, -2, "querytype");
          lua_getglobal(L, "sp");
          lua_pushstring(L, type.c_str());
          lua_call(L, 2, 1);
          lua_remove(L, -3);
          return 1;
        },
        encoded, allowed);
    const std::string packed = Eval("return sproto.pack(sproto.encode(sproto.querytype(sp, '" +
                                    type + "'), " + value + "))");
    Mutate(Function("sproto", "unpack"), packed, {"Invalid unpack stream"});
  }
  ASSERT_EQ(luaL_dostring(L(), "sproto.deleteproto(sp)"), LUA_OK);
}

// A changed bundle is refused with a nil result, or gives a schema that
// encodes, decodes and lists defaults, where a value that no longer fits the
// changed schema is refused with one of the binding's own messages.
TEST_F(DataMutation, SprotoBundles) {
  ASSERT_EQ(luaL_dostring(L(), R"(
    local core = sproto
    local samples = {
      {name = "n", id = 1, online = false, phone = {{number = "1", type = 1}}},
      {person = {{name = "p", id = 2}}},
      {numbers = {1, 2}, bools = {true}, number = 3, strs = {"s"}},
    }
    local refusals = {"is not an integer", "is not a boolean", "is not a string", "is not a table",
                      "should be a table", "Invalid field type", "The table is too deep",
                      "object is too large", "decode error", "Can't find main index", "Invalid type"}
    local function refused(ok, err)
      if ok then return false end
      for _, known in ipairs(refusals) do
        if tostring(err):find(known, 1, true) then return true end
      end
      error("not one of the binding's refusals: " .. tostring(err), 0)
    end
    function try_bundle(b)
      local sp = core.newproto(b)
      if sp == nil then return end
      assert(type(sp) == "userdata", type(sp))
      for _, name in ipairs({"Person", "PhoneNumber", "AddressBook", "Data"}) do
        local st = core.querytype(sp, name)
        if st then
          assert(type(core.default(st)) == "table")
          for _, sample in ipairs(samples) do
            local ok, bytes = pcall(core.encode, st, sample)
            if not refused(ok, bytes) then
              local decoded, back = pcall(core.decode, st, bytes)
              if not refused(decoded, back) then assert(type(back) == "table") end
            end
          end
        end
      end
      for tag = 0, 4 do core.protocol(sp, tag) end
      core.deleteproto(sp)
    end
  )"),
            LUA_OK)
      << lua_tostring(L(), -1);
  Mutate(
      [](lua_State* L) {
        lua_getglobal(L, "try_bundle");
        return 0;
      },
      sproto_test::AddressBookBundle(), {});
}

TEST_F(DataMutation, CryptDecoders) {
  Mutate(Function("crypt", "base64decode"), Eval("return crypt.base64encode('mutation example text!')"),
         {"Invalid base64 text"});
  Mutate(Function("crypt", "hexdecode"), Eval("return crypt.hexencode('\\0\\1\\127\\128\\255')"),
         {"Invalid hex text"});
  Mutate(
      [](lua_State* L) {
        lua_getglobal(L, "crypt");
        lua_getfield(L, -1, "desdecode");
        lua_remove(L, -2);
        lua_pushliteral(L, "8bytekey");
        return 1;
      },
      Eval("return crypt.desencode('8bytekey', 'some text to encrypt')"), {"Invalid des crypt text"});
}

}  // namespace
