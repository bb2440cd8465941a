// Resource and control ids, shared by the resource script and the dialog procedures.
// Kept to plain #defines: the resource compiler reads this file too.
#pragma once

#define IDI_KYR_ICON 101

// "MAIN"
#define IDC_INSTALL 1001
#define IDC_UNINSTALL 1002

// "PATH"
#define IDC_GAME_FOLDER 1003
#define IDC_BROWSE 1004
#define IDC_CANCEL 1005
#define IDC_CONTINUE 1006
