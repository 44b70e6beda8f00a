// "gcore.c": resource paths, files and folders. Paths are handed to the
// system as scripts give them (absolute, or relative to the working folder).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/PathBelow.h"
#include "core/FileStream.h"
#include "core/ReplacingFile.h"
#include "core/ResourcePath.h"
#include "game/GCoreApi.h"
#include "game/GameIF.h"

namespace GCore::Api {

namespace {

void PushTextOrNil(lua_State* L, const char* text) {
  if (text) {
    lua_pushstring(L, text);
  } else {
    lua_pushnil(L);
  }
}

// Folder removal works within the path length the system's file functions
// took; the bound also bounds the depth of the recursion.
constexpr size_t kLongestPath = 260;

// Removes the entries of the folder open at `folder` whose names do not begin
// with '.', folders with their contents; `path` is its name for the length
// bound. False when a file could not be removed (the removal stops there).
bool RemoveEntries(int folder, const std::string& path) {
  std::vector<std::string> names;
  {
    const int listing = dup(folder);
    DIR* entries = listing >= 0 ? fdopendir(listing) : nullptr;
    if (!entries) {
      if (listing >= 0) close(listing);
      return false;
    }
    while (const dirent* entry = readdir(entries)) {
      if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
    }
    closedir(entries);
  }
  for (const std::string& name : names) {
    const std::string full = path + "/" + name;
    if (full.size() > kLongestPath) return false;
    struct stat info;
    // A symbolic link is removed as a link, never followed.
    if (fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (!S_ISDIR(info.st_mode)) {
      if (unlinkat(folder, name.c_str(), 0) != 0) return false;
      continue;
    }
    const int child = openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (child < 0) continue;
    const bool emptied = RemoveEntries(child, full);
    close(child);
    if (emptied) unlinkat(folder, name.c_str(), AT_REMOVEDIR);
  }
  return true;
}

// A check deletes only what it checked: a regular file, opened without
// following a link and still in its place. A link, a FIFO or a device
// fails the check and stays.
bool CheckPlainFile(const char* path, int& openError) {
  const FileDescriptor file = OpenRegularAt(AT_FDCWD, path, O_RDONLY);
  openError = file.IsOpen() ? 0 : errno;
  if (!file.IsOpen()) return false;
  std::string bytes;
  if (ReadWholeDescriptor(file.Get(), bytes, INT32_MAX) &&
      HasDigestPrefix(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) {
    return true;
  }
  struct stat opened;
  struct stat named;
  if (fstat(file.Get(), &opened) == 0 && lstat(path, &named) == 0 && opened.st_dev == named.st_dev &&
      opened.st_ino == named.st_ino) {
    unlink(path);
  }
  return false;
}

}  // namespace

int GetPath(lua_State* L) {
  PushTextOrNil(L, GCore::GetPath(IdArg(L, 1), IntArg(L, 2)));
  return 1;
}

int GetScriptPath(lua_State* L) {
  const char* name = TextArg(L, 1);
  PushTextOrNil(L, name ? GCore::GetScriptPath(name, TextArg(L, 2)) : nullptr);
  return 1;
}

int WritePath(lua_State* L) {
  const char* name = TextArg(L, 1);
  const std::string path = (g_game ? g_game->writeFolder : std::string()) + "/" + (name ? name : "");
  lua_pushlstring(L, path.data(), path.size());
  return 1;
}

int IsFileExist(lua_State* L) {
  lua_pushboolean(L, GCore::IsFileExist(TextArg(L, 1)));
  return 1;
}

int DoCopyFile(lua_State* L) {
  const char* source = TextArg(L, 1);
  const char* target = TextArg(L, 2);
  bool copied = false;
  if (source && target) {
    std::vector<char> bytes;
    if (std::string(source) == target) {
      copied = true;
    } else if (ReadWholeResource(source, bytes)) {
      ReplacingFile file(target);
      copied = file.Open() && file.Write(bytes.data(), bytes.size()) && file.Commit();
    }
  }
  lua_pushboolean(L, copied);
  return 1;
}

int RemoveFile(lua_State* L) {
  const char* path = TextArg(L, 1);
  struct stat info;
  const bool removed = path && lstat(path, &info) == 0 && !S_ISDIR(info.st_mode) && unlink(path) == 0;
  lua_pushboolean(L, removed);
  return 1;
}

int DoMoveFile(lua_State* L) {
  const char* source = TextArg(L, 1);
  const char* target = TextArg(L, 2);
  // rename replaces an existing target in one step and leaves it in place
  // when the move fails.
  lua_pushboolean(L, source && target && std::rename(source, target) == 0);
  return 1;
}

int IsDirExist(lua_State* L) {
  const char* path = TextArg(L, 1);
  struct stat info;
  lua_pushboolean(L, path && stat(path, &info) == 0 && S_ISDIR(info.st_mode));
  return 1;
}

int MakeDir(lua_State* L) {
  if (const char* path = TextArg(L, 1)) mkdir(path, 0777);
  return 0;
}

int CheckMD5(lua_State* L) {
  const char* path = TextArg(L, 1);
  int openError = ENOENT;
  bool verified = path && CheckPlainFile(path, openError);
  if (!verified && path && openError == ENOENT && g_game && g_game->IsRepositoryMode()) {
    // No plain file: the path may name a blob of the repository, which is
    // checked but is no file to delete.
    FileStream stream;
    verified = stream.Open(path, kStreamRead) && stream.Impl()->Verify();
  }
  lua_pushboolean(L, verified);
  return 1;
}

int RemoveFolder(lua_State* L) {
  const bool removeSelf = lua_gettop(L) == 1;
  const char* given = TextArg(L, 1);
  if (!given) return 0;
  std::string path = given;
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  if (path.size() > 1 && path.back() == '/') path.pop_back();
  // Never the whole file system.
  if (path.find_first_not_of('/') == std::string::npos || path.size() > kLongestPath) return 0;
  // The folder itself is not followed either when it is a symbolic link.
  const int folder = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folder < 0) return 0;
  const bool emptied = RemoveEntries(folder, path);
  close(folder);
  if (emptied && removeSelf) rmdir(path.c_str());
  return 0;
}

}  // namespace GCore::Api
