// The console's "diff": trees, the index and the working folder compared in
// patch or name-status form, optionally coloured for a terminal.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "net/GitConsole.h"
#include "net/GitInspectCommands.h"

namespace GCore {

namespace {

struct DiffSettings {
  git_diff_options options = GIT_DIFF_OPTIONS_INIT;
  git_diff_format_t format = GIT_DIFF_FORMAT_PATCH;
  bool cached = false;
  bool color = false;
};

// Options that only set a flag of the library's.
constexpr struct {
  const char* name;
  uint32_t flag;
} kFlagOptions[] = {
    {"-R", GIT_DIFF_REVERSE},
    {"-a", GIT_DIFF_FORCE_TEXT},
    {"--text", GIT_DIFF_FORCE_TEXT},
    {"--ignore-space-at-eol", GIT_DIFF_IGNORE_WHITESPACE_EOL},
    {"-b", GIT_DIFF_IGNORE_WHITESPACE_CHANGE},
    {"--ignore-space-change", GIT_DIFF_IGNORE_WHITESPACE_CHANGE},
    {"-w", GIT_DIFF_IGNORE_WHITESPACE},
    {"--ignore-all-space", GIT_DIFF_IGNORE_WHITESPACE},
    {"--ignored", GIT_DIFF_INCLUDE_IGNORED},
    {"--untracked", GIT_DIFF_INCLUDE_UNTRACKED},
};

enum class Takes { kNothing, kNumber, kText };

// The other options. One that takes a value has it in the same argument,
// after its name.
constexpr struct {
  const char* name;
  Takes takes;
  void (*apply)(DiffSettings& settings, const char* text, uint16_t number);
} kValueOptions[] = {
    {"-p", Takes::kNothing, [](DiffSettings& s, const char*, uint16_t) { s.format = GIT_DIFF_FORMAT_PATCH; }},
    {"-u", Takes::kNothing, [](DiffSettings& s, const char*, uint16_t) { s.format = GIT_DIFF_FORMAT_PATCH; }},
    {"--patch", Takes::kNothing, [](DiffSettings& s, const char*, uint16_t) { s.format = GIT_DIFF_FORMAT_PATCH; }},
    {"--name-status", Takes::kNothing,
     [](DiffSettings& s, const char*, uint16_t) { s.format = GIT_DIFF_FORMAT_NAME_STATUS; }},
    {"--cached", Takes::kNothing, [](DiffSettings& s, const char*, uint16_t) { s.cached = true; }},
    {"--color", Takes::kNothing, [](DiffSettings& s, const char*, uint16_t) { s.color = true; }},
    {"--no-color", Takes::kNothing, [](DiffSettings& s, const char*, uint16_t) { s.color = false; }},
    {"-U", Takes::kNumber, [](DiffSettings& s, const char*, uint16_t n) { s.options.context_lines = n; }},
    {"--unified=", Takes::kNumber, [](DiffSettings& s, const char*, uint16_t n) { s.options.context_lines = n; }},
    {"--inter-hunk-context=", Takes::kNumber,
     [](DiffSettings& s, const char*, uint16_t n) { s.options.interhunk_lines = n; }},
    {"--src-prefix=", Takes::kText, [](DiffSettings& s, const char* text, uint16_t) { s.options.old_prefix = text; }},
    {"--dst-prefix=", Takes::kText, [](DiffSettings& s, const char* text, uint16_t) { s.options.new_prefix = text; }},
};

// A number in C's notations (decimal, 0x hexadecimal, leading 0 octal), kept
// to 16 bits; false when the text is not one whole number.
bool ParseNumber(const char* text, uint16_t& out) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 0);
  if (end == text || *end != '\0') return false;
  out = static_cast<uint16_t>(value);
  return true;
}

// False for an option the command does not know.
bool ApplyOption(const char* argument, DiffSettings& settings) {
  for (const auto& option : kFlagOptions) {
    if (std::strcmp(argument, option.name) == 0) {
      settings.options.flags |= option.flag;
      return true;
    }
  }
  for (const auto& option : kValueOptions) {
    const size_t length = std::strlen(option.name);
    if (option.takes == Takes::kNothing ? std::strcmp(argument, option.name) != 0
                                        : std::strncmp(argument, option.name, length) != 0) {
      continue;
    }
    uint16_t number = 0;
    if (option.takes == Takes::kNumber && !ParseNumber(argument + length, number)) return false;
    option.apply(settings, argument + length, number);
    return true;
  }
  return false;
}

constexpr const char kReset[] = "\033[m";
constexpr const char kBold[] = "\033[1m";
constexpr const char kCyan[] = "\033[36m";
constexpr const char kGreen[] = "\033[32m";
constexpr const char kRed[] = "\033[31m";

const char* LineColour(char origin) {
  switch (origin) {
    case GIT_DIFF_LINE_FILE_HDR: return kBold;
    case GIT_DIFF_LINE_HUNK_HDR: return kCyan;
    case GIT_DIFF_LINE_ADDITION:
    case GIT_DIFF_LINE_ADD_EOFNL: return kGreen;
    case GIT_DIFF_LINE_DELETION:
    case GIT_DIFF_LINE_DEL_EOFNL: return kRed;
    default: return kReset;
  }
}

// Each line of the printed difference is one record; with colour, a colour
// change leads the line that needs it.
struct LinePrinter {
  bool color = false;
  bool started = false;
  const char* current = kReset;
  // A file header that waits for the file's first hunk (see HoldsHeader).
  bool holding = false;
  std::string heldHeader;
};

void EmitLine(LinePrinter& printer, char origin, const char* content, size_t length) {
  std::string text;
  if (printer.color) {
    if (!printer.started) text += kReset;
    printer.started = true;
    const char* colour = LineColour(origin);
    if (colour != printer.current) {
      if (colour == kBold || printer.current == kBold) text += kReset;
      text += colour;
      printer.current = colour;
    }
  }
  if (origin == GIT_DIFF_LINE_CONTEXT || origin == GIT_DIFF_LINE_ADDITION || origin == GIT_DIFF_LINE_DELETION) {
    text += origin;
  }
  text.append(content, length);
  GitWriteOut(text);
}

// With white space set aside, a changed file may have no hunk left; like git,
// its header is then not printed. Headers that carry a change of their own
// (a new, deleted or renamed file, a new mode) always are.
bool HoldsHeader(const git_diff_delta* delta, uint32_t flags) {
  constexpr uint32_t kWhiteSpace =
      GIT_DIFF_IGNORE_WHITESPACE | GIT_DIFF_IGNORE_WHITESPACE_CHANGE | GIT_DIFF_IGNORE_WHITESPACE_EOL;
  return (flags & kWhiteSpace) && delta->status == GIT_DELTA_MODIFIED && delta->old_file.mode == delta->new_file.mode;
}

struct PrintRun {
  LinePrinter printer;
  uint32_t flags = 0;
};

int PrintPatchLine(const git_diff_delta* delta, const git_diff_hunk* /*hunk*/, const git_diff_line* line,
                   void* payload) {
  auto& run = *static_cast<PrintRun*>(payload);
  LinePrinter& printer = run.printer;
  if (line->origin == GIT_DIFF_LINE_FILE_HDR) {
    // A header still held here belongs to a file without hunks.
    printer.holding = HoldsHeader(delta, run.flags);
    if (printer.holding) {
      printer.heldHeader.assign(line->content, line->content_len);
      return 0;
    }
  } else if (printer.holding) {
    printer.holding = false;
    EmitLine(printer, GIT_DIFF_LINE_FILE_HDR, printer.heldHeader.data(), printer.heldHeader.size());
  }
  EmitLine(printer, line->origin, line->content, line->content_len);
  return 0;
}

int PrintNameStatusLine(const git_diff_delta* /*delta*/, const git_diff_hunk* /*hunk*/, const git_diff_line* line,
                        void* payload) {
  EmitLine(static_cast<PrintRun*>(payload)->printer, line->origin, line->content, line->content_len);
  return 0;
}

// The tree a tree-ish names, or null (the failure reported).
GitPtr<git_tree> ResolveTree(git_repository* repository, const char* treeish) {
  git_object* rawObject = nullptr;
  git_object* rawTree = nullptr;
  if (git_revparse_single(&rawObject, repository, treeish) < 0) {
    CheckLibgitError();
    return nullptr;
  }
  const GitPtr<git_object> object(rawObject);
  if (git_object_peel(&rawTree, object.get(), GIT_OBJECT_TREE) < 0) CheckLibgitError();
  return GitPtr<git_tree>(reinterpret_cast<git_tree*>(rawTree));
}

// HEAD's tree, or null for a branch without commits yet (its tree is empty).
bool HeadTree(git_repository* repository, GitPtr<git_tree>& out) {
  const int unborn = git_repository_head_unborn(repository);
  if (unborn == 1) return true;
  if (unborn < 0) {
    CheckLibgitError();
    return false;
  }
  out = ResolveTree(repository, "HEAD");
  return out != nullptr;
}

// The difference the trees (zero, one or two) and --cached ask for.
GitPtr<git_diff> BuildDiff(git_repository* repository, const GitPtr<git_tree> (&trees)[2], int count,
                           const DiffSettings& settings) {
  const git_diff_options* options = &settings.options;
  git_diff* raw = nullptr;
  int result = 0;
  if (count == 2) {
    result = git_diff_tree_to_tree(&raw, repository, trees[0].get(), trees[1].get(), options);
  } else if (count == 1 && !settings.cached) {
    git_diff* rawWorkdir = nullptr;
    result = git_diff_tree_to_index(&raw, repository, trees[0].get(), nullptr, options);
    if (result == 0) result = git_diff_index_to_workdir(&rawWorkdir, repository, nullptr, options);
    const GitPtr<git_diff> workdir(rawWorkdir);
    if (result == 0) result = git_diff_merge(raw, workdir.get());
  } else if (settings.cached) {
    result = git_diff_tree_to_index(&raw, repository, trees[0].get(), nullptr, options);
  } else {
    result = git_diff_index_to_workdir(&raw, repository, nullptr, options);
  }
  GitPtr<git_diff> diff(raw);
  if (result < 0) {
    CheckLibgitError();
    return nullptr;
  }
  return diff;
}

}  // namespace

int GitDiff(git_repository* repository, int argc, const char* const* argv) {
  DiffSettings settings;
  const char* treeish[2] = {};
  int count = 0;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-') {
      if (!ApplyOption(argv[i], settings)) {
        GitPrintErr(stderr, "Unknown option %s\n", argv[i]);
        return 1;
      }
    } else if (count == 2) {
      GitPrintErr(stderr, "Only one or two tree identifiers can be provided\n");
      return 1;
    } else {
      treeish[count++] = argv[i];
    }
  }

  GitPtr<git_tree> trees[2];
  for (int i = 0; i < count; ++i) {
    if (!(trees[i] = ResolveTree(repository, treeish[i]))) return 1;
  }
  if (count == 0 && settings.cached && !HeadTree(repository, trees[0])) return 1;
  const GitPtr<git_diff> diff = BuildDiff(repository, trees, count, settings);
  if (!diff) return 1;
  PrintRun run;
  run.printer.color = settings.color;
  run.flags = settings.options.flags;
  const git_diff_line_cb print = settings.format == GIT_DIFF_FORMAT_PATCH ? PrintPatchLine : PrintNameStatusLine;
  if (git_diff_print(diff.get(), settings.format, print, &run) < 0) return GitLibraryFailure();
  if (run.printer.started) GitWriteOut(kReset);
  return 0;
}

}  // namespace GCore
