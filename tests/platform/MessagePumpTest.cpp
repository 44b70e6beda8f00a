#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <vector>

#include "platform/MessagePump.h"
#include "platform/TerminationSignals.h"

namespace {

namespace G = GCore;

std::vector<uint32_t> g_seen;
int g_paintsBeforeQuit = 0;
// Posted from inside the procedure when it sees this message.
uint32_t g_postOnMessage = 0;

intptr_t Record(uint32_t message, uintptr_t, intptr_t) {
  g_seen.push_back(message);
  if (message == g_postOnMessage) G::PostMessage(G::WM_KEYUP, 0, 0);
  if (message == G::WM_PAINT && --g_paintsBeforeQuit == 0) G::PostQuitMessage(0);
  return 1;
}

class FakeSource : public G::EventSource {
 public:
  void Poll(std::vector<G::Message>& out) override {
    ++polls;
    if (polls == 1) {
      out.push_back({G::WM_MOUSEMOVE, 0, 0});
      out.push_back({G::WM_LBUTTONDOWN, 0, 0});
    }
  }
  int polls = 0;
};

class MessagePump : public ::testing::Test {
 protected:
  void SetUp() override {
    g_seen.clear();
    g_paintsBeforeQuit = 0;
    g_postOnMessage = 0;
  }
  void TearDown() override { G::SetEventSource(nullptr); }
};

TEST_F(MessagePump, DispatchesInOrderAndPaintsWhenTheQueueIsEmpty) {
  g_paintsBeforeQuit = 3;
  G::PostMessage(G::WM_SIZE, 0, G::MakeLParam(800, 600));
  G::PostMessage(G::WM_KEYDOWN, 'A', 1);
  G::PostMessage(G::WM_CHAR, 'a', 1);
  G::RunMessageLoop(Record);
  EXPECT_EQ(g_seen, (std::vector<uint32_t>{G::WM_SIZE, G::WM_KEYDOWN, G::WM_CHAR, G::WM_PAINT,
                                           G::WM_PAINT, G::WM_PAINT}));
}

TEST_F(MessagePump, MessagesPostedDuringDispatchRunBeforeTheNextPaint) {
  g_paintsBeforeQuit = 2;
  g_postOnMessage = G::WM_KEYDOWN;
  G::PostMessage(G::WM_KEYDOWN, 'B', 1);
  G::RunMessageLoop(Record);
  EXPECT_EQ(g_seen,
            (std::vector<uint32_t>{G::WM_KEYDOWN, G::WM_KEYUP, G::WM_PAINT, G::WM_PAINT}));
}

TEST_F(MessagePump, QuitStopsTheLoopWithoutBeingDispatched) {
  G::PostMessage(G::WM_CLOSE, 0, 0);
  G::PostQuitMessage(0);
  G::PostMessage(G::WM_MOUSEMOVE, 0, 0);
  G::RunMessageLoop(Record);
  EXPECT_EQ(g_seen, std::vector<uint32_t>{G::WM_CLOSE});
  // What was queued behind the quit message waits for the next loop.
  g_seen.clear();
  g_paintsBeforeQuit = 1;
  G::RunMessageLoop(Record);
  EXPECT_EQ(g_seen, (std::vector<uint32_t>{G::WM_MOUSEMOVE, G::WM_PAINT}));
}

TEST_F(MessagePump, EventSourceIsAskedOnlyWhenNothingIsPosted) {
  FakeSource source;
  G::SetEventSource(&source);
  g_paintsBeforeQuit = 2;
  G::PostMessage(G::WM_SIZE, 0, 0);
  G::RunMessageLoop(Record);
  EXPECT_EQ(g_seen, (std::vector<uint32_t>{G::WM_SIZE, G::WM_MOUSEMOVE, G::WM_LBUTTONDOWN,
                                           G::WM_PAINT, G::WM_PAINT}));
  // Once before the input arrived, once before each paint; never with the
  // quit message waiting.
  EXPECT_EQ(source.polls, 3);
}

// The signal handlers are the process's own: each case runs in a child.
int StatusOfChild(void (*body)()) {
  const pid_t child = fork();
  if (child == 0) {
    body();
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return status;
}

intptr_t QuitOnClose(uint32_t message, uintptr_t, intptr_t) {
  g_seen.push_back(message);
  if (message == G::WM_CLOSE || g_seen.size() > 3) G::PostQuitMessage(0);
  return 1;
}

TEST(TerminationSignals, EachSignalIsQueuedAsOneClose) {
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    static int raised;
    raised = signal;
    const int status = StatusOfChild([] {
      G::InstallTerminationHandlers();
      raise(raised);
      if (!G::TerminationRequested()) _exit(2);
      g_seen.clear();
      G::RunMessageLoop(QuitOnClose);
      const bool closedOnce = g_seen == std::vector<uint32_t>{G::WM_CLOSE};
      // Taken by the loop: a later signal is a new request, not a second one.
      raise(raised);
      g_seen.clear();
      G::RunMessageLoop(QuitOnClose);
      _exit(closedOnce && g_seen == std::vector<uint32_t>{G::WM_CLOSE} ? 0 : 1);
    });
    EXPECT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
}

TEST(TerminationSignals, ASecondSignalWhileTheFirstWaitsEndsTheProcess) {
  const int status = StatusOfChild([] {
    G::InstallTerminationHandlers();
    raise(SIGINT);
    raise(SIGINT);
    _exit(0);
  });
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), SIGINT);
}

TEST(TerminationSignals, TheFirstSignalEndsABlockedReceiveAndWakesPollers) {
  const int status = StatusOfChild([] {
    // A wait that survives the signal is ended by the alarm instead.
    alarm(10);
    G::InstallTerminationHandlers();
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) _exit(3);
    pollfd wake{G::TerminationWakeDescriptor(), POLLIN, 0};
    if (wake.fd < 0 || poll(&wake, 1, 0) != 0) _exit(4);
    const pid_t parent = getpid();
    if (fork() == 0) {
      usleep(200 * 1000);
      kill(parent, SIGTERM);
      _exit(0);
    }
    char byte;
    const ssize_t got = recv(pair[0], &byte, 1, 0);
    const bool interrupted = got < 0 && errno == EINTR && !G::RetryInterruptedCall();
    const bool woken = poll(&wake, 1, 0) == 1 && (wake.revents & POLLIN);
    _exit(interrupted && woken && G::TerminationSignalled() && G::TakeTerminationRequest() &&
                  G::TerminationSignalled()
              ? 0
              : 1);
  });
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
