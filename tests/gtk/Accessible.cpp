#include "tests/gtk/Accessible.h"

#include "tests/gtk/Desktop.h"

namespace gtk_driver {

namespace {

// Connects to the accessibility bus of this test's desktop, once.
AtspiAccessible* Desktop() {
  static AtspiAccessible* const desktop = [] {
    atspi_init();
    // A program busy with an install answers late; the default of 0.8 s is too short.
    atspi_set_timeout(10000, 20000);
    return atspi_get_desktop(0);
  }();
  return desktop;
}

// The library keeps what it learnt of an object and updates it from the program's events
// (focus, greying, showing). Before a question, the events that arrived meanwhile are
// handled, so that no answer is older than the question. (Turning that cache off instead
// makes the library ask the program from inside its own event handling, where it deadlocks.)
AtspiAccessible* Fresh(AtspiAccessible* object) {
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
  return object;
}

template <class Interface>
std::shared_ptr<Interface> Owned(Interface* object) {
  return std::shared_ptr<Interface>(object, [](Interface* o) {
    if (o != nullptr) g_object_unref(o);
  });
}

std::string Taken(gchar* text) {
  std::string copy = text != nullptr ? text : "";
  g_free(text);
  return copy;
}

}  // namespace

Accessible::Accessible(AtspiAccessible* owned) : object_(Owned(owned)) {}

AtspiRole Accessible::Role() const {
  return object_ ? atspi_accessible_get_role(Fresh(object_.get()), nullptr) : ATSPI_ROLE_INVALID;
}

std::string Accessible::Name() const {
  return object_ ? Taken(atspi_accessible_get_name(Fresh(object_.get()), nullptr)) : "";
}

std::string Accessible::Text() const {
  if (!object_) return "";
  const auto text = Owned(atspi_accessible_get_text_iface(object_.get()));
  return text ? Taken(atspi_text_get_text(text.get(), 0, -1, nullptr)) : "";
}

bool Accessible::Has(AtspiStateType state) const {
  if (!object_) return false;
  const auto states = Owned(atspi_accessible_get_state_set(Fresh(object_.get())));
  return states && atspi_state_set_contains(states.get(), state);
}

std::vector<Accessible> Accessible::Children() const {
  std::vector<Accessible> children;
  if (!object_) return children;
  const gint count = atspi_accessible_get_child_count(Fresh(object_.get()), nullptr);
  for (gint i = 0; i < count; ++i) {
    if (AtspiAccessible* child = atspi_accessible_get_child_at_index(object_.get(), i, nullptr)) {
      children.push_back(Accessible(child));
    }
  }
  return children;
}

Accessible Accessible::Find(AtspiRole role, const std::string& name) const {
  for (const Accessible& child : Children()) {
    if (child.Role() == role && (name.empty() || child.Name() == name)) return child;
    if (Accessible below = child.Find(role, name)) return below;
  }
  return {};
}

std::vector<Accessible> Accessible::FindAll(AtspiRole role) const {
  std::vector<Accessible> found;
  for (const Accessible& child : Children()) {
    if (child.Role() == role) found.push_back(child);
    for (Accessible& below : child.FindAll(role)) found.push_back(std::move(below));
  }
  return found;
}

bool Accessible::Press() const {
  if (!object_) return false;
  const auto action = Owned(atspi_accessible_get_action_iface(object_.get()));
  return action && atspi_action_do_action(action.get(), 0, nullptr);
}

bool Accessible::SetText(const std::string& text) const {
  if (!object_) return false;
  const auto editable = Owned(atspi_accessible_get_editable_text_iface(object_.get()));
  return editable && atspi_editable_text_set_text_contents(editable.get(), text.c_str(), nullptr);
}

Accessible ApplicationOf(pid_t pid) {
  AtspiAccessible* desktop = Fresh(Desktop());
  const gint count = atspi_accessible_get_child_count(desktop, nullptr);
  for (gint i = 0; i < count; ++i) {
    AtspiAccessible* application = atspi_accessible_get_child_at_index(desktop, i, nullptr);
    if (application == nullptr) continue;
    if (static_cast<pid_t>(atspi_accessible_get_process_id(application, nullptr)) == pid) {
      return Accessible(application);
    }
    g_object_unref(application);
  }
  return {};
}

Accessible TopLevel(const Accessible& application, AtspiRole role, const std::string& name) {
  for (const Accessible& window : application.Children()) {
    if (window.Role() == role && window.Name() == name && window.Showing()) return window;
  }
  return {};
}

Accessible WaitForTopLevel(pid_t pid, AtspiRole role, const std::string& name) {
  Accessible found;
  WaitUntil([&] { return static_cast<bool>(found = TopLevel(ApplicationOf(pid), role, name)); });
  return found;
}

}  // namespace gtk_driver
