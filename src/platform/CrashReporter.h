#pragma once
// The crash reporter: on a fatal signal (SIGSEGV, SIGABRT, SIGFPE, SIGILL,
// SIGBUS) it writes a report with a backtrace into a folder chosen at install
// and lets the signal end the process as it would have. The backtrace starts
// at the interrupted function (the faulting one, for a fault) and names the
// functions of the executable from its own symbol table. Everything done at
// crash time is async-signal-safe; the report file and its header text are
// prepared at install. A signal that already has a handler (AddressSanitizer's,
// for one) keeps it: the reporter only takes signals left at their default.
#include <string>

namespace GCore {

// What a report names, filled by the program before installing.
struct CrashReportInfo {
  std::string applicationName;
  std::string applicationVersion;
  std::string emailTo;       // where a person should send the report
  std::string emailSubject;
  std::string reportFolder;  // created when missing; empty: the working folder
};

// Installs the handlers. 0 on success; non-zero on failure, with the reason
// in CrashReporterLastError(). Installing again replaces the information.
int InstallCrashReporter(const CrashReportInfo& info);

// The text of the last install failure ("" when none).
std::string CrashReporterLastError();

}  // namespace GCore
