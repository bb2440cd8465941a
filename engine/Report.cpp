#include "engine/Report.h"

#include <utility>

namespace engine {

void Report::Warn(std::string text, host::DWORD error) {
  problems_.push_back({Severity::kWarning, std::move(text), error});
}

void Report::Fail(std::string text, host::DWORD error) {
  problems_.push_back({Severity::kFailure, std::move(text), error});
}

bool Report::Succeeded() const {
  for (const Problem& problem : problems_) {
    if (problem.severity == Severity::kFailure) return false;
  }
  return true;
}

bool Report::HasWarnings() const {
  for (const Problem& problem : problems_) {
    if (problem.severity == Severity::kWarning) return true;
  }
  return false;
}

bool Report::AccessDenied() const {
  for (const Problem& problem : problems_) {
    if (problem.severity == Severity::kFailure && problem.error == host::kErrorAccessDenied) {
      return true;
    }
  }
  return false;
}

std::string Report::Describe(Severity severity) const {
  std::string text;
  for (const Problem& problem : problems_) {
    if (problem.severity != severity) continue;
    if (!text.empty()) text += '\n';
    text += problem.text;
  }
  return text;
}

void Report::Append(const Report& other) {
  problems_.insert(problems_.end(), other.problems_.begin(), other.problems_.end());
}

}  // namespace engine
