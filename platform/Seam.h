// Test seam of the host layer.
//
// Every host operation that touches the file system calls Enter() first, with its name and
// the path it works on (for operations on a handle: the path the handle was opened with).
// Composite operations (the durable replacement) enter once per step that changes the disk,
// with names like "CopyFileDurably:rename". CloseHandle and FindClose do not enter: they
// only release what an earlier operation took. Pure operations (lstrcmpiA, the file time
// conversions, TemporaryPathFor, Get/SetLastError) do not enter either.
//
// A test can count these calls, record them, make the N-th one fail (it then fails as a
// full disk would, with kErrorInjectedFault, and has no effect), or end the process at the
// N-th one at once (no clean-up, no flushing), which is how a crash or a power cut at that
// step looks to the files. Operations are counted from 1 after Reset().
// Production code never arms the seam; while it is disarmed Enter() only counts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host::seam {

enum class Action {
  kNone,   // count only
  kFail,   // the armed operation fails without effect
  kCrash,  // the process ends at the armed operation (_exit with kCrashExitCode)
};

inline constexpr int kCrashExitCode = 86;

// Zero the count, forget the recorded calls, stop recording, disarm.
void Reset();
// The operation with number `at` (counted since Reset) fails or crashes; the others run.
void Arm(Action action, std::uint64_t at);
// Number of operations entered since Reset.
std::uint64_t Count();
// Keep "Name path" (or "Name path secondPath") for every operation entered while recording
// is on.
void SetRecording(bool on);
const std::vector<std::string>& Recorded();

// Called by every host operation before it acts. Returns false when the operation must
// fail (the caller then sets kErrorInjectedFault and returns its failure value).
bool Enter(const char* operation, const char* path, const char* secondPath = nullptr);

}  // namespace host::seam
