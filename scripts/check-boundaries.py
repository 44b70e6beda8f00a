#!/usr/bin/env python3
"""Fails when the source tree crosses one of its boundaries.

Checked under src/ (tests and benchmarks may reach anything):
  - SDL and EGL are used only under src/platform/;
  - GL is called only in the GL renderer files of src/render/;
  - OpenAL is called only in the OpenAL files of src/media/;
  - a library's header is included only by the files that wrap the library,
    directly or through one of our headers (a wrapper's header that includes
    the library passes it on to everyone who includes that header);
  - a folder includes another folder's header only when its CMakeLists.txt
    declares that folder's library (quarvelin_<folder>) in the
    target_link_libraries of its own;
  - the folders form a ladder (QUARVELIN_LADDER in src/CMakeLists.txt, bottom
    up, one rung a string): a folder includes, and links, only folders on
    lower rungs. Folders on one rung are side by side and do not name each
    other. An include up the ladder is the one that closes a cycle; it is
    named.

Usage: check-boundaries.py [--root REPOSITORY]
Prints one line per violation, "path:line: what", and exits 1 when there is any.

A new library gets an entry in LIBRARIES below; a new file that wraps a
library joins that library's entry.
"""
import argparse
import fnmatch
import os
import re
import sys

SDL_EGL_FILES = ["src/platform/*"]
GL_FILES = ["src/render/GShader.*", "src/render/RendererGL1*", "src/render/RendererGLES2*"]
OPENAL_FILES = ["src/media/AL*"]

# Source patterns of forbidden uses, what they are, and where they belong.
CALL_RULES = [
    (re.compile(r"\bSDL_[A-Za-z]\w*"), "SDL", SDL_EGL_FILES),
    (re.compile(r"\begl[A-Z]\w*"), "EGL", SDL_EGL_FILES),
    (re.compile(r"\bgl[A-Z]\w*\s*\("), "a GL call", GL_FILES),
    (re.compile(r"\balc?[A-Z]\w*\s*\("), "an OpenAL call", OPENAL_FILES),
]

# Lua's own headers for scripts' C API are everybody's; its internal headers
# belong to our additions to the interpreter.
LUA_INTERNALS = ["l" + name + ".h" for name in (
    "api code ctype debug do func gc lex limits mem object opcodes parser prefix state string "
    "table tm undump vm zio").split()]

# Library: (header patterns, the files that wrap it).
LIBRARIES = {
    "SDL": (["SDL.h", "SDL_*.h", "SDL2/*"], SDL_EGL_FILES),
    "EGL": (["EGL/*"], SDL_EGL_FILES),
    "GL": (["GLES2/*", "GLES3/*", "GL/*", "KHR/*"], GL_FILES),
    "X11": (["X11/*"], ["src/platform/*"]),
    "OpenAL": (["AL/*"], OPENAL_FILES),
    "libpng": (["png.h", "pngconf.h"], ["src/render/PNG.cpp"]),
    "libgit2": (["git2.h", "git2/*"], ["src/core/FileStreamGit.cpp", "src/core/GitLibrary.cpp", "src/core/GitRepositoryOpen.cpp", "src/net/Git*"]),
    "zlib": (["zlib.h", "zconf.h"], ["src/tilemap/TmxEncoding.cpp", "src/core/Compression.cpp", "src/net/Zip*"]),
    "minizip": (["minizip/*", "unzip.h", "zip.h", "ioapi.h"], ["src/net/Zip*"]),
    "pugixml": (["pugixml.hpp", "pugiconfig.hpp"], ["src/tilemap/Tmx*"]),
    "stb": (["stb/*", "stb_*.h"], ["src/render/TTF*", "src/render/Font*"]),
    "FreeType": (["ft2build.h", "freetype/*"], ["src/platform/*"]),
    "fontconfig": (["fontconfig/*"], ["src/platform/*"]),
    "WebKitGTK": (["gtk/*", "gdk/*", "webkit2/*", "glib.h", "glib/*", "gio/*"], ["src/platform/WebKit*"]),
    "libmad": (["mad.h"], ["src/media/AudioPlayer*", "src/media/Mad*"]),
    "xvidcore": (["xvid.h"], ["src/media/Video*"]),
    "OpenSSL": (["openssl/*"], ["src/net/Tls*"]),
    "Lua internals": (LUA_INTERNALS, ["src/core/LuaApiExt*", "src/modules/*"]),
}

SOURCE_SUFFIXES = (".cpp", ".h", ".c", ".hpp")
INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]*([<"])([^>"]+)[>"]', re.M)


def matches(path, patterns):
    return any(fnmatch.fnmatchcase(path, pattern) for pattern in patterns)


def library_of(header):
    for name, (headers, wrappers) in LIBRARIES.items():
        if matches(header, headers):
            return name, wrappers
    return None


def strip_comments_and_strings(text):
    """The code with comments, string and character literals blanked out;
    line breaks are kept so that line numbers still hold."""
    pattern = re.compile(
        r'//[^\n]*|/\*.*?\*/|R"(?P<delim>[^(\s]*)\(.*?\)(?P=delim)"|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'',
        re.S)
    return pattern.sub(lambda m: re.sub(r"[^\n]", " ", m.group(0)), text)


def line_of(text, offset):
    return text.count("\n", 0, offset) + 1


def read_ladder(root):
    """The rungs of src/CMakeLists.txt's QUARVELIN_LADDER, bottom up: a list of
    lists of folders; None when there is no ladder."""
    path = os.path.join(root, "src", "CMakeLists.txt")
    if not os.path.exists(path):
        return None
    with open(path, encoding="utf-8") as f:
        text = re.sub(r"#[^\n]*", "", f.read())
    found = re.search(r"set\s*\(\s*QUARVELIN_LADDER\b([^)]*)\)", text)
    if not found:
        return None
    return [rung.split() for rung in re.findall(r'"([^"]*)"', found.group(1))]


def ladder_problem(rungs, folder, other):
    """What is wrong with `folder` naming `other`, or None when the ladder allows it."""
    place = {name: step for step, names in enumerate(rungs) for name in names}
    for name in (folder, other):
        if name not in place:
            return "src/%s is not on the ladder" % name
    mine, theirs = place[folder], place[other]
    if theirs > mine:
        return "src/%s is above src/%s on the ladder" % (other, folder)
    if theirs == mine:
        return "src/%s is beside src/%s on the ladder" % (other, folder)
    return None


def declared_dependencies(root, folder):
    """The folders whose libraries src/<folder>/CMakeLists.txt links its own to."""
    path = os.path.join(root, "src", folder, "CMakeLists.txt")
    if not os.path.exists(path):
        return set()
    with open(path, encoding="utf-8") as f:
        text = re.sub(r"#[^\n]*", "", f.read())
    declared = set()
    for call in re.finditer(r"target_link_libraries\s*\(\s*quarvelin_%s\b([^)]*)\)" % re.escape(folder), text):
        declared.update(re.findall(r"\bquarvelin_(\w+)", call.group(1)))
    return declared


class Tree:
    def __init__(self, root):
        self.root = root
        self.files = {}  # path relative to the root -> text
        for folder, _, names in os.walk(os.path.join(root, "src")):
            for name in names:
                if name.endswith(SOURCE_SUFFIXES):
                    path = os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/")
                    with open(os.path.join(folder, name), encoding="utf-8", errors="replace") as f:
                        self.files[path] = f.read()
        self.includes = {path: [(m.group(1), m.group(2), line_of(text, m.start()))
                                for m in INCLUDE.finditer(text)]
                         for path, text in self.files.items()}

    def resolve(self, including, name):
        """Our file that a quoted include names, or None for a library's."""
        for candidate in ("src/" + name, os.path.dirname(including) + "/" + name):
            candidate = os.path.normpath(candidate).replace(os.sep, "/")
            if candidate in self.files:
                return candidate
        return None

    def library_headers(self, path, seen=None):
        """Every library header that `path` pulls in: (header, via) pairs,
        `via` naming the chain of our headers it came through."""
        seen = set() if seen is None else seen
        if path in seen:
            return []
        seen.add(path)
        found = []
        for _, name, _ in self.includes[path]:
            ours = self.resolve(path, name)
            if ours is None:
                found.append((name, []))
            else:
                found.extend((header, [ours] + via) for header, via in self.library_headers(ours, seen))
        return found


def check(root):
    tree = Tree(root)
    problems = []

    for path, text in sorted(tree.files.items()):
        code = strip_comments_and_strings(text)
        for pattern, what, allowed in CALL_RULES:
            if matches(path, allowed):
                continue
            for m in pattern.finditer(code):
                problems.append("%s:%d: %s (%s) outside %s" % (
                    path, line_of(code, m.start()), what, m.group(0).rstrip("( \t"), ", ".join(allowed)))

    for path in sorted(tree.files):
        reported = set()
        for kind, name, line in tree.includes[path]:
            ours = tree.resolve(path, name) if kind == '"' else None
            candidates = [(name, [])] if ours is None else [
                (header, [ours] + via) for header, via in tree.library_headers(ours)]
            for header, via in candidates:
                library = library_of(header)
                if not library or matches(path, library[1]) or (header, line) in reported:
                    continue
                reported.add((header, line))
                through = " through " + " -> ".join(via) if via else ""
                problems.append("%s:%d: includes %s's header %s%s; only %s may" % (
                    path, line, library[0], header, through, ", ".join(library[1])))

    rungs = read_ladder(root)
    if rungs is None:
        problems.append("src/CMakeLists.txt: no QUARVELIN_LADDER")
        rungs = []
    declared = {}
    for path in sorted(tree.files):
        parts = path.split("/")
        if len(parts) < 3:
            continue  # src/main.cpp belongs to the program, not to a folder
        folder = parts[1]
        if folder not in declared:
            declared[folder] = declared_dependencies(root, folder)
        for kind, name, line in tree.includes[path]:
            ours = tree.resolve(path, name) if kind == '"' else None
            if ours is None:
                continue
            other = ours.split("/")[1]
            if other == folder:
                continue
            if other not in declared[folder]:
                problems.append("%s:%d: includes %s, but src/%s/CMakeLists.txt does not link quarvelin_%s" % (
                    path, line, name, folder, other))
            wrong = ladder_problem(rungs, folder, other)
            if wrong:
                problems.append("%s:%d: includes %s, but %s (src/CMakeLists.txt)" % (path, line, name, wrong))
    for folder in sorted(declared):
        for other in sorted(declared[folder]):
            if other != folder and os.path.isdir(os.path.join(root, "src", other)):
                wrong = ladder_problem(rungs, folder, other)
                if wrong:
                    problems.append("src/%s/CMakeLists.txt: links quarvelin_%s, but %s" % (folder, other, wrong))
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    args = parser.parse_args()
    problems = check(args.root)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
