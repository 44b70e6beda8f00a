#!/usr/bin/env python3
"""The script-visible names, read from the registration tables.

Every name a script can reach has an entry in the script API reference under
docs/reference/: "gcore.c" functions in gcore.md, the members of a script
class X in X.md, the functions of another native module "m.c" or "a.b" in
m.md or a.b.md. An entry is a level-3 heading holding exactly the name in
backticks (### `Name`), followed by its description, written by hand.

Where the names come from:
  - "gcore.c": the entries of kEntries in src/game/GCoreModule.cpp (an entry
    whose function is nullptr is not built yet and counts as not registered),
    and the random functions the opener adds;
  - script classes: the "gcore.c" entries that name a registrar; a class's
    members are the kMembers table of its X_bind.cpp (none without one);
  - other native modules: the tables listed in MODULE_TABLES below. Every
    module preloaded in src/game/ProjectModules.cpp or opened by the library list in
    src/modules/StdLibs.cpp must appear there or in LISTED_ONLY.

Usage:
  api-names.py [--root R]                print "page<TAB>name" for every name
  api-names.py --check [--root R]        fail when the reference and the
                                         tables differ (or the index is stale)
  api-names.py --write-index [--root R]  rewrite docs/reference/README.md
"""
import argparse
import glob
import os
import re
import sys

GCORE_FILE = "src/game/GCoreModule.cpp"
PRELOADS_FILE = "src/game/ProjectModules.cpp"
LIBRARIES_FILE = "src/modules/StdLibs.cpp"

# Module name -> its registration tables: (source file, array name).
MODULE_TABLES = {
    "gcore.c": [(GCORE_FILE, "kEntries"), ("src/modules/RandomNumbers.cpp", "functions")],
    "crypt.c": [("src/modules/Crypt.cpp", "kCryptFunctions")],
    "sproto.core": [("src/modules/Sproto_bind.cpp", "kSprotoFunctions"),
                    ("src/modules/Sproto_bind.cpp", "kBufferFunctions")],
    "cmsgpack": [("src/modules/MsgPack.cpp", "kMsgPackFunctions")],
    "eris": [("src/modules/Eris.cpp", "kErisFunctions")],
    "lpeg": [("src/modules/Lpeg_bind.cpp", "kFunctions")],
    "map.c": [("src/core/MapModule.cpp", "kMapFunctions")],
    "lsocket": [("src/modules/LSocket.cpp", "kLSocketFunctions"),
                ("src/modules/LSocketMethods.cpp", "kSocketMethods")],
    "remotedebug": [("src/modules/RemoteDebug.cpp", "kHostFunctions"),
                    ("src/modules/RemoteDebugClient.cpp", "kDebuggerFunctions")],
    "profiler.c": [("src/modules/Profiler.cpp", "kProfilerFunctions")],
    # The module value is the function itself.
    "snapshot.c": [("src/modules/Snapshot.cpp", "kSnapshotFunctions")],
    "git.c": [("src/net/GitModule.cpp", "kGitFunctions")],
    "websocket.c": [("src/net/WebSocketModule.cpp", "kWebSocketFunctions")],
    # The handles' methods: a reading handle's, then a writing handle's.
    "zip.c": [("src/net/ZipModule.cpp", "kZipFunctions"), ("src/net/ZipModule.cpp", "kReadingMethods"),
              ("src/net/ZipModule.cpp", "kWritingMethods")],
    "webview.c": [("src/net/WebViewModule.cpp", "kWebViewFunctions")],
}

# Modules the guide only lists: the libraries linked from Debian, which keep
# their own documentation, and the module that is kept empty.
LISTED_ONLY = {"lfs.c", "socket.core", "cjson.c", "fuzzy.c"}

# The library list's entries that are Lua's own standard libraries.
LUA_LIBRARY_NAMES = {"_G", "LUA_LOADLIBNAME", "LUA_COLIBNAME", "LUA_TABLIBNAME", "LUA_IOLIBNAME",
                     "LUA_OSLIBNAME", "LUA_STRLIBNAME", "LUA_MATHLIBNAME", "LUA_UTF8LIBNAME",
                     "LUA_DBLIBNAME", "LUA_BITLIBNAME"}

INDEX = "README.md"
HEADING = re.compile(r"^###(?: (.*))?$")
ENTRY_HEADING = re.compile(r"^### `([^`]+)`$")


class Problem(Exception):
    pass


def read(root, path):
    full = os.path.join(root, path)
    if not os.path.exists(full):
        raise Problem("%s: missing" % path)
    with open(full, encoding="utf-8") as f:
        return f.read()


def strip_comments(text):
    """Comments blanked out, strings kept."""
    pattern = re.compile(r'"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'|//[^\n]*|/\*.*?\*/', re.S)
    return pattern.sub(lambda m: m.group(0) if m.group(0)[0] in "\"'" else " ", text)


def split_fields(entry):
    """The fields of one brace-enclosed entry, split at its top-level commas."""
    fields, depth, current = [], 0, ""
    for token in re.finditer(r'"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'|[(\[{]|[)\]}]|,|[^"\'(\[{)\]},]+', entry):
        text = token.group(0)
        if text in ("(", "[", "{"):
            depth += 1
        elif text in (")", "]", "}"):
            depth -= 1
        elif text == "," and depth == 0:
            fields.append(current.strip())
            current = ""
            continue
        current += text
    fields.append(current.strip())
    return [field.strip('"') if re.fullmatch(r'"[^"]*"', field) else field for field in fields]


def table_entries(root, path, array):
    """The entries of `array`'s initializer in `path`, each as its list of
    fields (a string field without its quotes); terminators left out."""
    text = strip_comments(read(root, path))
    start = re.search(r"\b%s\s*\[\s*\]\s*=\s*\{" % re.escape(array), text)
    if not start:
        raise Problem("%s: no table %s" % (path, array))
    entries = []
    depth = 1
    entry_start = None
    body = text[start.end():]
    for token in re.finditer(r'"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'|[{}]', body):
        if token.group(0) == "{":
            depth += 1
            if depth == 2:
                entry_start = token.end()
        elif token.group(0) == "}":
            depth -= 1
            if depth == 1:
                fields = split_fields(body[entry_start:token.start()])
                if fields[0] not in ("nullptr", "NULL"):
                    entries.append(fields)
            elif depth == 0:
                break
    return entries


def registered_names(root):
    """Page name -> the names it must document, in registration order."""
    pages = {}
    for module, tables in MODULE_TABLES.items():
        names = []
        for path, array in tables:
            names += [fields[0] for fields in table_entries(root, path, array)
                      if len(fields) > 1 and fields[1] != "nullptr"]
        pages[re.sub(r"\.c$", "", module)] = names

    for name in gcore_classes(root):
        binds = glob.glob(os.path.join(root, "src", "*", name + "_bind.cpp"))
        if not binds:
            raise Problem("%s: class %s has no %s_bind.cpp" % (GCORE_FILE, name, name))
        path = os.path.relpath(binds[0], root)
        has_members = re.search(r"\bkMembers\s*\[\s*\]\s*=", read(root, path))
        pages[name] = [fields[0] for fields in table_entries(root, path, "kMembers")] if has_members else []

    known = set(MODULE_TABLES) | LISTED_ONLY
    for module in registered_modules(root):
        if module not in known:
            raise Problem("module \"%s\" is registered, but scripts/api-names.py does not know its tables "
                          "(add it to MODULE_TABLES)" % module)
    return pages


def gcore_classes(root):
    """The script classes: "gcore.c" entries with a constructor and a registrar."""
    return [fields[0] for fields in table_entries(root, GCORE_FILE, "kEntries")
            if len(fields) > 2 and fields[1] != "nullptr" and fields[2] != "nullptr"]


def registered_modules(root):
    """Every module preloaded or opened by the library list, but Lua's own libraries."""
    names = [fields[0] for fields in table_entries(root, PRELOADS_FILE, "kPreloads")]
    names += [fields[0] for fields in table_entries(root, LIBRARIES_FILE, "kLibraries")]
    return [name for name in names if name not in LUA_LIBRARY_NAMES]


def anchor(name):
    return re.sub(r"[^a-z0-9_\- ]", "", name.lower()).replace(" ", "-")


def index_text(pages):
    modules = {re.sub(r"\.c$", "", module): module for module in MODULE_TABLES}
    lines = ["# Script API reference", "",
             "Generated by `scripts/api-names.py --write-index` from the registration tables: every",
             "name scripts can reach, by page. The entries themselves are written by hand.", ""]
    groups = (("Modules", [p for p in pages if p in modules]),
              ("Script classes", sorted(p for p in pages if p not in modules)))
    for title, group in groups:
        lines += ["## " + title, ""]
        for page in group:
            shown = '"%s"' % modules[page] if page in modules else page
            lines += ["### [%s](%s.md)" % (shown, page), ""]
            names = sorted(pages[page], key=lambda name: (name.lower(), name))
            lines += ["- [`%s`](%s.md#%s)" % (n, page, anchor(n)) for n in names] or ["(no members of its own)"]
            lines += [""]
    return "\n".join(lines).rstrip() + "\n"


def check(root, pages):
    problems = []
    folder = os.path.join(root, "docs", "reference")
    for page, names in pages.items():
        path = os.path.join(folder, page + ".md")
        rel = os.path.relpath(path, root)
        if not os.path.exists(path):
            problems.append("%s: missing (documents %d names)" % (rel, len(names)))
            continue
        with open(path, encoding="utf-8") as f:
            lines = f.read().split("\n")
        documented = []
        for number, line in enumerate(lines, 1):
            if HEADING.match(line):
                entry = ENTRY_HEADING.match(line)
                if not entry:
                    problems.append("%s:%d: a level-3 heading holds exactly one name in backticks" % (rel, number))
                    continue
                if entry.group(1) in documented:
                    problems.append("%s:%d: `%s` has a second entry" % (rel, number, entry.group(1)))
                documented.append(entry.group(1))
        for name in names:
            if name not in documented:
                problems.append("%s: `%s` is registered and has no entry" % (rel, name))
        for name in documented:
            if name not in names:
                problems.append("%s: `%s` has an entry but is not registered" % (rel, name))
    if os.path.isdir(folder):
        for name in sorted(os.listdir(folder)):
            if name.endswith(".md") and name != INDEX and name[:-3] not in pages:
                problems.append("docs/reference/%s: documents nothing registered" % name)
    index = os.path.join(folder, INDEX)
    current = open(index, encoding="utf-8").read() if os.path.exists(index) else None
    if current != index_text(pages):
        problems.append("docs/reference/%s: out of date; run scripts/api-names.py --write-index" % INDEX)
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    action = parser.add_mutually_exclusive_group()
    action.add_argument("--check", action="store_true")
    action.add_argument("--write-index", action="store_true")
    args = parser.parse_args()
    try:
        pages = registered_names(args.root)
    except Problem as problem:
        print(problem)
        return 1
    if args.write_index:
        os.makedirs(os.path.join(args.root, "docs", "reference"), exist_ok=True)
        with open(os.path.join(args.root, "docs", "reference", INDEX), "w", encoding="utf-8") as f:
            f.write(index_text(pages))
        return 0
    if args.check:
        problems = check(args.root, pages)
        for problem in problems:
            print(problem)
        return 1 if problems else 0
    for page, names in pages.items():
        for name in names:
            print("%s\t%s" % (page, name))
    return 0


if __name__ == "__main__":
    sys.exit(main())
