#include "net/GitText.h"

#include <algorithm>

namespace GCore {

namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kObjectTypes[] = {"blob", "tree", "commit", "tag"};

// The next field of `rest` (up to a blank or the end), and `rest` moved past
// it and the blanks that follow.
std::string_view TakeField(std::string_view& rest) {
  const size_t end = std::min(rest.find_first_of(kBlanks), rest.size());
  const std::string_view field = rest.substr(0, end);
  rest.remove_prefix(end);
  const size_t next = std::min(rest.find_first_not_of(kBlanks), rest.size());
  rest.remove_prefix(next);
  return field;
}

// The letter of a control byte with a short escape, or 0.
char ShortEscape(unsigned char byte) {
  switch (byte) {
    case 7: return 'a';
    case 8: return 'b';
    case 9: return 't';
    case 10: return 'n';
    case 11: return 'v';
    case 12: return 'f';
    case 13: return 'r';
    case '"': return '"';
    case '\\': return '\\';
    default: return 0;
  }
}

bool NeedsQuoting(unsigned char byte) { return byte < 32 || byte >= 127 || byte == '"' || byte == '\\'; }

bool IsObjectType(std::string_view field) {
  for (std::string_view type : kObjectTypes) {
    if (field == type) return true;
  }
  return false;
}

}  // namespace

bool ParseIndexInfoLine(std::string_view line, IndexInfoLine& out) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);

  std::string_view rest = line;
  const std::string_view mode = TakeField(rest);
  if (mode.empty() || mode.size() > 7) return false;
  uint32_t value = 0;
  for (char digit : mode) {
    if (digit < '0' || digit > '7') return false;
    value = value * 8 + static_cast<uint32_t>(digit - '0');
  }

  std::string_view id = TakeField(rest);
  if (IsObjectType(id)) id = TakeField(rest);
  if (id.empty()) return false;

  // A stage stands alone before the tab that leads to the path.
  int stage = 0;
  if (rest.size() >= 2 && rest[0] >= '0' && rest[0] <= '3' && rest[1] == '\t') {
    stage = rest[0] - '0';
    rest.remove_prefix(2);
    rest.remove_prefix(std::min(rest.find_first_not_of(kBlanks), rest.size()));
  }
  if (rest.empty()) return false;

  out.mode = value;
  out.id = id;
  out.stage = stage;
  out.path = rest;
  return true;
}

bool LsFilesPatternMatches(std::string_view path, std::string_view pattern) {
  if (const size_t star = pattern.find('*'); star != std::string_view::npos) {
    return path.substr(0, star) == pattern.substr(0, star);
  }
  if (path.size() < pattern.size() || path.substr(0, pattern.size()) != pattern) return false;
  return path.size() == pattern.size() || path[pattern.size()] == '/';
}

size_t GitPrintPath(const char* path, std::string* out) {
  bool quoted = false;
  for (const char* at = path; *at; ++at) quoted = quoted || NeedsQuoting(static_cast<unsigned char>(*at));
  std::string text;
  if (quoted) text += '"';
  for (const char* at = path; *at; ++at) {
    const auto byte = static_cast<unsigned char>(*at);
    if (!NeedsQuoting(byte)) {
      text += *at;
    } else if (const char letter = ShortEscape(byte)) {
      text += '\\';
      text += letter;
    } else {
      text += '\\';
      text += static_cast<char>('0' + (byte >> 6));
      text += static_cast<char>('0' + ((byte >> 3) & 7));
      text += static_cast<char>('0' + (byte & 7));
    }
  }
  if (quoted) text += '"';
  if (out) *out += text;
  return text.size();
}

}  // namespace GCore
