// The console's "init" and "config": the two commands (with "clone") that
// also run where no repository was opened.
#include <cstring>

#include "net/GitConsole.h"

namespace GCore {

int GitInit(git_repository* /*repository*/, int argc, const char* const* argv) {
  bool quiet = false;
  bool bare = false;
  const char* templatePath = nullptr;
  const char* directory = nullptr;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (argument[0] != '-') {
      if (directory) {
        GitPrintErr(stderr, "Only one directory can be given\n");
        return 1;
      }
      directory = argument;
    } else if (std::strcmp(argument, "--quiet") == 0) {
      quiet = true;
    } else if (std::strcmp(argument, "--bare") == 0) {
      bare = true;
    } else if (const char* value = GitOptionValue("--template", argc, argv, &i)) {
      templatePath = *value ? value : ".";
    } else {
      GitPrintErr(stderr, "Unknown option \"%s\"\n", argument);
      return 1;
    }
  }

  git_repository_init_options options = GIT_REPOSITORY_INIT_OPTIONS_INIT;
  options.flags = GIT_REPOSITORY_INIT_MKPATH | GIT_REPOSITORY_INIT_NO_REINIT;
  if (bare) options.flags |= GIT_REPOSITORY_INIT_BARE;
  if (templatePath) {
    options.flags |= GIT_REPOSITORY_INIT_EXTERNAL_TEMPLATE;
    options.template_path = templatePath;
  }
  git_repository* raw = nullptr;
  if (git_repository_init_ext(&raw, directory ? directory : ".", &options) < 0) return GitLibraryFailure();
  const GitPtr<git_repository> created(raw);
  if (!quiet) GitPrintOut("Initialized empty Git repository in %s\n", git_repository_path(created.get()));
  return 0;
}

int GitConfig(git_repository* repository, int argc, const char* const* argv) {
  bool global = false;
  const char* positional[3] = {};
  int count = 0;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-') {
      global = global || std::strcmp(argv[i], "--global") == 0;
    } else if (count < 3) {
      positional[count++] = argv[i];
    }
  }
  const char* key = positional[0];
  const char* value = positional[1];
  if (!key || count > 2) {
    GitPrintErr(stderr, "Invalid or not supported command line format!\n");
    return 1;
  }

  git_config* raw = nullptr;
  const int opened = global || !repository ? git_config_open_default(&raw) : git_repository_config(&raw, repository);
  if (opened < 0) return GitLibraryFailure();
  const GitPtr<git_config> config(raw);
  if (value) {
    if (git_config_set_string(config.get(), key, value) < 0) return GitLibraryFailure();
    return 0;
  }
  // A live configuration answers only into a buffer.
  GitBuffer text;
  if (git_config_get_string_buf(&text.buffer, config.get(), key) < 0) return GitLibraryFailure();
  GitPrintOut("%s\n", text.buffer.ptr);
  return 0;
}

}  // namespace GCore
