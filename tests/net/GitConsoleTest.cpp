// "init" and "config" from scripts, the worker's own refusals, and a
// repository reached through the path hook; checked with the git command line.
#include <filesystem>

#include "GitScriptFixture.h"

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GitScriptEnvironment);

using GitConsole = GitScriptTest;

TEST_F(GitConsole, InitCreatesARepositoryAndReportsItsGitFolder) {
  const std::string folder = Box().Path(Named("repo"));
  EXPECT_EQ(Git({"/no/such/repository", "init", folder}),
            "1Initialized empty Git repository in " + folder + "/.git/\n");
  EXPECT_EQ(Box().Sh("git -C " + folder + " rev-parse --is-bare-repository"), "false\n");

  const std::string quiet = Box().Path(Named("quiet"));
  EXPECT_EQ(Git({"/no/such/repository", "init", "--quiet", quiet}), "");
  EXPECT_EQ(Box().Sh("git -C " + quiet + " rev-parse --git-dir"), ".git\n");

  const std::string bare = Box().Path(Named("bare"));
  EXPECT_EQ(Git({"/no/such/repository", "init", "--bare", "--quiet", bare}), "");
  EXPECT_EQ(Box().Sh("git -C " + bare + " rev-parse --is-bare-repository"), "true\n");
}

TEST_F(GitConsole, InitTakesATemplateAfterAnEqualsSignOrAsTheNextArgument) {
  Box().Write(Named("template") + "/description", "from the template\n");
  const std::string templateFolder = Box().Path(Named("template"));
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{"--template=" + templateFolder}, {"--template", templateFolder}}) {
    const std::string folder = Box().Path(Named("repo" + std::to_string(options.size())));
    std::vector<std::string> args = {"/none", "init", "--quiet"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(folder);
    EXPECT_EQ(Git(args), "");
    EXPECT_EQ(Box().Read(folder.substr(Box().Path().size() + 1) + "/.git/description"), "from the template\n");
  }
}

TEST_F(GitConsole, InitRefusesAnExistingRepositoryAndBadArguments) {
  const std::string folder = Box().CommittedRepository(Named("repo"));
  const std::string head = Box().Sh("git -C " + folder + " rev-parse HEAD");
  EXPECT_EQ(Git({folder, "init", folder}).substr(0, 14), "0libgit error ");
  EXPECT_EQ(Box().Sh("git -C " + folder + " rev-parse HEAD"), head);

  EXPECT_EQ(Git({"/none", "init", Box().Path(Named("a")), Box().Path(Named("b"))}),
            "0Only one directory can be given\n");
  EXPECT_EQ(Git({"/none", "init", "--shared", Box().Path(Named("c"))}), "0Unknown option \"--shared\"\n");
  EXPECT_FALSE(Box().Exists(Named("a")));
  EXPECT_FALSE(Box().Exists(Named("c")));
}

TEST_F(GitConsole, ConfigReadsAndWritesTheRepositoryConfiguration) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  Box().Sh("git -C " + repo + " config user.name 'Config User'");
  EXPECT_EQ(Git({repo, "config", "user.name"}), "1Config User\n");
  EXPECT_EQ(Git({repo, "config", "game.channel", "beta two"}), "");
  EXPECT_EQ(Box().Sh("git -C " + repo + " config --get game.channel"), "beta two\n");
  EXPECT_NE(Box().Sh("git -C " + repo + " config --list --local").find("game.channel=beta two\n"), std::string::npos);
  // Options other than --global are passed over.
  EXPECT_EQ(Git({repo, "config", "--get", "game.channel"}), "1beta two\n");
  EXPECT_EQ(Git({repo, "config", "game.missing"}).substr(0, 14), "0libgit error ");
}

TEST_F(GitConsole, ConfigWritesTheGlobalConfigurationWithGlobalOrWithoutARepository) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  EXPECT_EQ(Git({repo, "config", "--global", "game.scope", "global"}), "");
  EXPECT_EQ(Box().Sh("git config --global --get game.scope"), "global\n");
  EXPECT_EQ(Box().Sh("git -C " + repo + " config --local --get game.scope || echo none"), "none\n");

  EXPECT_EQ(Git({"/no/such/repository", "config", "game.other", "x"}), "");
  EXPECT_EQ(Box().Sh("git config --global --get game.other"), "x\n");
  EXPECT_EQ(Git({"/no/such/repository", "config", "game.other"}), "1x\n");
}

// The library finds ~/.gitconfig and the XDG folder from $HOME and
// $XDG_CONFIG_HOME when it sets itself up, and the worker keeps it set up
// from one command to the next: still each command reads the home it runs in.
TEST_F(GitConsole, EachCommandReadsTheConfigurationOfTheHomeItRunsIn) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  Box().Write(Named("ann") + "/.gitconfig", "[user]\n\tname = Ann\n");
  Box().Write(Named("bob") + "/.config/git/config", "[user]\n\tname = Bob\n");
  Box().Write(Named("cid") + "/git/config", "[user]\n\tname = Cid\n");
  Box().Write(Named("none") + "/.keep", "");
  const struct {
    const char* home;
    const char* xdg;  // null: unset, the XDG folder is $HOME/.config/git
    const char* name;
  } rows[] = {
      {"ann", nullptr, "Ann"},
      {"bob", nullptr, "Bob"},
      {"bob", "cid", "Cid"},  // only $XDG_CONFIG_HOME changes
      {"ann", nullptr, "Ann"},
      {"none", nullptr, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.home) + " " + (row.xdg ? row.xdg : "-"));
    const std::string home = Box().Path(Named(row.home));
    const std::string xdg = row.xdg ? Box().Path(Named(row.xdg)) : "";
    const ScopedVariable homeVariable("HOME", home.c_str());
    const ScopedVariable xdgVariable("XDG_CONFIG_HOME", row.xdg ? xdg.c_str() : nullptr);
    const std::string out = Git({repo, "config", "user.name"});
    if (row.name) {
      EXPECT_EQ(out, "1" + std::string(row.name) + "\n");
    } else {
      EXPECT_EQ(out.substr(0, 14), "0libgit error ") << out;
    }
  }
}

TEST_F(GitConsole, ConfigRefusesOtherArgumentCounts) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  for (const std::vector<std::string>& args : {std::vector<std::string>{repo, "config"},
                                               {repo, "config", "--global"},
                                               {repo, "config", "a.b", "c", "d"}}) {
    EXPECT_EQ(Git(args), "0Invalid or not supported command line format!\n") << args.size();
  }
}

TEST_F(GitConsole, CommandsOtherThanInitConfigAndCloneNeedARepository) {
  EXPECT_EQ(Git({Box().Path(Named("missing")), "ls-files"}), "0repo error\n");
  const std::string plain = Box().Path(Named("plain"));
  Box().Write(Named("plain") + "/file.txt", "not a repository\n");
  EXPECT_EQ(Git({plain, "commit", "-m", "x"}), "0repo error\n");
  // The path itself must be the repository: parent folders are not searched.
  const std::string repo = Box().CommittedRepository(Named("repo"));
  Box().Write(Named("repo") + "/sub/file.txt", "x\n");
  EXPECT_EQ(Git({repo + "/sub", "ls-files"}), "0repo error\n");
}

TEST_F(GitConsole, UnknownAndUnbuiltCommandsAreNotSupported) {
  const std::string repo = Box().CommittedRepository(Named("repo"));
  EXPECT_EQ(Git({repo, "foo"}), "0Command \"foo\" not supported\n");
  EXPECT_EQ(Git({repo, "Add", repo + "/"}), "0Command \"Add\" not supported\n");
}

// A repository under "<root>/acg" is opened, read and committed to by its
// dashed name; nothing appears beside the process's current folder.
TEST_F(GitConsole, ADashedRepositoryPathIsServedFromUnderTheRoot) {
  const std::string name = Named("hooked");
  const std::string real = Box().Path("root/acg" + name);
  Box().Sh("git init -q " + real + " && echo one > " + real + "/one.txt");
  const std::string dashed = "-" + name;
  EXPECT_EQ(Git({dashed, "add", real + "/"}), "");
  EXPECT_EQ(Git({dashed, "commit", "-m", "through the hook"}), "");
  EXPECT_EQ(Git({dashed, "ls-files"}), "1one.txt\n");
  EXPECT_EQ(Git({dashed, "config", "core.bare"}), "1false\n");
  EXPECT_EQ(Box().Sh("git -C " + real + " log --format=%s"), "through the hook\n");
  EXPECT_EQ(Box().Sh("git -C " + real + " status --porcelain"), "");

  // Other tests may share the current folder: only dashed names would be ours.
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::current_path())) {
    EXPECT_NE(entry.path().filename().string()[0], '-') << entry.path();
  }
}

}  // namespace
