#pragma once
// Opening a git repository the way every reader of repositories in the engine
// does (the repository-backed resource streams and the git console): the path
// itself is the repository or its working folder, parent folders are not
// searched, and a repository owned by another user is opened as older versions
// of the library did. The library's owner check is a process-wide option: it
// is lifted only for the open, under one lock, so that opens on different
// threads never leave it lifted.
struct git_repository;

namespace GCore {

// Null when there is no repository at the path (the library's last error says
// why). The caller frees the repository.
git_repository* OpenRepositoryOfAnyOwner(const char* path);

}  // namespace GCore
