#include "core/LangManager.h"

#include <regex.h>

#include <cstring>
#include <string_view>

#include "base/Log.h"
#include "core/FileStream.h"
#include "core/ResourcePath.h"

namespace GCore {

namespace {

// Module lists nest; a chain deeper than this is refused before the stack runs out.
constexpr size_t kMaxModuleDepth = 64;
constexpr uint32_t kMaxLine = 0xFFFF;  // a TextId keeps the line in 16 bits
constexpr uint32_t kTipsPrefix = 0x4000;  // "p_" scripts carry function tips

struct Line {
  std::string_view text;  // without its line end
  size_t next;            // where the following line begins
  bool ended;             // by an LF (the file's last line may have none)
};

// The line at `pos`: up to its LF (a CR before it dropped), or up to the end of
// the bytes when the file's last line has no LF.
Line NextLine(const char* bytes, size_t length, size_t pos) {
  const auto* lf = static_cast<const char*>(std::memchr(bytes + pos, '\n', length - pos));
  const size_t end = lf ? static_cast<size_t>(lf - bytes) : length;
  size_t textEnd = end;
  if (textEnd > pos && bytes[textEnd - 1] == '\r') --textEnd;
  return {std::string_view(bytes + pos, textEnd - pos), lf ? end + 1 : length, lf != nullptr};
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string WithoutCarriageReturns(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

// The function name of a match of "t[^=]*= function": t.name or t["name"] / t['name'].
std::string DefinitionName(std::string_view definition) {
  if (definition.size() > 2 && definition[1] == '.') {
    const std::string_view rest = definition.substr(2);
    return std::string(rest.substr(0, rest.find_first_of("\t\n =")));
  }
  if (definition.size() > 3 && definition[1] == '[' &&
      (definition[2] == '"' || definition[2] == '\'')) {
    const std::string_view rest = definition.substr(3);
    const size_t close = rest.find(definition[2]);
    if (close != std::string_view::npos) return std::string(rest.substr(0, close));
  }
  return {};
}

class Regex {
 public:
  explicit Regex(const char* pattern) : ok_(regcomp(&regex_, pattern, 0) == 0) {}
  Regex(const Regex&) = delete;
  Regex& operator=(const Regex&) = delete;
  ~Regex() {
    if (ok_) regfree(&regex_);
  }
  // The first match in `text`, as offsets into it.
  bool Find(const char* text, regmatch_t* match) const {
    return ok_ && regexec(&regex_, text, 1, match, 0) == 0;
  }

 private:
  regex_t regex_;
  bool ok_;
};

}  // namespace

void LangManager::Clear() {
  texts_.clear();
  idsByName_.clear();
  namesById_.clear();
  tips_.clear();
}

void LangManager::LoadFromLua(const char* name, const char* path) {
  if (!name || !name[0] || name[1] != '_') return;
  if (idsByName_.count(name) || loading_.count(name)) return;
  if (loading_.size() >= kMaxModuleDepth) {
    LogPrintf("lua text modules nested deeper than %zu levels: %s not loaded\n", kMaxModuleDepth,
              name);
    return;
  }
  // The script path lives in a shared buffer that the module list overwrites.
  const std::string file = path ? path : GetScriptPath(name);
  std::vector<char> bytes;
  if (!ReadWholeResource(file.c_str(), bytes)) {
    LogPrintf("lua LoadFromLua not exist %s\n", file.c_str());
    return;
  }
  loading_.insert(name);
  uint32_t fileId = 0;
  ParseHeader(bytes.data(), bytes.size(), &fileId);
  loading_.erase(name);
  // A script listed in its own module chain may have been recorded meanwhile.
  if (fileId != 0 && !idsByName_.count(name)) {
    idsByName_[name] = fileId;
    namesById_[fileId] = name;
  }
}

size_t LangManager::ParseHeader(const char* bytes, size_t length, uint32_t* fileId) {
  size_t pos = 0;
  if (length >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) pos = 3;
  if (length - pos < 4 || std::memcmp(bytes + pos, "--[[", 4) != 0) return pos;
  const size_t blockStart = pos;

  const Line first = NextLine(bytes, length, pos + 4);
  uint32_t id = 0;
  for (size_t i = 0; i < 8 && i < first.text.size() && HexValue(first.text[i]) >= 0; ++i) {
    id = id * 16 + static_cast<uint32_t>(HexValue(first.text[i]));
  }
  if (id > 0xFFFF) {
    LogPrintf("lua text header: file id %x does not fit 16 bits\n", id);
    id = 0;
  }
  *fileId = id;
  if (id == 0) return blockStart;
  pos = first.next;

  const Line modules = NextLine(bytes, length, pos);
  pos = modules.next;
  // A block closed on its module line holds nothing more: the rest of the
  // file is script, and is not searched for entries or tips.
  if (modules.text == "]]") return pos;
  LoadModuleList(std::string(modules.text));
  bool tooMany = false;
  for (uint32_t n = 1; pos < length; ++n) {
    const Line line = NextLine(bytes, length, pos);
    // A last line without its LF is not read.
    if (!line.ended) break;
    pos = line.next;
    if (line.text == "]]") break;
    if (n > kMaxLine) {
      if (!tooMany) LogPrintf("lua text header %x: texts past line %u ignored\n", id, kMaxLine);
      tooMany = true;
      continue;
    }
    if (line.text.empty()) continue;
    // A single space stands for the empty text.
    SetText(id << 16 | n, line.text == " " ? "" : std::string(line.text).c_str());
  }

  ScanEntries(bytes + pos, length - pos);
  if ((id & 0xF000) == kTipsPrefix) ScanTips(std::string(bytes + pos, length - pos).c_str());
  return pos;
}

// Names each end with a comma; text after the last comma is not a name.
void LangManager::LoadModuleList(const std::string& line) {
  std::string_view rest(line);
  for (size_t comma = rest.find(','); comma != std::string_view::npos; comma = rest.find(',')) {
    const std::string name(Trim(rest.substr(0, comma)));
    rest.remove_prefix(comma + 1);
    if (!name.empty()) LoadFromLua(name.c_str());
  }
  if (!Trim(rest).empty()) {
    LogPrintf("lua text header: module name without a trailing comma ignored: %s\n",
              std::string(Trim(rest)).c_str());
  }
}

// "0x" + 8 hexadecimal digits + "--[[" + text + "]]", anywhere; the text may span lines.
void LangManager::ScanEntries(const char* bytes, size_t length) {
  constexpr size_t kShortest = 16;  // an entry with an empty text
  size_t p = 0;
  while (p + kShortest <= length) {
    const char* at = bytes + p;
    bool entry = at[0] == '0' && at[1] == 'x' && std::memcmp(at + 10, "--[[", 4) == 0;
    uint32_t id = 0;
    for (int i = 2; entry && i < 10; ++i) {
      const int digit = HexValue(at[i]);
      entry = digit >= 0;
      id = id * 16 + static_cast<uint32_t>(digit);
    }
    if (!entry) {
      ++p;
      continue;
    }
    const std::string_view rest(at + 14, length - p - 14);
    const size_t close = rest.find("]]");
    if (close == std::string_view::npos) return;
    SetText(id, WithoutCarriageReturns(rest.substr(0, close)).c_str());
    p += 14 + close + 2;
  }
}

// A "--tips=" comment names the tip of the next function defined on the table t.
void LangManager::ScanTips(const char* text) {
  const Regex tipComment("--tips=[^\n]*");
  const Regex definition("t[^=]*= function");
  const char* at = text;
  regmatch_t match;
  while (tipComment.Find(at, &match)) {
    std::string tip(at + match.rm_so + 7, at + match.rm_eo);
    if (!tip.empty() && tip.back() == '\r') tip.pop_back();
    at += match.rm_eo;
    if (!definition.Find(at, &match)) return;
    const std::string name = DefinitionName(std::string_view(at + match.rm_so,
                                                             match.rm_eo - match.rm_so));
    if (!name.empty()) tips_[name] = tip;
    at += match.rm_eo;
  }
}

void LangManager::SetText(uint32_t id, const char* text) {
  const uint32_t line = id & 0xFFFF;
  if (line == 0) return;
  const size_t index = line - 1;
  const uint32_t file = id >> 16;
  if (!text) {
    const auto found = texts_.find(file);
    if (found != texts_.end() && index < found->second.size()) found->second[index].reset();
    return;
  }
  auto& slots = texts_[file];
  if (slots.size() <= index) slots.resize(index + 1);
  slots[index] = text;
}

const char* LangManager::GetText(uint32_t id) const {
  const auto found = texts_.find(id >> 16);
  const uint32_t line = id & 0xFFFF;
  if (found == texts_.end() || line == 0 || line > found->second.size()) return nullptr;
  const auto& slot = found->second[line - 1];
  return slot ? slot->c_str() : nullptr;
}

uint32_t LangManager::NewTextID(const char* name) const {
  const uint32_t file = GetLuaID(name);
  const auto found = texts_.find(file);
  if (found == texts_.end()) return file << 16 | 1;
  const auto& slots = found->second;
  size_t line = 1;
  while (line <= slots.size() && slots[line - 1]) ++line;
  return line <= kMaxLine ? file << 16 | static_cast<uint32_t>(line) : 0;
}

uint32_t LangManager::GetLuaID(const char* name) const {
  if (!name) return 0;
  const auto found = idsByName_.find(name);
  return found == idsByName_.end() ? 0 : found->second;
}

uint32_t LangManager::NewLuaID(const char* name) const {
  if (!name) return 0;
  const uint32_t base = (luaDirID(name) >> 4) & 0xF000;
  for (uint32_t candidate = base + 1; candidate <= base + 10000; ++candidate) {
    if (!namesById_.count(candidate)) return candidate;
  }
  return 0;
}

const char* LangManager::GetLuaName(uint32_t fileId) const {
  const auto found = namesById_.find(fileId);
  return found == namesById_.end() ? nullptr : found->second.c_str();
}

size_t LangManager::GetTextCount(uint32_t fileId) const {
  const auto found = texts_.find(fileId);
  return found == texts_.end() ? 0 : found->second.size();
}

const char* LangManager::GetTip(const char* functionName) const {
  if (!functionName) return nullptr;
  const auto found = tips_.find(functionName);
  return found == tips_.end() ? nullptr : found->second.c_str();
}

void LangManager::UnloadLuaText(const char* name) {
  if (!name) return;
  const auto found = idsByName_.find(name);
  if (found == idsByName_.end()) return;
  const uint32_t fileId = found->second;
  const auto byId = namesById_.find(fileId);
  if (byId != namesById_.end() && byId->second == found->first) namesById_.erase(byId);
  texts_.erase(fileId);
  idsByName_.erase(found);
}

}  // namespace GCore
