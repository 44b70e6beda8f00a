"""The reference check: a small tree whose reference is complete passes, and
each planted gap or stray entry fails with its own message."""
import tempfile
import unittest

from tree import run_script, write_tree

SOURCES = {
    "src/game/GCoreModule.cpp": '''
const Entry kEntries[] = {
    {"Widget", NewWidgetScript, RegisterWidgetClass},
    {"Gadget", nullptr},
    {"GetTime", Api::GetTime},
    {"PlaySound", nullptr},  // not built yet
};''',
    "src/game/ProjectModules.cpp": '''
  static const Preload kPreloads[] = {
      {"crypt.c", luaopen_crypt_c},
      // "profiler.c" goes here.
      {"gcore.c", luaopen_gcore_c},
      {"lfs.c", luaopen_lfs},
  };''',
    "src/modules/StdLibs.cpp": '''
const luaL_Reg kLibraries[] = {
    {"_G", luaopen_base},
    {LUA_MATHLIBNAME, luaopen_math},
};''',
    "src/modules/RandomNumbers.cpp": '''
  const luaL_Reg functions[] = {{"random", Random},
                                {nullptr, nullptr}};''',
    "src/modules/Crypt.cpp": '''
const luaL_Reg kCryptFunctions[] = {
    {"sha1", Sha1},
    {nullptr, nullptr}};''',
    "src/modules/Sproto_bind.cpp": "const luaL_Reg kSprotoFunctions[] = {};\nconst luaL_Reg kBufferFunctions[] = {};\n",
    "src/modules/MsgPack.cpp": "const luaL_Reg kMsgPackFunctions[] = {{\"pack\", Pack}};\n",
    "src/modules/Eris.cpp": "static const luaL_Reg kErisFunctions[] = {{\"persist\", Persist}};\n",
    "src/modules/Lpeg_bind.cpp": "const luaL_Reg kFunctions[] = {{\"match\", Match}, {nullptr, nullptr}};\n",
    "src/core/MapModule.cpp": "const luaL_Reg kMapFunctions[] = {{\"pathfind\", PathFind}, {nullptr, nullptr}};\n",
    "src/modules/LSocket.cpp": "const luaL_Reg kLSocketFunctions[] = {{\"connect\", Connect}, {nullptr, nullptr}};\n",
    "src/modules/LSocketMethods.cpp": "const luaL_Reg kSocketMethods[] = {{\"recv\", Recv}, {nullptr, nullptr}};\n",
    "src/modules/RemoteDebug.cpp": "const luaL_Reg kHostFunctions[] = {{\"start\", Start}, {nullptr, nullptr}};\n",
    "src/modules/RemoteDebugClient.cpp": "const luaL_Reg kDebuggerFunctions[] = {{\"index\", Index}};\n",
    "src/modules/Profiler.cpp": "const luaL_Reg kProfilerFunctions[] = {{\"start\", Start}, {nullptr, nullptr}};\n",
    "src/modules/Snapshot.cpp": "const luaL_Reg kSnapshotFunctions[] = {{\"snapshot\", Snapshot}, {nullptr, nullptr}};\n",
    "src/net/GitModule.cpp": "const luaL_Reg kGitFunctions[] = {{\"state\", State}, {nullptr, nullptr}};\n",
    "src/net/WebSocketModule.cpp": "const luaL_Reg kWebSocketFunctions[] = {{\"open\", Open}, {nullptr, nullptr}};\n",
    "src/net/ZipModule.cpp": "const luaL_Reg kZipFunctions[] = {{\"unzip\", OpenReading}};\n"
                             "const luaL_Reg kReadingMethods[] = {{\"read\", Read}};\n"
                             "const luaL_Reg kWritingMethods[] = {{\"write\", Write}};\n",
    "src/net/WebViewModule.cpp": "const luaL_Reg kWebViewFunctions[] = {{\"addWebView\", Add}, {nullptr, nullptr}};\n",
    "src/display/Widget_bind.cpp": '''
const Member<Widget> kMembers[] = {
    {"size", [](lua_State* L, Widget& w) { lua_pushinteger(L, w.size); },
     [](lua_State* L, Widget& w) { w.size = IntValue(L, 3); }, nullptr},
    {"paint", nullptr, nullptr, Paint},
};''',
}

REFERENCE = {
    "gcore.md": "# gcore\n\n### `Widget`\n\nMakes one.\n\n### `GetTime`\n\nThe time.\n\n### `random`\n\nA draw.\n",
    "crypt.md": "### `sha1`\n\nA digest.\n",
    "cmsgpack.md": "### `pack`\n\nPacks.\n",
    "eris.md": "### `persist`\n\nPersists.\n",
    "lpeg.md": "### `match`\n\nMatches.\n",
    "map.md": "### `pathfind`\n\nFinds.\n",
    "lsocket.md": "### `connect`\n\nConnects.\n\n### `recv`\n\nReceives.\n",
    "remotedebug.md": "### `start`\n\nStarts.\n\n### `index`\n\nIndexes.\n",
    "profiler.md": "### `start`\n\nStarts.\n",
    "snapshot.md": "### `snapshot`\n\nWalks.\n",
    "git.md": "### `state`\n\nThe state.\n",
    "websocket.md": "### `open`\n\nOpens.\n",
    "zip.md": "### `unzip`\n\nOpens.\n\n### `read`\n\nReads.\n\n### `write`\n\nWrites.\n",
    "webview.md": "### `addWebView`\n\nAdds.\n",
    "sproto.core.md": "No functions here.\n",
    "Widget.md": "## Members\n\n### `size`\n\nIts size.\n\n### `paint`\n\nPaints.\n",
}

# (name, files to change, text the output must hold)
GAPS = [
    ("a registered function without entry", {"docs/reference/gcore.md": "### `Widget`\n\n### `random`\n"},
     "docs/reference/gcore.md: `GetTime` is registered and has no entry"),
    ("a class member without entry", {"docs/reference/Widget.md": "### `size`\n"},
     "docs/reference/Widget.md: `paint` is registered and has no entry"),
    ("an entry for a family not built yet",
     {"docs/reference/gcore.md": REFERENCE["gcore.md"] + "\n### `PlaySound`\n\nPlays.\n"},
     "docs/reference/gcore.md: `PlaySound` has an entry but is not registered"),
    ("a page for a class not built yet", {"docs/reference/Gadget.md": "### `x`\n"},
     "docs/reference/Gadget.md: documents nothing registered"),
    ("a missing class page", {"docs/reference/Widget.md": None},
     "docs/reference/Widget.md: missing"),
    ("a heading that is not one name in backticks", {"docs/reference/crypt.md": "### `sha1`\n\n### sha1 again\n"},
     "docs/reference/crypt.md:3: a level-3 heading holds exactly one name in backticks"),
    ("a second entry for one name", {"docs/reference/crypt.md": "### `sha1`\n\n### `sha1`\n"},
     "docs/reference/crypt.md:3: `sha1` has a second entry"),
    ("a module the tool does not know",
     {"src/game/ProjectModules.cpp": SOURCES["src/game/ProjectModules.cpp"].replace('{"lfs.c"', '{"unknown.c", luaopen_unknown},\n{"lfs.c"')},
     'module "unknown.c" is registered, but scripts/api-names.py does not know its tables'),
    ("a library-list module the tool does not know",
     {"src/modules/StdLibs.cpp": SOURCES["src/modules/StdLibs.cpp"].replace("};", '{"mystery", luaopen_mystery},\n};')},
     'module "mystery" is registered'),
    ("a stale index", {"docs/reference/README.md": "# old\n"},
     "docs/reference/README.md: out of date; run scripts/api-names.py --write-index"),
]


def tool(root, *args):
    return run_script("api-names.py", root, *args)


class ReferenceCheck(unittest.TestCase):
    def make_tree(self, root):
        write_tree(root, SOURCES)
        write_tree(root, {"docs/reference/" + name: text for name, text in REFERENCE.items()})
        self.assertEqual(tool(root, "--write-index").returncode, 0)

    def test_names_come_from_the_tables(self):
        with tempfile.TemporaryDirectory() as root:
            write_tree(root, SOURCES)
            result = tool(root)
            self.assertEqual(result.returncode, 0, result.stdout)
            self.assertEqual(result.stdout.split("\n"), [
                "gcore\tWidget", "gcore\tGetTime", "gcore\trandom", "crypt\tsha1", "cmsgpack\tpack", "eris\tpersist",
                "lpeg\tmatch", "map\tpathfind", "lsocket\tconnect", "lsocket\trecv", "remotedebug\tstart",
                "remotedebug\tindex", "profiler\tstart", "snapshot\tsnapshot", "git\tstate",
                "websocket\topen", "zip\tunzip", "zip\tread", "zip\twrite", "webview\taddWebView",
                "Widget\tsize", "Widget\tpaint", ""])

    def test_a_complete_reference_passes(self):
        with tempfile.TemporaryDirectory() as root:
            self.make_tree(root)
            result = tool(root, "--check")
            self.assertEqual(result.returncode, 0, result.stdout)

    def test_each_gap_fails(self):
        for name, change, expected in GAPS:
            with self.subTest(name), tempfile.TemporaryDirectory() as root:
                self.make_tree(root)
                write_tree(root, change)
                result = tool(root, "--check")
                self.assertEqual(result.returncode, 1, result.stdout)
                self.assertIn(expected, result.stdout)


if __name__ == "__main__":
    unittest.main()
