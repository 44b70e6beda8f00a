"""The boundary check finds each kind of violation planted in a small tree,
and passes the same tree without it."""
import tempfile
import unittest

from tree import run_script, write_tree

# A tree that keeps every rule, with the uses the rules allow and look-alikes
# in comments and strings.
CLEAN_TREE = {
    "src/CMakeLists.txt": 'set(QUARVELIN_LADDER\n  "platform"  # the ground\n  "render media modules"\n  "core")\n',
    "src/core/CMakeLists.txt": "target_link_libraries(quarvelin_core PUBLIC\n  quarvelin_render  # why\n)\n",
    "src/core/Game.cpp": '#include "core/Game.h"\n#include "render/Renderer.h"\n'
                         '// glClear(0) and SDL_Quit() in a comment\n'
                         'const char* kText = "alGenSources( eglSwapBuffers SDL_Init";\n',
    "src/core/Game.h": "#pragma once\n#include <lua.hpp>\n",
    "src/render/CMakeLists.txt": "quarvelin_library(render)\n",
    "src/render/Renderer.h": "#pragma once\nvoid Flush();\n",
    "src/render/RendererGLES2.cpp": "#include <GLES2/gl2.h>\nvoid F() { glClear(0); }\n",
    "src/render/PNG.h": "#pragma once\nbool DecodePng();\n",
    "src/render/PNG.cpp": '#include "render/PNG.h"\n#include <png.h>\n',
    "src/render/Texture.cpp": '#include "render/PNG.h"\nint glName = 0;\nvoid G() { glName = 1; }\n',
    "src/platform/Window.cpp": "#include <SDL.h>\n#include <EGL/egl.h>\nvoid W() { SDL_Init(0); eglSwapBuffers(0, 0); }\n",
    "src/media/ALPlayer.cpp": "#include <AL/al.h>\nvoid P() { alGenSources(1, 0); alcOpenDevice(0); }\n",
    "src/media/AudioManager.cpp": '#include "media/ALPlayer.h"\n',
    "src/media/ALPlayer.h": "#pragma once\nclass ALPlayer;\n",
    "src/modules/Persist.cpp": '#include "lstate.h"\n',
    "src/main.cpp": '#include "core/Game.h"\n',
}

# (name, {path: new text}, text the report must hold)
VIOLATIONS = [
    ("SDL outside the platform layer", {"src/core/Game.cpp": "void F() { SDL_GetTicks(); }\n"},
     "src/core/Game.cpp:1: SDL (SDL_GetTicks) outside src/platform/*"),
    ("EGL outside the platform layer", {"src/render/Texture.cpp": "\n\nvoid F() { eglGetError(); }\n"},
     "src/render/Texture.cpp:3: EGL (eglGetError)"),
    ("GL outside the GL renderer", {"src/render/Texture.cpp": "void F() {\n  glBindTexture(1, 2);\n}\n"},
     "src/render/Texture.cpp:2: a GL call (glBindTexture)"),
    ("OpenAL outside its files", {"src/media/AudioManager.cpp": "void F() { alSourcePlay(1); }\n"},
     "src/media/AudioManager.cpp:1: an OpenAL call (alSourcePlay)"),
    ("an OpenAL context call outside its files", {"src/core/Game.cpp": "void F() { alcCloseDevice(0); }\n"},
     "an OpenAL call (alcCloseDevice)"),
    ("a library header outside its wrapper", {"src/render/Texture.cpp": "#include <png.h>\n"},
     "src/render/Texture.cpp:1: includes libpng's header png.h; only src/render/PNG.cpp may"),
    ("a library header leaking through a wrapper's header",
     {"src/render/PNG.h": "#pragma once\n#include <png.h>\n"},
     "src/render/Texture.cpp:1: includes libpng's header png.h through src/render/PNG.h"),
    ("a leak two headers deep", {"src/render/Renderer.h": '#pragma once\n#include "platform/Keys.h"\n',
                                 "src/platform/Keys.h": "#pragma once\n#include <SDL_keyboard.h>\n"},
     "src/core/Game.cpp:2: includes SDL's header SDL_keyboard.h through src/render/Renderer.h -> "
     "src/platform/Keys.h"),
    ("Lua internals outside our interpreter additions", {"src/render/Texture.cpp": '#include "lgc.h"\n'},
     "includes Lua internals's header lgc.h"),
    ("an include of a folder not declared",
     {"src/render/Texture.cpp": '#include "core/Game.h"\n'},
     "src/render/Texture.cpp:1: includes core/Game.h, but src/render/CMakeLists.txt does not link quarvelin_core"),
    ("a declaration in a comment does not count",
     {"src/core/CMakeLists.txt": "target_link_libraries(quarvelin_core PUBLIC\n  # quarvelin_render\n)\n"},
     "src/core/Game.cpp:2: includes render/Renderer.h, but src/core/CMakeLists.txt does not link quarvelin_render"),
    ("an include up the ladder, declared", {"src/render/CMakeLists.txt": "target_link_libraries(quarvelin_render PUBLIC quarvelin_core)\n",
                                            "src/render/Texture.cpp": '#include "core/Game.h"\n'},
     "src/render/Texture.cpp:1: includes core/Game.h, but src/core is above src/render on the ladder"),
    ("a link up the ladder", {"src/render/CMakeLists.txt": "target_link_libraries(quarvelin_render PUBLIC quarvelin_core)\n"},
     "src/render/CMakeLists.txt: links quarvelin_core, but src/core is above src/render on the ladder"),
    ("an include of a folder beside", {"src/media/CMakeLists.txt": "target_link_libraries(quarvelin_media PUBLIC quarvelin_render)\n",
                                       "src/media/AudioManager.cpp": '#include "render/PNG.h"\n'},
     "src/media/AudioManager.cpp:1: includes render/PNG.h, but src/render is beside src/media on the ladder"),
    ("a folder off the ladder", {"src/tools/Tool.cpp": '#include "core/Game.h"\n',
                                 "src/tools/CMakeLists.txt": "target_link_libraries(quarvelin_tools PUBLIC quarvelin_core)\n"},
     "src/tools/Tool.cpp:1: includes core/Game.h, but src/tools is not on the ladder"),
    ("no ladder", {"src/CMakeLists.txt": "add_subdirectory(core)\n"}, "src/CMakeLists.txt: no QUARVELIN_LADDER"),
]


def run_checker(root):
    return run_script("check-boundaries.py", root)


class BoundaryCheck(unittest.TestCase):
    def test_clean_tree_passes(self):
        with tempfile.TemporaryDirectory() as root:
            write_tree(root, CLEAN_TREE)
            result = run_checker(root)
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            self.assertEqual(result.stdout, "")

    def test_each_planted_violation_fails(self):
        for name, change, expected in VIOLATIONS:
            with self.subTest(name), tempfile.TemporaryDirectory() as root:
                write_tree(root, {**CLEAN_TREE, **change})
                result = run_checker(root)
                self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
                self.assertIn(expected, result.stdout)


if __name__ == "__main__":
    unittest.main()
