// The outcome of an install or an uninstall, for whoever shows it (a message box, a
// terminal). It holds every problem in the order met; the worst one decides the outcome.
#pragma once

#include <string>
#include <vector>

#include "platform/Host.h"

namespace engine {

enum class Severity {
  kWarning,  // the run did what it is for; something beside it deserves a look
  kFailure,  // the run did not do what it is for
};

struct Problem {
  Severity severity;
  std::string text;       // one line a player understands, naming the file concerned
  host::DWORD error = 0;  // the host error behind it, when there is one
};

class Report {
 public:
  void Warn(std::string text, host::DWORD error = 0);
  void Fail(std::string text, host::DWORD error = 0);

  bool Succeeded() const;      // no failure (warnings allowed)
  bool HasWarnings() const;
  bool AccessDenied() const;   // some failure came from a denied access
  const std::vector<Problem>& Problems() const { return problems_; }

  // The texts of the problems of one severity, one per line, in order.
  std::string Describe(Severity severity) const;
  // Adds every problem of `other`, in order, after this report's own.
  void Append(const Report& other);

 private:
  std::vector<Problem> problems_;
};

}  // namespace engine
