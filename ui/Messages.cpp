#include "ui/Messages.h"

#include <string>

namespace ui {

namespace {

// A message box grows with its text; past this many problems the rest are counted, not listed.
constexpr std::size_t kMaxListedProblems = 15;

std::string ListedFailures(const engine::Report& report) {
  std::string description = report.Describe(engine::Severity::kFailure);
  std::string listed;
  std::size_t lines = 0;
  std::size_t start = 0;
  while (start < description.size()) {
    std::size_t end = description.find('\n', start);
    if (end == std::string::npos) end = description.size();
    if (end > start) {
      if (lines < kMaxListedProblems) {
        if (!listed.empty()) listed += '\n';
        listed.append(description, start, end - start);
      }
      ++lines;
    }
    start = end + 1;
  }
  if (lines > kMaxListedProblems) {
    listed += "\n(and " + std::to_string(lines - kMaxListedProblems) + " more)";
  }
  return listed;
}

}  // namespace

void ShowFailure(HWND owner, const char* whatWasNotDone, const engine::Report& report,
                 const char* fallback) {
  std::string description = ListedFailures(report);
  if (description.empty()) description = fallback;
  std::string text = std::string(whatWasNotDone) + "\n\n" + description;
  if (report.AccessDenied()) {
    text += "\n\n";
    text += kRunAsAdministratorText;
  }
  MessageBoxA(owner, text.c_str(), kErrorCaption, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace ui
