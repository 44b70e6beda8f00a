// "clone", "fetch", "push" and "ls-remote" run from scripts through "git.c"
// over every transport the library has: a local path, a file:// URL, the git
// protocol against `git daemon`, plain HTTP and HTTPS with Basic
// authentication against `git http-backend`; the outcome checked with the git
// command line. Then the failures: credentials on plain HTTP, a wrong
// credential, an unverifiable certificate and a server that goes away in the
// middle of a clone.
#include <cstdlib>
#include <functional>
#include <memory>
#include <regex>
#include <sstream>

#include "GitScriptFixture.h"
#include "GitServers.h"
#include "net/GitTimedStream.h"
#include "TestCertificate.h"

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GitScriptEnvironment);

// The HTTPS server's only credential; the tests configure it for the console.
constexpr const char* kUser = "tester";
constexpr const char* kPassword = "s3cret";

struct Servers {
  std::unique_ptr<gittest::GitServer> daemon;
  std::unique_ptr<gittest::GitServer> http;
  std::unique_ptr<gittest::GitServer> https;  // Basic authentication required
};

struct Transport {
  const char* name;
  // The URL of a bare repository below the served folder.
  std::function<std::string(const std::string& repository)> url;
};

class GitRemote : public GitScriptTest {
 protected:
  static void SetUpTestSuite() {
    GitSandbox& box = *GitScriptEnvironment::Current()->sandbox;
    std::filesystem::create_directories(box.Path("served"));
    const nettest::CertificateFiles certificate = nettest::MakeCertificate(box.Path(), "git-server");
    servers_ = new Servers;
    servers_->daemon = std::make_unique<gittest::GitServer>("daemon", box.Path("served"));
    servers_->http = std::make_unique<gittest::GitServer>("http", box.Path("served"));
    servers_->https = std::make_unique<gittest::GitServer>(
        "http", box.Path("served"),
        std::vector<std::string>{"--auth", std::string(kUser) + ":" + kPassword, "--tls", certificate.certificate,
                                 certificate.key});
  }
  static void TearDownTestSuite() {
    delete servers_;
    servers_ = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(servers_->daemon->Port(), 0);
    ASSERT_NE(servers_->http->Port(), 0);
    ASSERT_NE(servers_->https->Port(), 0);
    // The test certificate is self-signed: accepted with the notice.
    setenv("GIT_SSL_NO_VERIFY", "true", 1);
    setenv("QUARVELIN_GIT_USERNAME", kUser, 1);
    setenv("QUARVELIN_GIT_PASSWORD", kPassword, 1);
    unsetenv("QUARVELIN_GIT_CREDENTIALS");
  }
  void TearDown() override {
    unsetenv("GIT_SSL_NO_VERIFY");
    unsetenv("QUARVELIN_GIT_USERNAME");
    unsetenv("QUARVELIN_GIT_PASSWORD");
  }

  std::vector<Transport> Transports() {
    const std::string served = Box().Path("served") + "/";
    return {
        {"path", [served](const std::string& repository) { return served + repository; }},
        {"file", [served](const std::string& repository) { return "file://" + served + repository; }},
        {"git", [](const std::string& repository) { return servers_->daemon->Url("git", repository); }},
        {"http", [](const std::string& repository) { return servers_->http->Url("http", repository); }},
        {"https", [](const std::string& repository) { return servers_->https->Url("https", repository); }},
    };
  }

  // A working repository made by the git command line (two commits on
  // master, one on "side", a lightweight and an annotated tag) and its bare
  // copy below the served folder; answers the working repository's path.
  std::string Served(const std::string& name) {
    const std::string work = Box().Path(name + "-work");
    Box().Sh("git init -q -b master " + work + " && cd " + work +
             " && echo one > a.txt && git add a.txt && git commit -q -m one"
             " && git tag v1 && echo two > a.txt && git commit -q -am two && git tag -a v2 -m second"
             " && git checkout -q -b side && echo side > s.txt && git add s.txt && git commit -q -m side"
             " && git checkout -q master && git clone -q --bare . " +
             Box().Path("served/" + name + ".git") + " && git remote add served " +
             Box().Path("served/" + name + ".git"));
    return work;
  }

  // Served, with a commit of a megabyte that does not compress: its pack
  // takes many reads.
  std::string ServedWithABigFile(const std::string& name) {
    const std::string work = Served(name);
    Box().Sh("cd " + work + " && head -c 1000000 /dev/urandom > big.bin && git add big.bin && git commit -q -m big"
             " && git push -q served master");
    return work;
  }

  // Every reference of a repository as "id name" lines, remote-tracking
  // branches of origin under the names of the branches they follow.
  std::string References(const std::string& repository, const std::string& patterns) {
    std::string lines = Box().Sh("git -C " + repository + " for-each-ref --format='%(objectname) %(refname)' " + patterns);
    lines = std::regex_replace(lines, std::regex("refs/remotes/origin/"), "refs/heads/");
    return std::regex_replace(lines, std::regex(".* refs/heads/HEAD\n"), "");
  }

  std::string Rev(const std::string& repository, const std::string& name) {
    return Box().Sh("git -C " + repository + " rev-parse " + name);
  }

  static Servers* servers_;
};

Servers* GitRemote::servers_ = nullptr;

bool Has(const std::string& output, const std::string& part) { return output.find(part) != std::string::npos; }

TEST_F(GitRemote, CloneCopiesEveryReferenceAndWritesNoFiles) {
  for (const Transport& transport : Transports()) {
    SCOPED_TRACE(transport.name);
    const std::string name = Named(transport.name);
    Served(name);
    const std::string source = Box().Path("served/" + name + ".git");
    const std::string clone = Box().Path(name + "-clone");
    const std::string out = Git({"/none", "clone", transport.url(name + ".git"), clone});
    EXPECT_FALSE(Has(out, "libgit error")) << out;
    EXPECT_EQ(References(clone, "refs/remotes refs/tags"), References(source, "refs/heads refs/tags"));
    EXPECT_EQ(Rev(clone, "HEAD"), Rev(source, "HEAD"));
    EXPECT_EQ(Box().Sh("git -C " + clone + " symbolic-ref HEAD"), "refs/heads/master\n");
    EXPECT_EQ(Box().Sh("ls -A " + clone), ".git\n");
  }
}

TEST_F(GitRemote, FetchBringsNewCommitsAndSaysWhenNothingChanged) {
  for (const Transport& transport : Transports()) {
    SCOPED_TRACE(transport.name);
    const std::string name = Named(transport.name);
    const std::string work = Served(name);
    const std::string clone = Box().Path(name + "-clone");
    ASSERT_FALSE(Has(Git({"/none", "clone", transport.url(name + ".git"), clone}), "libgit error"));
    const std::string before = Rev(clone, "origin/master");
    Box().Sh("cd " + work + " && echo three > a.txt && git commit -q -am three && git push -q served master");
    const std::string after = Rev(work, "HEAD");

    std::string out = Git({clone, "fetch", "origin"});
    EXPECT_TRUE(Has(out, "1Fetching origin for repo at " + clone + "/.git/\n")) << out;
    EXPECT_TRUE(std::regex_search(out, std::regex("1\rReceived ([0-9]+)/\\1 objects in [1-9][0-9]* bytes\n"))) << out;
    EXPECT_TRUE(Has(out, "1[updated] " + before.substr(0, 10) + ".." + after.substr(0, 10) +
                             " refs/remotes/origin/master\n"))
        << out;
    EXPECT_FALSE(Has(out, "libgit error")) << out;
    EXPECT_EQ(Rev(clone, "origin/master"), after);

    out = Git({clone, "fetch", "origin"});
    EXPECT_TRUE(Has(out, "1\rReceived 0/0 objects in 0 bytes\n")) << out;
    EXPECT_FALSE(Has(out, "[updated]") || Has(out, "[new]") || Has(out, "libgit error")) << out;
  }
}

TEST_F(GitRemote, PushSendsCommitsAndIsRefusedWhenNotFastForward) {
  for (const Transport& transport : Transports()) {
    SCOPED_TRACE(transport.name);
    const std::string name = Named(transport.name);
    const std::string work = Served(name);
    const std::string source = Box().Path("served/" + name + ".git");
    const std::string pusher = Box().Path(name + "-pusher");
    Box().Sh("git clone -q " + source + " " + pusher + " && cd " + pusher + " && git remote add target " +
             transport.url(name + ".git") + " && echo mine > m.txt && git add m.txt && git commit -q -m mine");

    // A short branch name is sent as the branch's full name.
    std::string out = Git({pusher, "push", "target", "master"});
    EXPECT_TRUE(Has(out, "1refs/heads/master: Ok\n")) << out;
    EXPECT_FALSE(Has(out, "libgit error")) << out;
    EXPECT_EQ(Rev(source, "master"), Rev(pusher, "HEAD"));

    // Someone else pushes first: ours no longer fast-forwards.
    Box().Sh("cd " + work + " && git pull -q served master && echo theirs > t.txt && git add t.txt"
             " && git commit -q -m theirs && git push -q served master");
    const std::string theirs = Rev(source, "master");
    Box().Sh("cd " + pusher + " && echo again > m.txt && git commit -q -am again");
    out = Git({pusher, "push", "target", "master"});
    EXPECT_TRUE(Has(out, "0libgit error (")) << out;
    EXPECT_EQ(Rev(source, "master"), theirs);
  }
}

TEST_F(GitRemote, LsRemoteListsWhatGitLists) {
  for (const Transport& transport : Transports()) {
    SCOPED_TRACE(transport.name);
    const std::string name = Named(transport.name);
    const std::string work = Served(name);
    const std::string listed = Box().Sh("git ls-remote " + Box().Path("served/" + name + ".git"));
    std::string expected;
    std::istringstream lines(listed);
    for (std::string line; std::getline(lines, line);) expected += "1" + line + "\n";
    std::string out = Git({work, "ls-remote", transport.url(name + ".git")});
    out = std::regex_replace(out, std::regex("1Enter (user name|password) for [^ ]*: "), "");
    out = std::regex_replace(out, std::regex("0Ignoring that certificate[^\n]*\n"), "");
    EXPECT_EQ(out, expected);
  }
}

TEST_F(GitRemote, FetchOfAUrlGoesThroughAnAnonymousRemote) {
  const std::string name = Named("repo");
  const std::string work = Served(name);
  const std::string fetcher = Box().Path(name + "-fetcher");
  Box().Sh("git init -q " + fetcher);
  const std::string url = Box().Path("served/" + name + ".git");
  const std::string out = Git({fetcher, "fetch", url});
  EXPECT_TRUE(Has(out, "1Fetching " + url + " for repo at " + fetcher + "/.git/\n")) << out;
  EXPECT_FALSE(Has(out, "libgit error")) << out;
  EXPECT_EQ(Box().Sh("git -C " + fetcher + " rev-parse FETCH_HEAD"), Rev(work, "HEAD"));
}

TEST_F(GitRemote, UsageLinesAndRefusedArguments) {
  const std::string name = Named("repo");
  const std::string work = Served(name);
  const std::string target = Box().Path(Named("target"));
  struct Case {
    std::vector<std::string> args;
    std::string printed;
  };
  const Case cases[] = {
      {{"/none", "clone", Box().Path("served/" + name + ".git")}, "0USAGE: clone <url> <path>\n"},
      {{work, "fetch"}, "0usage: git fetch <repo>\n"},
      {{work, "ls-remote"}, "0usage: git ls-remote <remote>\n"},
      {{work, "push"}, "0No remote given!\n"},
      {{work, "push", "-f", "served"}, "0Unknown option \"-f\"\n"},
      {{work, "push", "served", "master", "side"}, "0USAGE: push <remote> <refspec>\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Git(c.args), c.printed) << c.args[1];
  EXPECT_FALSE(Box().Exists(Named("target")));

  // A remote that is not configured is not a URL for push.
  EXPECT_EQ(Git({work, "push", "nowhere", "master"}).substr(0, 14), "0libgit error ");
  // Without a refspec and none configured nothing is pushed, with a warning.
  const std::string before = Rev(Box().Path("served/" + name + ".git"), "master");
  Box().Sh("cd " + work + " && echo more > a.txt && git commit -q -am more");
  EXPECT_EQ(Git({work, "push", "served"}),
            "0No refspec given and no refspec configured. Pushing is probably a noop.\n");
  EXPECT_EQ(Rev(Box().Path("served/" + name + ".git"), "master"), before);

  // A clone into a folder that holds files is refused and leaves them.
  Box().Write(Named("full") + "/keep.txt", "kept");
  EXPECT_EQ(Git({"/none", "clone", Box().Path("served/" + name + ".git"), Box().Path(Named("full"))}).substr(0, 14),
            "0libgit error ");
  EXPECT_EQ(Box().Sh("ls -A " + Box().Path(Named("full"))), "keep.txt\n");
}

// A server that asks plain HTTP for credentials gets none, even with one
// configured: the transfer fails at once in the library's words, and no
// prompt is printed.
TEST_F(GitRemote, CredentialsAreOfferedToHttpsOnly) {
  const std::string name = Named("repo");
  Served(name);
  gittest::GitServer guarded("http", Box().Path("served"), {"--auth", std::string(kUser) + ":" + kPassword});
  ASSERT_NE(guarded.Port(), 0);
  const std::string clone = Box().Path(Named("clone"));
  EXPECT_EQ(Git({"/none", "clone", guarded.Url("http", name + ".git"), clone}),
            "0libgit error (34): remote authentication required but no callback set\n");
  EXPECT_FALSE(Box().Exists(Named("clone")));
  EXPECT_EQ(Git({Box().Path(name + "-work"), "ls-remote", guarded.Url("http", name + ".git")}),
            "0libgit error (34): remote authentication required but no callback set\n");
}

// A credential the server refuses is offered once; the transfer then fails
// with a text that says so instead of offering it again and again.
TEST_F(GitRemote, AWrongCredentialFailsAtTheFirstRefusal) {
  const std::string name = Named("repo");
  Served(name);
  const std::string url = servers_->https->Url("https", name + ".git");
  setenv("QUARVELIN_GIT_PASSWORD", "wrong", 1);
  const std::string clone = Box().Path(Named("clone"));
  EXPECT_EQ(Git({"/none", "clone", url, clone}),
            "0Ignoring that certificate could not be verified as GIT_SSL_NO_VERIFY variable is set.\n"
            "1Enter user name for " + url + ": 1Enter password for " + url + ": "
            "0libgit error (34): the server refused the credential for " + url + "\n");
  EXPECT_FALSE(Box().Exists(Named("clone")));
}

TEST_F(GitRemote, AnUnverifiableCertificateIsRefusedUnlessGitSslNoVerifyIsTrue) {
  const std::string name = Named("repo");
  Served(name);
  const std::string url = servers_->https->Url("https", name + ".git");
  const char* refusing[] = {nullptr, "0", "no", "maybe"};
  for (const char* value : refusing) {
    SCOPED_TRACE(value ? value : "(unset)");
    if (value) {
      setenv("GIT_SSL_NO_VERIFY", value, 1);
    } else {
      unsetenv("GIT_SSL_NO_VERIFY");
    }
    const std::string out = Git({"/none", "clone", url, Box().Path(Named("clone"))});
    EXPECT_EQ(out.substr(0, 14), "0libgit error ") << out;
    EXPECT_TRUE(Has(out, "certificate")) << out;
    EXPECT_FALSE(Has(out, "Enter user name")) << out;
    EXPECT_FALSE(Box().Exists(Named("clone")));
  }
  setenv("GIT_SSL_NO_VERIFY", "yes", 1);
  const std::string out = Git({"/none", "clone", url, Box().Path(Named("clone"))});
  EXPECT_EQ(out.rfind("0Ignoring that certificate could not be verified as GIT_SSL_NO_VERIFY variable is set.\n", 0),
            0u);
  EXPECT_FALSE(Has(out, "libgit error")) << out;
  EXPECT_TRUE(Box().Exists(Named("clone") + "/.git/HEAD"));
}

// A server that goes away, before or in the middle of a clone: a clear error,
// the worker free again, nothing half-made left behind.
TEST_F(GitRemote, AServerThatGoesAwayFailsTheCloneAndLeavesNothing) {
  const std::string name = Named("repo");
  const std::string work = ServedWithABigFile(name);
  gittest::GitServer cutDaemon("daemon", Box().Path("served"), {"--cut-after", "30000"});
  gittest::GitServer cutHttp("http", Box().Path("served"), {"--cut-after", "30000"});
  int closedPort = 0;
  {
    gittest::GitServer gone("daemon", Box().Path("served"));
    closedPort = gone.Port();
  }
  const std::string closed = "127.0.0.1:" + std::to_string(closedPort) + "/" + name + ".git";
  const std::pair<std::string, std::string> sources[] = {
      {"git, mid-clone", cutDaemon.Url("git", name + ".git")},
      {"http, mid-clone", cutHttp.Url("http", name + ".git")},
      {"git, no server", "git://" + closed},
      {"http, no server", "http://" + closed},
      {"path, no repository", Box().Path("served/missing.git")},
      {"file, no repository", "file://" + Box().Path("served/missing.git")},
  };
  for (const auto& [what, url] : sources) {
    SCOPED_TRACE(what);
    const std::string out = Git({"/none", "clone", url, Box().Path(Named("clone"))});
    const size_t error = out.find("0libgit error (");
    ASSERT_NE(error, std::string::npos) << out;
    EXPECT_EQ(out.find('\n', error), out.size() - 1) << out;
    EXPECT_FALSE(Box().Exists(Named("clone")));
  }
  // The worker serves the next command as usual.
  EXPECT_EQ(Git({work, "tag", "after"}), "");
}

// A server that stops answering without closing its connection (a machine
// gone from the network, a stalled server) fails the transfer after a stretch
// of silence instead of holding the worker for good.
TEST_F(GitRemote, ASilentServerFailsTheTransferAfterTheStallLimit) {
  const std::string name = Named("repo");
  ServedWithABigFile(name);
  gittest::GitServer stallingDaemon("daemon", Box().Path("served"), {"--stall-after", "30000"});
  gittest::GitServer stallingHttp("http", Box().Path("served"), {"--stall-after", "30000"});
  gittest::GitServer stallingHttps("http", Box().Path("served"),
                                   {"--stall-after", "30000", "--tls", Box().Path("git-server.crt"),
                                    Box().Path("git-server.key")});
  GCore::SetGitStallLimit(std::chrono::milliseconds(1500));
  const std::string silent = " for 1500 ms: the server is gone or stalled\n";
  struct Case {
    const char* what;
    std::string url;
    std::string error;
  };
  // Over TLS the library reports the failed read in its own words.
  const Case cases[] = {
      {"git", stallingDaemon.Url("git", name + ".git"), "0libgit error (12): no answer from 127.0.0.1:"},
      {"http", stallingHttp.Url("http", name + ".git"), "0libgit error (12): no answer from 127.0.0.1:"},
      {"https", stallingHttps.Url("https", name + ".git"), "0libgit error (16): SSL error: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string out = Git({"/none", "clone", c.url, Box().Path(Named("clone"))});
    EXPECT_TRUE(Has(out, c.error)) << out;
    if (c.error.find("no answer") != std::string::npos) {
      EXPECT_TRUE(Has(out, silent)) << out;
    }
    EXPECT_FALSE(Box().Exists(Named("clone")));
  }
  GCore::SetGitStallLimit(std::chrono::minutes(1));
}

}  // namespace
