// What the two dialogs do, apart from the toolkit that shows them: the Windows program's
// dialog procedures (ui/Main.cpp, ui/FolderDialog.cpp) and the GTK program (ui/gtk/) both
// call these and show what they return, so both programs install, uninstall and report in
// the same order with the same texts. Nothing here shows anything or throws.
#pragma once

#include <cstddef>
#include <string>

#include "ui/Messages.h"

// The game folder for the whole run: a zero-terminated text of at most 259 characters, "C:\"
// at start. Filled when "PATH" opens (from the game's registry entry), from the folder
// browser, and from the edit box once Continue got past the package check; it survives
// between openings of "PATH".
inline constexpr std::size_t kGameFolderSize = 260;
extern char gameFolder[kGameFolderSize];

namespace ui {

// A message box: caption "Success" with no icon, or "Error" with the exclamation icon; one
// OK button.
struct Notice {
  bool error = false;
  std::string text;
  const char* Caption() const { return error ? kErrorCaption : kSuccessCaption; }
};

// Copies `text` into gameFolder when it fits; returns whether it did (else gameFolder keeps
// what it held).
bool SetGameFolder(const std::string& text);

// Whether Uninstall is enabled: exactly while the package folder holds an uninstall log.
bool UninstallEnabled();

struct ContinueResult {
  bool installed = false;  // "PATH" ends, then `notice` is shown; else it stays open under it
  Notice notice;
};

// Continue in "PATH" with the edit box's whole text: the install into that folder. Past the
// package check the text becomes gameFolder (when it fits), as a browse does.
ContinueResult Continue(const std::string& typedFolder);

// Uninstall in "MAIN": the uninstall of the package folder, and the notice that reports it.
Notice Uninstall();

}  // namespace ui
