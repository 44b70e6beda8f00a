// The HTTP client against servers of the test on 127.0.0.1: the python
// server for proper replies, scripted bytes for broken ones, and the python
// server over TLS with a certificate the test made and trusts through
// SSL_CERT_FILE (and one it does not trust).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/time.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "LoopbackServers.h"
#include "TestCertificate.h"
#include "net/HttpFetcher.h"
#include "net/SocketWait.h"

namespace {

using nettest::Pattern;
using nettest::Reply;
using nettest::ScriptedServer;

struct Received {
  std::string body;
  std::string header;
  int emptyCalls = 0;
  int abortAfter = -1;  // bytes after which the sink asks to stop
};

int Collect(void* context, const char* bytes, int count, const char* header) {
  auto& received = *static_cast<Received*>(context);
  received.header = header;
  if (count == 0) ++received.emptyCalls;
  received.body.append(bytes, static_cast<size_t>(count));
  if (received.abortAfter >= 0 && received.body.size() >= static_cast<size_t>(received.abortAfter)) return -1;
  return 0;
}

int64_t Get(const std::string& url, Received& received, int keepAlive = 0) {
  return GCore::HttpFetcher_Get(url.c_str(), Collect, &received, keepAlive);
}

// The python servers, plain and over TLS, and the certificates, made once.
class Servers : public ::testing::Environment {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/quarvelin-net-XXXXXX";
    folder = mkdtemp(pattern);
    const nettest::CertificateFiles trusted = nettest::MakeCertificate(folder, "trusted");
    const nettest::CertificateFiles stranger = nettest::MakeCertificate(folder, "stranger");
    // Read when the process makes its first TLS connection, after this.
    setenv("SSL_CERT_FILE", trusted.certificate.c_str(), 1);
    plain = std::make_unique<nettest::PythonHttpServer>();
    tls = std::make_unique<nettest::PythonHttpServer>(
        std::vector<std::string>{"--tls", trusted.certificate, trusted.key});
    untrusted = std::make_unique<nettest::PythonHttpServer>(
        std::vector<std::string>{"--tls", stranger.certificate, stranger.key});
  }
  void TearDown() override {
    plain.reset();
    tls.reset();
    untrusted.reset();
    std::filesystem::remove_all(folder);
  }

  std::string folder;
  std::unique_ptr<nettest::PythonHttpServer> plain;
  std::unique_ptr<nettest::PythonHttpServer> tls;
  std::unique_ptr<nettest::PythonHttpServer> untrusted;
};

Servers* g_servers = nullptr;

class HttpFetcher : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(g_servers->plain->Port(), 0) << "the python server did not start";
    GCore::HttpFetcher_CloseCachedSocket();
    GCore::HttpFetcher_SetTimeout(10);
  }
  void TearDown() override {
    GCore::HttpFetcher_SetTimeout(GCore::kHttpDefaultTimeoutSeconds);
    GCore::HttpFetcher_SetDeadline(GCore::kHttpDefaultDeadlineSeconds);
    GCore::HttpFetcher_SetCancel(nullptr);
  }

  std::string Url(const std::string& path) const { return g_servers->plain->Url(path); }
};

TEST_F(HttpFetcher, BodiesEndAsTheirHeaderSays) {
  struct Case {
    std::string path;
    size_t size;
  };
  // Bodies past the 204,800 bytes of the receive buffer end where the server
  // says, whatever the spelling of the length's name.
  const Case cases[] = {
      {"/bytes/5000", 5000},
      {"/bytes/300000?name=content-length", 300000},
      {"/bytes/300000?name=CONTENT-LENGTH", 300000},
      {"/chunked/5000", 5000},
      {"/chunked/300000", 300000},
      {"/close/300000", 300000},
      {"/bytes/0", 0},
      {"/status/204", 0},
  };
  for (const Case& c : cases) {
    for (const int keepAlive : {0, 1}) {
      SCOPED_TRACE(c.path + (keepAlive ? " kept alive" : " closed"));
      Received received;
      EXPECT_EQ(Get(Url(c.path), received, keepAlive), static_cast<int64_t>(c.size));
      EXPECT_TRUE(received.body == Pattern(c.size) || c.path == "/status/204");
      EXPECT_EQ(received.emptyCalls, 1) << "one closing call";
      EXPECT_EQ(received.header.rfind("HTTP/1.", 0), 0u) << received.header;
    }
  }
}

TEST_F(HttpFetcher, RedirectsAreFollowedThreeTimes) {
  struct Case {
    std::string path;
    int64_t result;
    std::string body;
  };
  const Case cases[] = {
      {"/redirect/3", 7, "arrived"},
      {"/redirect/4", -1, ""},
      {"/status/301", 10, Pattern(10)},
      {"/status/307", 10, Pattern(10)},
      {"/status/308", -1, ""},
      {"/status/404", -1, ""},
      {"/status/199", -1, ""},
  };
  for (const Case& c : cases) {
    for (const int keepAlive : {0, 1}) {
      SCOPED_TRACE(c.path + (keepAlive ? " kept alive" : " closed"));
      Received received;
      EXPECT_EQ(Get(Url(c.path), received, keepAlive), c.result);
      if (c.result >= 0) {
        EXPECT_EQ(received.body, c.body);
      }
    }
  }
}

TEST_F(HttpFetcher, KeptConnectionIsReusedUntilTheHostChanges) {
  Received first, second, third, fourth;
  ASSERT_GT(Get(Url("/conn"), first, 1), 0);
  ASSERT_GT(Get(Url("/conn"), second, 1), 0);
  EXPECT_EQ(first.body, second.body);
  // Another host (the same server through another name) closes it first.
  ScriptedServer other({{{{"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"}}, false}});
  Received elsewhere;
  ASSERT_EQ(Get(other.Url("/"), elsewhere, 1), 2);
  ASSERT_GT(Get(Url("/conn"), third, 0), 0);
  EXPECT_NE(third.body, second.body);
  // Without keep-alive nothing stays cached.
  ASSERT_GT(Get(Url("/conn"), fourth, 1), 0);
  EXPECT_NE(fourth.body, third.body);
}

TEST_F(HttpFetcher, EveryWaitIsBoundedByTheThreadsTimeOut) {
  GCore::HttpFetcher_SetTimeout(3);
  Received stalled;
  EXPECT_EQ(Get(Url("/stall"), stalled, 1), -1);
  // A slow server that keeps sending within the time-out is no failure.
  Received slow;
  EXPECT_EQ(Get(Url("/slow/100000"), slow, 1), 100000);
  EXPECT_EQ(slow.body, Pattern(100000));
  // Time-outs belong to the thread that sets them.
  int other = 0;
  std::thread([&] { other = GCore::HttpFetcher_GetTimeout(); }).join();
  EXPECT_EQ(other, GCore::kHttpDefaultTimeoutSeconds);
}

// A byte now and then keeps every wait short of its time-out: the fetch's
// own deadline ends it, and a server that keeps sending fast is held to it
// as well. The time-out stays longer than the pauses between the bytes.
TEST_F(HttpFetcher, EveryFetchEndsByItsDeadline) {
  GCore::HttpFetcher_SetTimeout(5);
  GCore::HttpFetcher_SetDeadline(3);
  const auto count = [](void* context, const char*, int bytes, const char*) {
    *static_cast<int64_t*>(context) += bytes;
    return 0;
  };
  for (const char* path : {"/trickle/500", "/endless"}) {
    SCOPED_TRACE(path);
    const nettest::HangGuard guard(30, std::string("a fetch of ") + path);
    int64_t received = 0;
    EXPECT_EQ(GCore::HttpFetcher_Get(Url(path).c_str(), count, &received, 1), -1);
  }
  // The deadline belongs to the thread that sets it.
  int other = 0;
  std::thread([&] { other = GCore::HttpFetcher_GetDeadline(); }).join();
  EXPECT_EQ(other, GCore::kHttpDefaultDeadlineSeconds);
}

// A signal that interrupts a wait (handlers installed without SA_RESTART, as
// the program's own are) neither fails the fetch nor starts its time-out
// over: with one every 50 ms, a stalled server still times out, and a slow
// one that keeps sending still arrives whole.
TEST_F(HttpFetcher, SignalsNeitherEndNorStretchAWait) {
  struct sigaction action {};
  action.sa_handler = [](int) {};
  sigemptyset(&action.sa_mask);
  struct sigaction previous {};
  sigaction(SIGALRM, &action, &previous);
  const itimerval every50ms{{0, 50000}, {0, 50000}};
  setitimer(ITIMER_REAL, &every50ms, nullptr);
  GCore::HttpFetcher_SetTimeout(2);
  Received slow;
  EXPECT_EQ(Get(Url("/slow/100000"), slow, 1), 100000);
  {
    const nettest::HangGuard guard(15, "a stalled fetch under signals");
    Received stalled;
    EXPECT_EQ(Get(Url("/stall"), stalled, 1), -1);
  }
  const itimerval off{};
  setitimer(ITIMER_REAL, &off, nullptr);
  sigaction(SIGALRM, &previous, nullptr);
}

// Raised from another thread, the cancel ends the fetch under way at its
// next wait, and every later fetch before it connects.
TEST_F(HttpFetcher, CancelEndsTheFetchAtOnce) {
  GCore::WaitCancel cancel;
  GCore::HttpFetcher_SetCancel(&cancel);
  std::thread raiser([&] {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    cancel.Raise();
  });
  Received received;
  {
    const nettest::HangGuard guard(30, "a cancelled fetch");
    EXPECT_EQ(Get(Url("/trickle/5000"), received, 1), -1);
  }
  raiser.join();
  ScriptedServer server({{{{"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"}}, true}});
  Received later;
  EXPECT_EQ(Get(server.Url("/"), later, 0), -1);
  EXPECT_EQ(server.Connections(), 0);
}

TEST_F(HttpFetcher, BrokenRepliesFail) {
  const std::string big = "HTTP/1.1 200 OK\r\nX-Big: " + std::string(1100, 'a') + "\r\nContent-Length: 2\r\n\r\nok";
  struct Case {
    const char* what;
    std::string reply;
    int64_t result;
  };
  const Case cases[] = {
      {"header over 1 KiB", big, -1},
      {"closed mid-body", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + std::string(50, 'x'), -1},
      {"chunks cut", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n64\r\nabc", -1},
      {"unreadable length", "HTTP/1.1 200 OK\r\nContent-Length: many\r\n\r\nok", -1},
      {"no status", "200 OK\r\nContent-Length: 2\r\n\r\nok", -1},
      {"redirect without a location", "HTTP/1.1 302 Found\r\nContent-Length: 2\r\n\r\nok", -1},
      {"redirect to nowhere", "HTTP/1.1 302 Found\r\nLocation: \r\nContent-Length: 4\r\n\r\nhere", 4},
      {"bare line feeds", "HTTP/1.1 200 OK\nContent-Length: 2\n\nok", 2},
  };
  for (const Case& c : cases) {
    for (const int keepAlive : {0, 1}) {
      SCOPED_TRACE(std::string(c.what) + (keepAlive ? " kept alive" : " closed"));
      ScriptedServer server({{{{c.reply}}, true}});
      Received received;
      EXPECT_EQ(Get(server.Url("/"), received, keepAlive), c.result);
      if (c.result < 0) {
        EXPECT_EQ(received.emptyCalls, 0) << "no failed body is reported whole";
      }
    }
  }
}

TEST_F(HttpFetcher, EmptyKeptBodyNeedsNoWait) {
  // The connection stays open: waiting for more would run into the time-out.
  GCore::HttpFetcher_SetTimeout(30);
  ScriptedServer server({{{{"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"}}, false},
                         {{{"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"}}, false}});
  Received empty;
  EXPECT_EQ(Get(server.Url("/"), empty, 1), 0);
  EXPECT_EQ(empty.emptyCalls, 1);
}

TEST_F(HttpFetcher, RequestsNameTheirPathAndHost) {
  ScriptedServer server({{{{"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"}}, true}});
  const std::string host = "127.0.0.1:" + std::to_string(server.Port());
  Received received;
  ASSERT_EQ(Get(server.Url("/a/b?c=d"), received, 0), 0);
  ASSERT_EQ(Get("http://" + host, received, 1), 0);
  ASSERT_EQ(Get(host + "/plain", received, 0), 0);
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0], "GET /a/b?c=d HTTP/1.1\r\nHost: " + host + "\r\nUser-Agent: VX/1\r\nConnection: Close\r\n\r\n");
  EXPECT_EQ(requests[1], "GET / HTTP/1.1\r\nHost: " + host + "\r\nUser-Agent: VX/1\r\nKeep-Alive:5\r\n\r\n");
  EXPECT_EQ(requests[2].substr(0, 21), "GET /plain HTTP/1.1\r\n");
}

TEST_F(HttpFetcher, UrlsThatCannotMakeARequestAreRefused) {
  ScriptedServer server({{{{"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"}}, true}});
  const std::string base = "http://127.0.0.1:" + std::to_string(server.Port());
  const std::string urls[] = {
      base + "/" + std::string(GCore::kHttpUrlLimit, 'a'),
      base + "/a b",
      base + "/a\r\nX-Injected: 1",
      "http://127.0.0.1:0/",
      "http://127.0.0.1:99999/",
      "http://127.0.0.1:8o/",
      "http:///path",
  };
  for (const std::string& url : urls) {
    SCOPED_TRACE(url.substr(0, 80));
    Received received;
    EXPECT_EQ(Get(url, received), -1);
  }
  EXPECT_EQ(GCore::HttpFetcher_Get(nullptr, Collect, nullptr, 0), -1);
  EXPECT_EQ(server.Connections(), 0);
}

TEST_F(HttpFetcher, SinkCanAbortTheFetch) {
  Received received;
  received.abortAfter = 1000;
  EXPECT_EQ(Get(Url("/bytes/300000"), received, 1), -1);
  EXPECT_EQ(received.emptyCalls, 0);
}

TEST_F(HttpFetcher, KeptConnectionTheServerClosedIsReplaced) {
  // The server closes after each answer although the client keeps it.
  ScriptedServer server({{{{"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\none"}}, true},
                         {{{"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\ntwo"}}, true}});
  Received first, second;
  ASSERT_EQ(Get(server.Url("/"), first, 1), 3);
  ASSERT_TRUE(nettest::WaitUntil([&] { return server.Connections() == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(Get(server.Url("/"), second, 1), 3);
  EXPECT_EQ(second.body, "two");
}

TEST_F(HttpFetcher, RedirectAndThreadEndCloseTheirConnection) {
  // A redirect to the same host on a connection that the server keeps but no
  // longer reads: followed on it, the request would wait for the time-out.
  ScriptedServer server(
      {{{{"HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:{PORT}/b\r\nContent-Length: 1\r\n\r\nx"}}, false},
       {{{"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"}}, false}});
  Received received;
  std::thread worker([&] {
    GCore::HttpFetcher_SetTimeout(30);
    EXPECT_EQ(Get(server.Url("/a"), received, 1), 2);
  });
  worker.join();
  EXPECT_EQ(received.body, "ok");
  EXPECT_EQ(server.Connections(), 2);
  // The first closed before the redirect, the second when its thread ended.
  EXPECT_TRUE(server.WaitForClientCloses(2));
}

TEST_F(HttpFetcher, PostsJsonAndReadsTheAnswer) {
  ScriptedServer server({{{{"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"}}, true}});
  testing::internal::CaptureStdout();
  EXPECT_EQ(GCore::HttpFetcher_Post(server.Url("/collect").c_str(), "{\"a\":1}"), 2);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("post OK"), std::string::npos);
  const std::string host = "127.0.0.1:" + std::to_string(server.Port());
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0],
            "POST /collect HTTP/1.1\r\nHost: " + host +
                "\r\nUser-Agent: VX/1\r\nAccept: application/json\r\nContent-Type: application/json\r\n"
                "Content-Length: 7\r\nConnection: Close\r\n\r\n{\"a\":1}\r\n");
  EXPECT_EQ(GCore::HttpFetcher_Post(server.Url("/").c_str(), nullptr), -1);
}

TEST_F(HttpFetcher, HttpsVerifiesTheServersCertificate) {
  Received trusted;
  EXPECT_EQ(Get(g_servers->tls->Url("/bytes/300000", "https"), trusted, 1), 300000);
  EXPECT_EQ(trusted.body, Pattern(300000));
  Received kept;
  EXPECT_EQ(Get(g_servers->tls->Url("/chunked/5000", "HTTPS"), kept, 1), 5000);
  Received refused;
  EXPECT_EQ(Get(g_servers->untrusted->Url("/bytes/10", "https"), refused, 0), -1);
  EXPECT_TRUE(refused.body.empty());
  // The scheme decides: plain HTTP to the TLS server and TLS to a plain one fail.
  Received mismatched;
  EXPECT_EQ(Get(g_servers->tls->Url("/bytes/10", "http"), mismatched, 0), -1);
  EXPECT_EQ(Get(g_servers->plain->Url("/bytes/10", "https"), mismatched, 0), -1);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  g_servers = new Servers;
  ::testing::AddGlobalTestEnvironment(g_servers);
  return RUN_ALL_TESTS();
}
