#include "ui/Messages.h"

#include <string>

namespace ui {

namespace {

// A message box grows with its text; past this many problems the rest are counted, not listed.
constexpr std::size_t kMaxListedProblems = 15;

std::string ListedFailures(const engine::Report& report) {
  std::string listed;
  std::size_t failures = 0;
  for (const engine::Problem& problem : report.Problems()) {
    if (problem.severity != engine::Severity::kFailure) continue;
    if (++failures > kMaxListedProblems) continue;
    if (!listed.empty()) listed += '\n';
    listed += problem.text;
  }
  if (failures > kMaxListedProblems) {
    listed += "\n(and " + std::to_string(failures - kMaxListedProblems) + " more)";
  }
  return listed;
}

}  // namespace

std::string FailureText(const char* whatWasNotDone, const engine::Report& report,
                        const char* fallback) {
  std::string description = ListedFailures(report);
  if (description.empty()) description = fallback;
  std::string text = std::string(whatWasNotDone) + "\n\n" + description;
  if (report.AccessDenied()) {
    text += "\n\n";
    text += kAccessDeniedAdvice;
  }
  return text;
}

}  // namespace ui
