// The game folder dialog "PATH" and the folder browser it opens.
#include <windows.h>

#include <shlobj.h>

#include <cstring>
#include <string>

#include "ui/Dialogs.h"
#include "ui/Messages.h"
#include "ui/resource.h"

namespace {

// The game's installer is a 32-bit program, so its key lives in the 32-bit view of the
// registry, also when this program runs as a 64-bit one. A value that is no text, or one
// too long for a path, is treated like a missing one: gameFolder keeps what it holds.
void ReadRegisteredGameFolder() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ui::kGameRegistryKey, 0,
                    KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS) {
    return;
  }
  char data[MAX_PATH] = {};
  DWORD type = REG_NONE;
  DWORD size = sizeof(data);
  const LSTATUS status = RegQueryValueExA(key, ui::kGameRegistryValue, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return;
  // Registry text need not be terminated: only the bytes it returned count, up to a zero.
  std::string text(data, strnlen(data, size));
  if (type == REG_EXPAND_SZ) {
    char expanded[MAX_PATH] = {};
    const DWORD needed = ExpandEnvironmentStringsA(text.c_str(), expanded, sizeof(expanded));
    if (needed == 0 || needed > sizeof(expanded)) return;
    text = expanded;
  }
  ui::SetGameFolder(text);
}

void ShowGameFolder(HWND dialog) { SetDlgItemTextA(dialog, IDC_GAME_FOLDER, gameFolder); }

void Browse(HWND dialog) {
  BROWSEINFOA browse = {};
  browse.hwndOwner = dialog;
  browse.lpszTitle = ui::kBrowseTitle;
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  browse.lpfn = BrowseFolderCallback;
  browse.lParam = reinterpret_cast<LPARAM>(gameFolder);
  const PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&browse);
  if (chosen == nullptr) return;  // cancelled
  // A choice without a file-system path leaves gameFolder and the edit box as they were.
  char path[MAX_PATH] = {};
  if (SHGetPathFromIDListA(chosen, path) && ui::SetGameFolder(path)) ShowGameFolder(dialog);
  CoTaskMemFree(chosen);
}

// The edit box's whole text, however long: a text that does not fit a path is refused by
// the install, never cut to a shorter path that could name another folder.
std::string EditText(HWND dialog) {
  const HWND edit = GetDlgItem(dialog, IDC_GAME_FOLDER);
  const int length = GetWindowTextLengthA(edit);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(edit, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

void Continue(HWND dialog) {
  ui::ContinueResult result;
  {
    ui::WaitCursor wait;
    result = ui::Continue(EditText(dialog));
  }
  if (!result.installed) {
    ui::ShowNotice(dialog, result.notice);
    return;
  }
  // The success message belongs to "MAIN": this dialog is ended and hidden by then, and
  // "MAIN" must not take clicks before the message is dismissed.
  const HWND owner = GetWindow(dialog, GW_OWNER);
  EndDialog(dialog, 0);
  ui::ShowNotice(owner ? owner : dialog, result.notice);
}

}  // namespace

INT_PTR CALLBACK FolderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      ReadRegisteredGameFolder();
      ShowGameFolder(dialog);
      return TRUE;  // the dialog manager focuses the first tab stop, "..."
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_GAME_FOLDER:  // the edit box's notifications must not end the dialog
          return TRUE;
        case IDC_BROWSE:
          Browse(dialog);
          return TRUE;
        case IDC_CONTINUE:
          Continue(dialog);
          return TRUE;
        default:  // Cancel, IDCANCEL from Esc or the close box, and every other id
          EndDialog(dialog, 0);
          return TRUE;
      }
    case WM_DESTROY:
      EndDialog(dialog, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

int CALLBACK BrowseFolderCallback(HWND browser, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, data);
  return 0;
}
