// The two dialog templates in one place: resource and control ids, texts and geometry
// (in dialog units), shared by the resource script of the Windows program and by the GTK
// program that builds the same dialogs on Linux. Kept to plain #defines: the resource
// compiler reads this file too.
#pragma once

#define IDI_KYR_ICON 101

// "MAIN"
#define MAIN_CAPTION "Kyr Ship Patch"
#define MAIN_SIZE 124, 77
#define IDC_INSTALL 1001
#define IDC_INSTALL_TEXT "Install"
#define IDC_INSTALL_RECT 18, 25, 88, 14
#define IDC_UNINSTALL 1002
#define IDC_UNINSTALL_TEXT "Uninstall"
#define IDC_UNINSTALL_RECT 18, 49, 88, 14
#define MAIN_TITLE_TEXT "Install/Uninstall Kyr Ship Patch"
#define MAIN_TITLE_RECT 7, 7, 110, 10

// "PATH"
#define PATH_CAPTION "Select Velmont Folder"
#define PATH_SIZE 206, 55
#define IDC_BROWSE 1004
#define IDC_BROWSE_TEXT "..."
#define IDC_BROWSE_RECT 186, 12, 14, 12
#define IDC_CANCEL 1005
#define IDC_CANCEL_TEXT "Cancel"
#define IDC_CANCEL_RECT 72, 30, 50, 14
#define IDC_GAME_FOLDER 1003
#define IDC_GAME_FOLDER_RECT 6, 12, 174, 12
#define IDC_CONTINUE 1006
#define IDC_CONTINUE_TEXT "Continue"
#define IDC_CONTINUE_RECT 130, 30, 50, 14
