#pragma once
// End-to-end harness: one Xvfb server for the test binary, game roots in
// temporary folders holding a link to the real program, and runs of the
// program with a hard time limit (SIGKILL: SDL turns SIGTERM into a quit).
#include <sys/types.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "../core/TempRoot.h"

namespace e2e {

// Starts Xvfb once (the first call, with that screen: width x height x depth)
// and points DISPLAY at it; false when Xvfb cannot be started, with the
// reason and Xvfb's words in DisplayError().
bool EnsureDisplay(const std::string& screen = "1600x1200x24");
const std::string& DisplayError();

// A game root whose program is the build's quarvelin, or another build of it.
class GameRoot : public TempRoot {
 public:
  GameRoot();
  explicit GameRoot(const std::string& program);
};

// Copies a game root's own files into the root: not build/ (where `make run`
// leaves a program and a log of its own) nor write/ (a reader's saves).
void CopyGameFiles(const std::string& from, const GameRoot& root);

struct RunResult {
  int exitCode = -1;      // -1 when killed
  bool timedOut = false;
  std::string log;        // build/log.txt after the run
  std::string output;     // standard output and error
};

// What a run changes in the program's surroundings.
struct RunOptions {
  std::vector<std::pair<std::string, std::string>> environment;  // set in the program's
  long fileSizeLimit = 0;  // bytes any file may grow to (a full disk), 0 for none
  std::vector<std::string> unset;  // removed from the program's environment
  bool stdoutToNull = false;        // only standard error is kept in `output`
};

// Runs the program in the root. `whileRunning`, when given, is called once
// with the child's pid after start and may poll the window; the run still
// ends by the program's own exit or the time limit.
RunResult Run(const GameRoot& root, const std::vector<std::string>& args = {}, int timeLimitSeconds = 60,
              const std::function<void(pid_t)>& whileRunning = {}, const RunOptions& options = {});

// Waits up to the given time for a top-level window of that title; 0 when none.
unsigned long FindWindow(const std::string& title, int waitMs);

// Client size of the window, from the X server.
bool WindowSize(unsigned long window, int& width, int& height);

// Asks the window to close, as a window manager's close button does.
bool RequestClose(unsigned long window);

// Saves what the window shows as a PNG file, read from the X server.
bool CaptureWindow(unsigned long window, const std::string& pngPath);

struct Rgb {
  int r, g, b;
};

// The pixel of a PNG file at (x, y) counted from the top left; -1s when the
// file cannot be read or is smaller.
Rgb PixelAt(const std::string& path, int x, int y);

// A whole capture, for counting pixels over an area.
class Picture {
 public:
  bool Load(const std::string& path);
  int Width() const { return width_; }
  // Pixels of [x0, x1) x [y0, y1) (y down from the top) for which test(r, g, b) holds.
  int Count(int x0, int y0, int x1, int y1, const std::function<bool(int, int, int)>& test) const;

 private:
  std::vector<uint8_t> rgba_;
  int width_ = 0;
  int height_ = 0;
};

// Runs a command to its end under a UTF-8 locale; true when it exited 0,
// else its command line and output are printed to standard error.
bool RunCommand(const std::vector<std::string>& command);

// Waits up to the given time for the root's log (or the program's standard
// output and error) to contain the text.
bool WaitForLog(const GameRoot& root, const std::string& text, int waitMs);
bool WaitForOutput(const GameRoot& root, const std::string& text, int waitMs);

// Lines of `text` that contain `part`, in order.
std::vector<std::string> LinesWith(const std::string& text, const std::string& part);

}  // namespace e2e
