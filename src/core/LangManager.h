#pragma once
// Language text tables of one project. A script whose name has a one-letter
// prefix ("c_hero") may begin with a header block: a long comment holding its
// file id, the scripts whose texts it needs, and one text per line. Texts are
// found by TextId = file id << 16 | 1-based line. Main thread only.
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace GCore {

class LangManager {
 public:
  virtual ~LangManager() = default;
  virtual bool Initialise() { return true; }
  virtual void Clear();

  // Loads the header block of a prefixed script once (path null: its script
  // path), after the blocks of the scripts its module list names.
  void LoadFromLua(const char* name, const char* path = nullptr);
  // Parses a header block and the "0x........--[[text]]" entries after it;
  // returns the position after the block. `fileId` is left alone when the
  // bytes do not begin with a block.
  size_t ParseHeader(const char* bytes, size_t length, uint32_t* fileId);

  void SetText(uint32_t id, const char* text);
  const char* GetText(uint32_t id) const;
  // The first free line of the script's file (0 when all 65535 are used).
  uint32_t NewTextID(const char* name) const;
  uint32_t GetLuaID(const char* name) const;
  uint32_t NewLuaID(const char* name) const;
  const char* GetLuaName(uint32_t fileId) const;
  size_t GetTextCount(uint32_t fileId) const;
  const char* GetTip(const char* functionName) const;
  void UnloadLuaText(const char* name);

 private:
  void LoadModuleList(const std::string& line);
  void ScanEntries(const char* bytes, size_t length);
  void ScanTips(const char* text);

  std::map<uint32_t, std::vector<std::optional<std::string>>> texts_;
  std::map<std::string, uint32_t> idsByName_;
  std::map<uint32_t, std::string> namesById_;
  std::map<std::string, std::string> tips_;
  // Scripts whose header is being read: their ids are recorded only after it,
  // so this keeps two scripts that list each other from recursing forever.
  std::set<std::string> loading_;
};

}  // namespace GCore
