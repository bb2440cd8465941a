// The program's windows and controls as its accessibility interface (AT-SPI) shows them to
// a screen reader: role, name, text, and the states a player sees (greyed, focused, the
// default button). The tests read what the program shows through it, and press buttons
// with it where the keyboard is not the point.
#pragma once

#include <atspi/atspi.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace gtk_driver {

class Accessible {
 public:
  Accessible() = default;
  explicit operator bool() const { return object_ != nullptr; }

  AtspiRole Role() const;
  std::string Name() const;
  // The text of a text field; empty for anything else.
  std::string Text() const;
  bool Has(AtspiStateType state) const;
  bool Enabled() const { return Has(ATSPI_STATE_SENSITIVE); }
  bool Focused() const { return Has(ATSPI_STATE_FOCUSED); }
  bool IsDefault() const { return Has(ATSPI_STATE_IS_DEFAULT); }
  bool Showing() const { return Has(ATSPI_STATE_SHOWING); }

  std::vector<Accessible> Children() const;
  // The first object below this one (depth first) with `role`, and `name` unless empty.
  Accessible Find(AtspiRole role, const std::string& name = "") const;
  // Every object below this one with `role`, in depth-first order.
  std::vector<Accessible> FindAll(AtspiRole role) const;

  // Presses a button (its first action, "click"); returns whether the program took it.
  bool Press() const;
  // Replaces the text of a text field, as pasting into it does.
  bool SetText(const std::string& text) const;

  bool operator==(const Accessible& other) const { return object_ == other.object_; }

 private:
  explicit Accessible(AtspiAccessible* owned);
  friend Accessible ApplicationOf(pid_t pid);
  std::shared_ptr<AtspiAccessible> object_;
};

// The program with process id `pid` as the accessibility registry lists it; empty when it
// has not registered (yet).
Accessible ApplicationOf(pid_t pid);

// The showing top-level window of `application` with `role` and `name`, or empty.
Accessible TopLevel(const Accessible& application, AtspiRole role, const std::string& name);
// TopLevel until it shows or the deadline passes.
Accessible WaitForTopLevel(pid_t pid, AtspiRole role, const std::string& name);

}  // namespace gtk_driver
