#pragma once
// A git repository held in memory (no folder, no references) whose objects
// a test or a fuzzer writes as raw bytes, so that trees no git command would
// make (shared subtrees many times over, odd modes and names) are easy to
// build.
#include <git2.h>
#include <git2/sys/mempack.h>
#include <git2/sys/repository.h>

#include <string>

namespace gittest {

class MemoryRepository {
 public:
  MemoryRepository() {
    git_libgit2_init();
    git_repository_new(&repository_);
    git_odb_new(&odb_);
    git_mempack_new(&objects_);
    git_odb_add_backend(odb_, objects_, 1);
    git_repository_set_odb(repository_, odb_);
  }
  ~MemoryRepository() {
    git_repository_free(repository_);
    git_odb_free(odb_);  // frees the backend with it
    git_libgit2_shutdown();
  }
  MemoryRepository(const MemoryRepository&) = delete;
  MemoryRepository& operator=(const MemoryRepository&) = delete;

  git_repository* Get() const { return repository_; }

  // Stores the bytes as an object of that type; its id.
  git_oid Write(git_object_t type, const std::string& bytes) {
    git_oid id{};
    git_odb_write(&id, odb_, bytes.data(), bytes.size(), type);
    return id;
  }

  // Forgets every object written.
  void Clear() { git_mempack_reset(objects_); }

  // One entry of a raw tree: the mode in octal digits, a space, the name,
  // a zero byte and the object's 20-byte id.
  static std::string TreeEntry(const std::string& mode, const std::string& name, const git_oid& id) {
    return mode + " " + name + std::string(1, '\0') +
           std::string(reinterpret_cast<const char*>(id.id), GIT_OID_RAWSZ);
  }

 private:
  git_repository* repository_ = nullptr;
  git_odb* odb_ = nullptr;
  git_odb_backend* objects_ = nullptr;
};

}  // namespace gittest
