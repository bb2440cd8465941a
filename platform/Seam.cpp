#include "platform/Seam.h"

#include <cstdlib>
#include <mutex>

namespace host::seam {
namespace {

struct State {
  std::mutex mutex;
  std::uint64_t count = 0;
  std::uint64_t armedAt = 0;
  Action action = Action::kNone;
  bool recording = false;
  std::vector<std::string> recorded;
};

State& TheState() {
  static State state;
  return state;
}

}  // namespace

void Reset() {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.count = 0;
  s.armedAt = 0;
  s.action = Action::kNone;
  s.recording = false;
  s.recorded.clear();
}

void Arm(Action action, std::uint64_t at) {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.action = action;
  s.armedAt = at;
}

std::uint64_t Count() {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.count;
}

void SetRecording(bool on) {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.recording = on;
}

const std::vector<std::string>& Recorded() { return TheState().recorded; }

bool Enter(const char* operation, const char* path, const char* secondPath) {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  ++s.count;
  if (s.recording) {
    std::string entry = operation ? operation : "";
    entry += ' ';
    entry += path ? path : "";
    if (secondPath) {
      entry += ' ';
      entry += secondPath;
    }
    s.recorded.push_back(std::move(entry));
  }
  if (s.action == Action::kNone || s.count != s.armedAt) return true;
  if (s.action == Action::kCrash) {
    // A crash or a power cut: nothing is flushed, closed or cleaned up.
    std::_Exit(kCrashExitCode);
  }
  return false;
}

}  // namespace host::seam
