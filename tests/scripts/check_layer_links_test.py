"""The link check finds a library that needs a symbol defined only on its own
or a higher rung of the ladder, in archives built from tiny C files, and
passes the same archives without it."""
import os
import subprocess
import tempfile
import unittest

from tree import run_script, write_tree

LADDER = {"src/CMakeLists.txt": 'set(QUARVELIN_LADDER\n  "base"\n  "core net"\n  "game")\n'}

# Library: {member: C source}. Calls to functions no library defines (the C
# library's) are left to the system.
CLEAN = {
    "base": {"log": "int puts(const char*); void base_log(void) { puts(\"x\"); }\n"},
    "core": {"host": "void base_log(void); void core_run(void) { base_log(); }\n"},
    "net": {"fetch": "void base_log(void); void net_fetch(void) { base_log(); }\n"},
    "game": {"loop": "void core_run(void); void net_fetch(void);\n"
                     "void game_step(void) { core_run(); net_fetch(); }\n"},
}

# (name, {library: {member: source}}, text the report must hold)
VIOLATIONS = [
    ("a call up the ladder", {"core": {"host": "void game_step(void); void core_run(void) { game_step(); }\n"}},
     "libquarvelin_core.a(host.o): needs game_step, but src/game is above src/core on the ladder"),
    ("a call beside", {"core": {"host": "void net_fetch(void); void core_run(void) { net_fetch(); }\n"}},
     "libquarvelin_core.a(host.o): needs net_fetch, but src/net is beside src/core on the ladder"),
    ("a variable up the ladder", {"base": {"log": "extern int game_speed; int base_speed(void) { return game_speed; }\n"},
                                  "game": {"speed": "int game_speed = 2;\n"}},
     "libquarvelin_base.a(log.o): needs game_speed, but src/game is above src/base on the ladder"),
    # What a sanitizer's type check in core names when the class's record is
    # made with a virtual function the game defines.
    ("a type record up the ladder",
     {"core": {"host": "extern const char _ZTIN5GCore4GameE[]; const char* core_type(void) { return _ZTIN5GCore4GameE; }\n"},
      "game": {"record": "const char _ZTIN5GCore4GameE[16];\n"}},
     "libquarvelin_core.a(host.o): needs typeinfo for GCore::Game, but src/game is above src/core on the ladder"),
]


def build(root, libraries):
    lib_dir = os.path.join(root, "lib")
    os.makedirs(lib_dir, exist_ok=True)
    for library, members in libraries.items():
        objects = []
        for member, source in members.items():
            path = os.path.join(root, member + ".c")
            with open(path, "w", encoding="utf-8") as f:
                f.write(source)
            objects.append(os.path.join(root, member + ".o"))
            subprocess.run(["cc", "-c", "-o", objects[-1], path], check=True)
        archive = os.path.join(lib_dir, "libquarvelin_%s.a" % library)
        if os.path.exists(archive):
            os.remove(archive)
        subprocess.run(["ar", "rcs", archive, *objects], check=True)
    return lib_dir


def merged(change):
    libraries = {name: dict(members) for name, members in CLEAN.items()}
    for name, members in change.items():
        libraries[name].update(members)
    return libraries


class LayerLinkCheck(unittest.TestCase):
    def test_clean_libraries_pass(self):
        with tempfile.TemporaryDirectory() as root:
            write_tree(root, LADDER)
            result = run_script("check-layer-links.py", root, "--lib-dir", build(root, CLEAN))
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            self.assertEqual(result.stdout, "")

    def test_each_planted_violation_fails(self):
        for name, change, expected in VIOLATIONS:
            with self.subTest(name), tempfile.TemporaryDirectory() as root:
                write_tree(root, LADDER)
                result = run_script("check-layer-links.py", root, "--lib-dir", build(root, merged(change)))
                self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
                self.assertIn(expected, result.stdout)


if __name__ == "__main__":
    unittest.main()
