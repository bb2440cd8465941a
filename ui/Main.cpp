// The program entry and the main dialog "MAIN".
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "ui/Dialogs.h"
#include "ui/Messages.h"
#include "ui/resource.h"

HINSTANCE appInstance = nullptr;

namespace {

// Dialogs are laid out for the monitor they are on (per-monitor v2) where Windows offers
// it, else for the system's DPI. Done here rather than in the manifest, whose DPI elements
// need namespaces this project does not write into its files.
void DeclareDpiAwareness() {
  using SetContextFunction = BOOL(WINAPI*)(HANDLE);
  const auto perMonitorV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
  const HMODULE user32 = GetModuleHandleA("user32.dll");
  const FARPROC found = user32 ? GetProcAddress(user32, "SetProcessDpiAwarenessContext") : nullptr;
  // Through void(*)(): the one function pointer type that converts to any other without a warning.
  const auto setContext =
      reinterpret_cast<SetContextFunction>(reinterpret_cast<void (*)()>(found));
  if (setContext && setContext(perMonitorV2)) return;
  SetProcessDPIAware();
}

// Uninstall is usable exactly while the package folder holds an uninstall log.
void FollowUninstallLog(HWND dialog) {
  const HWND uninstall = GetDlgItem(dialog, IDC_UNINSTALL);
  const bool recorded = ui::UninstallEnabled();
  if (!recorded && GetFocus() == uninstall) {
    // A disabled button cannot keep the focus; Install takes it and is the default again.
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_INSTALL)),
                 TRUE);
  }
  EnableWindow(uninstall, recorded ? TRUE : FALSE);
}

void SetIcon(HWND dialog) {
  // One 32 x 32 icon serves as both the small and the big icon; the system scales it.
  const HANDLE icon = LoadImageA(appInstance, MAKEINTRESOURCEA(IDI_KYR_ICON), IMAGE_ICON, 0, 0,
                                 LR_DEFAULTSIZE);
  SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

void Uninstall(HWND dialog) {
  ui::Notice notice;
  {
    ui::WaitCursor wait;
    notice = ui::Uninstall();
  }
  ui::ShowNotice(dialog, notice);
}

void Close(HWND dialog) {
  EndDialog(dialog, 0);
  PostQuitMessage(0);
}

}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetIcon(dialog);
      FollowUninstallLog(dialog);
      return TRUE;  // the dialog manager focuses the first tab stop, Install
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_INSTALL:
          DialogBoxParamA(appInstance, ui::kPathTemplate, dialog, FolderDialogProc, 0);
          FollowUninstallLog(dialog);
          return TRUE;
        case IDC_UNINSTALL:
          Uninstall(dialog);
          FollowUninstallLog(dialog);
          return TRUE;
        default:  // IDCANCEL from Esc or the close box, and every other id
          Close(dialog);
          return TRUE;
      }
    case WM_DESTROY:
      Close(dialog);
      return TRUE;
    default:
      return FALSE;
  }
}

// Command line and show command are not used: the program has no options.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  appInstance = instance;
  DeclareDpiAwareness();
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  // The folder browser is a shell object: it needs COM, in a single-threaded apartment.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  DialogBoxParamA(instance, ui::kMainTemplate, nullptr, MainDialogProc, 0);
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}
