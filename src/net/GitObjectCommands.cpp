// The console's object commands: "cat-file" and "ls-tree".
#include <cstdio>
#include <cstring>
#include <string>

#include "net/GitConsole.h"
#include "net/GitInspectCommands.h"
#include "net/GitText.h"

namespace GCore {

namespace {

// "<mode> <type> <id>\t<quoted path>\n" as one record.
void PrintTreeEntry(const char* folder, const git_tree_entry* entry) {
  char id[GIT_OID_HEXSZ + 1];
  git_oid_tostr(id, sizeof id, git_tree_entry_id(entry));
  char head[80];
  std::snprintf(head, sizeof head, "%06o %s %s\t", static_cast<unsigned>(git_tree_entry_filemode(entry)),
                git_object_type2string(git_tree_entry_type(entry)), id);
  std::string line = head;
  GitPrintPath((std::string(folder) + git_tree_entry_name(entry)).c_str(), &line);
  line += '\n';
  GitPrintOut("%s", line.c_str());
}

// Pre-order: every entry that is not a tree, and with `withTrees` the trees
// too, each before what it holds. Submodule entries are listed like files.
int PrintWalkedEntry(const char* folder, const git_tree_entry* entry, void* withTrees) {
  if (git_tree_entry_type(entry) != GIT_OBJECT_TREE || *static_cast<bool*>(withTrees)) PrintTreeEntry(folder, entry);
  return 0;
}

}  // namespace

int GitCatFile(git_repository* repository, int argc, const char* const* argv) {
  if (argc < 3 || std::strcmp(argv[1], "blob") != 0) {
    GitPrintErr(stderr, "USAGE: %s blob <objectid>\n", argv[0]);
    return 1;
  }
  git_oid id;
  git_odb* rawOdb = nullptr;
  if (git_oid_fromstr(&id, argv[argc - 1]) < 0 || git_repository_odb(&rawOdb, repository) < 0) {
    return GitLibraryFailure();
  }
  const GitPtr<git_odb> odb(rawOdb);
  git_odb_object* rawObject = nullptr;
  if (git_odb_read(&rawObject, odb.get(), &id) < 0) return GitLibraryFailure();
  const GitPtr<git_odb_object> object(rawObject);
  // One record a byte; a zero byte stays in its record.
  const auto* data = static_cast<const unsigned char*>(git_odb_object_data(object.get()));
  const size_t size = git_odb_object_size(object.get());
  for (size_t i = 0; i < size; ++i) GitPrintOut("%c", data[i]);
  return 0;
}

int GitLsTree(git_repository* repository, int argc, const char* const* argv) {
  bool recurse = false;
  bool withTrees = false;
  const char* treeId = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-r") == 0) {
      recurse = true;
    } else if (std::strcmp(argv[i], "-t") == 0) {
      withTrees = true;
    } else if (argv[i][0] == '-') {
      GitPrintErr(stderr, "Unknown option \"%s\"\n", argv[i]);
      return 1;
    } else {
      treeId = argv[i];
    }
  }
  if (!treeId) {
    GitPrintErr(stderr, "USAGE: %s [-r] [-t] <tree-id>\n", argv[0]);
    return 1;
  }
  git_oid id;
  git_tree* rawTree = nullptr;
  if (git_oid_fromstr(&id, treeId) < 0 || git_tree_lookup(&rawTree, repository, &id) < 0) return GitLibraryFailure();
  const GitPtr<git_tree> tree(rawTree);
  if (recurse) {
    if (git_tree_walk(tree.get(), GIT_TREEWALK_PRE, PrintWalkedEntry, &withTrees) < 0) return GitLibraryFailure();
    return 0;
  }
  const size_t count = git_tree_entrycount(tree.get());
  for (size_t i = 0; i < count; ++i) PrintTreeEntry("", git_tree_entry_byindex(tree.get(), i));
  return 0;
}

}  // namespace GCore
