// The Windows program's two dialogs and the state they share. The dialogs only collect
// what the player chose and show what happened; the install and the uninstall themselves
// are the sequences' (sequences/Sequences.h).
#pragma once

#include <windows.h>

// The module instance, set once by WinMain before "MAIN" is created; the icon and the
// "PATH" template are loaded from it.
extern HINSTANCE appInstance;

// The game folder for the whole run: a zero-terminated text of at most MAX_PATH - 1
// characters, "C:\" at start. Filled from the game's registry entry when "PATH" opens,
// from the folder browser, and from the edit box at Continue; it survives between openings.
extern char gameFolder[MAX_PATH];

// "MAIN": Install opens "PATH"; Uninstall runs the uninstall and reports it; every other
// command (Esc, the close box) ends the dialog and with it the program.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// "PATH": proposes the game folder, lets the player type or browse for another, and runs
// the install on Continue. A failed install leaves it open; it always ends with result 0.
INT_PTR CALLBACK FolderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The folder browser's callback: opens the browser on the folder whose text `data` points to.
// Always returns 0.
int CALLBACK BrowseFolderCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data);
