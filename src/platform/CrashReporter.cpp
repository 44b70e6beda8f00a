#include "platform/CrashReporter.h"

#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/CrashSymbols.h"

namespace GCore {
namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGABRT, SIGFPE, SIGILL, SIGBUS};
// A stack overflow leaves thousands of frames: the report shows those nearest
// the fault and the outermost ones, which tell where the recursion began.
constexpr int kMaxFrames = 1 << 16;
constexpr int kShownInnermost = 64;
constexpr int kShownOutermost = 32;

// Filled at install, read at crash time: no allocation happens in the handler.
char g_folder[PATH_MAX];
char g_header[4096];
std::atomic<int> g_reporting{0};
std::string g_lastError;
CrashSymbols g_symbols;
void* g_frames[kMaxFrames];
// Room to run the handler when the crash is a stack overflow.
alignas(16) char g_alternateStack[64 * 1024];

// A fixed buffer that only async-signal-safe code fills.
struct Text {
  char data[PATH_MAX + 256];
  size_t length = 0;

  void Add(const char* text) {
    while (*text && length + 1 < sizeof(data)) data[length++] = *text++;
    data[length] = '\0';
  }
  void AddNumber(unsigned long long value, unsigned base) {
    char digits[24];
    size_t count = 0;
    do {
      digits[count++] = "0123456789abcdef"[value % base];
      value /= base;
    } while (value != 0);
    while (count > 0 && length + 1 < sizeof(data)) data[length++] = digits[--count];
    data[length] = '\0';
  }
};

void WriteAll(int fd, const char* data, size_t length) {
  while (length > 0) {
    const ssize_t written = write(fd, data, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    data += written;
    length -= static_cast<size_t>(written);
  }
}

const char* SignalName(int signal) {
  switch (signal) {
    case SIGSEGV: return "SIGSEGV";
    case SIGABRT: return "SIGABRT";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGBUS: return "SIGBUS";
    default: return "signal";
  }
}

// Where the interrupted code was: the faulting instruction for a fault, the
// sending call for a raised signal. 0 when the platform's context is unknown.
uintptr_t InterruptedAt(const void* context) {
  if (!context) return 0;
  const auto* user = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
  return static_cast<uintptr_t>(user->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
  return static_cast<uintptr_t>(user->uc_mcontext.pc);
#else
  (void)user;
  return 0;
#endif
}

// One frame: its address, the function (from the executable's own symbol
// table, or the loader's exported names) and the file with the offset into it
// that a symboliser takes. A caller's address is where its call returns to,
// which for a call that never returns is already the next function: the
// function is looked up one byte earlier.
void WriteFrame(int fd, int index, uintptr_t address, bool returnAddress) {
  const uintptr_t lookup = returnAddress ? address - 1 : address;
  Text line;
  line.Add("#");
  line.AddNumber(static_cast<unsigned long long>(index), 10);
  line.Add(" 0x");
  line.AddNumber(address, 16);
  line.Add(" ");
  uintptr_t offset = 0;
  const char* name = g_symbols.Find(lookup, &offset);
  Dl_info module{};
  const bool known = dladdr(reinterpret_cast<void*>(lookup), &module) != 0 && module.dli_fname;
  if (!name && known && module.dli_sname) {
    name = module.dli_sname;
    offset = lookup - reinterpret_cast<uintptr_t>(module.dli_saddr);
  }
  offset += address - lookup;
  line.Add(name ? name : "??");
  if (name) {
    line.Add("+0x");
    line.AddNumber(offset, 16);
  }
  if (known) {
    line.Add(" (");
    line.Add(module.dli_fname);
    line.Add("+0x");
    line.AddNumber(address - reinterpret_cast<uintptr_t>(module.dli_fbase), 16);
    line.Add(")");
  }
  line.Add("\n");
  WriteAll(fd, line.data, line.length);
}

// The frames of the interrupted code, innermost first. The unwinder passes the
// signal frame through the context the kernel saved, so the trace holds the
// handler's own frames, then the interrupted one and its callers: the
// handler's are left out. When the unwinder could not get past the signal
// frame, the interrupted address still comes first.
void WriteBacktrace(int fd, uintptr_t interrupted) {
  const int count = backtrace(g_frames, kMaxFrames);
  int first = 0;
  while (first < count && reinterpret_cast<uintptr_t>(g_frames[first]) != interrupted) ++first;
  int index = 0;
  if (first == count) {
    if (interrupted) WriteFrame(fd, index++, interrupted, false);
    first = 0;
  }
  for (int i = first; i < count; ++i, ++index) {
    if (i - first == kShownInnermost && count - i > kShownOutermost) {
      Text gap;
      gap.Add("... ");
      gap.AddNumber(static_cast<unsigned long long>(count - i - kShownOutermost), 10);
      gap.Add(" frames not shown\n");
      WriteAll(fd, gap.data, gap.length);
      index += count - i - kShownOutermost;
      i = count - kShownOutermost;
    }
    WriteFrame(fd, index, reinterpret_cast<uintptr_t>(g_frames[i]), index > 0);
  }
}

void WriteReport(int signal, const siginfo_t* info, const void* context) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  Text path;
  path.Add(g_folder);
  path.Add("/crash-");
  path.AddNumber(static_cast<unsigned long long>(now.tv_sec), 10);
  path.Add("-");
  path.AddNumber(static_cast<unsigned long long>(getpid()), 10);
  path.Add(".txt");

  // A fresh file only: a link or anything else already at the name is
  // never written through.
  const int fd = open(path.data, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  Text notice;
  notice.Add("fatal ");
  notice.Add(SignalName(signal));
  notice.Add(fd >= 0 ? ", crash report written to " : ", crash report could not be written to ");
  notice.Add(path.data);
  notice.Add("\n");
  WriteAll(STDERR_FILENO, notice.data, notice.length);
  if (fd < 0) return;

  WriteAll(fd, g_header, std::strlen(g_header));
  Text cause;
  cause.Add("Signal: ");
  cause.AddNumber(static_cast<unsigned long long>(signal), 10);
  cause.Add(" (");
  cause.Add(SignalName(signal));
  cause.Add(")\n");
  // Only a fault the kernel raised has an address; a signal sent by raise()
  // or kill() carries the sender's pid in the same place.
  if (info && info->si_code > 0) {
    cause.Add("Address: 0x");
    cause.AddNumber(reinterpret_cast<uintptr_t>(info->si_addr), 16);
    cause.Add("\n");
  }
  cause.Add("Time: ");
  cause.AddNumber(static_cast<unsigned long long>(now.tv_sec), 10);
  cause.Add("\nBacktrace (the interrupted frame first):\n");
  WriteAll(fd, cause.data, cause.length);
  WriteBacktrace(fd, InterruptedAt(context));
  close(fd);
}

void OnFatalSignal(int signal, siginfo_t* info, void* context) {
  // A second thread crashing meanwhile waits for the first to end the process.
  if (g_reporting.exchange(1) != 0) {
    for (;;) pause();
  }
  WriteReport(signal, info, context);
  // SA_RESETHAND restored the default action and SA_NODEFER lets it act now.
  raise(signal);
}

bool Fail(const std::string& text) {
  g_lastError = text;
  return false;
}

bool PrepareFolder(const std::string& requested) {
  std::error_code error;
  std::filesystem::path folder = requested.empty() ? std::filesystem::current_path(error)
                                                   : std::filesystem::path(requested);
  if (error) return Fail("crash reporter: no working folder: " + error.message());
  // Absolute, so a later change of the working folder does not move reports.
  folder = std::filesystem::absolute(folder, error);
  if (!error) std::filesystem::create_directories(folder, error);
  if (error) return Fail("crash reporter: cannot create " + folder.string() + ": " + error.message());
  if (access(folder.c_str(), W_OK) != 0) {
    return Fail("crash reporter: cannot write to " + folder.string() + ": " + std::strerror(errno));
  }
  const std::string text = folder.string();
  if (text.size() >= sizeof(g_folder)) return Fail("crash reporter: folder path too long: " + text);
  std::memcpy(g_folder, text.c_str(), text.size() + 1);
  return true;
}

bool PrepareHeader(const CrashReportInfo& info) {
  const std::string header = info.emailSubject + "\nApplication: " + info.applicationName + " " +
                             info.applicationVersion + "\nSend to: " + info.emailTo + "\n";
  if (header.size() >= sizeof(g_header)) return Fail("crash reporter: report information too long");
  std::memcpy(g_header, header.c_str(), header.size() + 1);
  return true;
}

void InstallAlternateStack() {
  stack_t current{};
  if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return;
  stack_t stack{};
  stack.ss_sp = g_alternateStack;
  stack.ss_size = sizeof(g_alternateStack);
  sigaltstack(&stack, nullptr);
}

}  // namespace

int InstallCrashReporter(const CrashReportInfo& info) {
  g_lastError.clear();
  if (!PrepareFolder(info.reportFolder) || !PrepareHeader(info)) return 1;
  // backtrace() loads its unwinder on first use, which allocates: do that now.
  void* warmUp[1];
  backtrace(warmUp, 1);
  // Without a symbol table the report still has every file and offset.
  g_symbols.Open();

  for (const int signal : kFatalSignals) {
    struct sigaction current{};
    if (sigaction(signal, nullptr, &current) != 0) continue;
    const bool ours = (current.sa_flags & SA_SIGINFO) && current.sa_sigaction == OnFatalSignal;
    if (!ours && current.sa_handler != SIG_DFL) continue;  // someone else's handler stays
    struct sigaction action{};
    action.sa_sigaction = OnFatalSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_RESETHAND | SA_NODEFER | SA_ONSTACK;
    if (sigaction(signal, &action, nullptr) != 0) {
      g_lastError = std::string("crash reporter: cannot handle ") + SignalName(signal) + ": " +
                    std::strerror(errno);
      return 1;
    }
    if (signal == SIGSEGV) InstallAlternateStack();
  }
  return 0;
}

std::string CrashReporterLastError() { return g_lastError; }

}  // namespace GCore
