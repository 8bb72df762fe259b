// Numbers of the resources of mirefold.exe that its windows use. Read by the
// resource compiler too, so only #define lines stand here.
//
// Numbering: the numbers are the product's own and stay as they are (a
// vendor's branding replaces resources by number). Dialog templates, bitmaps,
// icons, menus and pictures have separate number spaces, as the resource types
// do; the control and command numbers of a dialog are listed under it.
#pragma once

// Icons.
#define IDI_MIREFOLD 139          // the program, its windows and the notification-area icon
#define IDI_MESSAGE 1026          // the push-message window

// Dialog templates.
#define IDD_UPDATE_CENTER 175     // the update center pop-up
#define IDD_LAUNCHER 182          // the launcher window
#define IDD_DOTNET_DOWNLOAD 186   // the .NET Framework download dialog
#define IDD_PUSH_MESSAGE 206      // the push-message window

// Controls of the .NET Framework download dialog (OK is IDOK).
#define IDC_DOTNET_VIEW 144       // replaced by the download block view

// Controls of the launcher window.
#define IDC_LAUNCHER_EXTRA 171    // a further static control
#define IDC_LAUNCHER_BROWSER 173  // the embedded browser
#define IDC_LAUNCHER_HOST 174     // the browser host (a static control)
#define IDC_LAUNCHER_PROGRESS 175 // the owner-drawn progress bar
#define IDC_LAUNCHER_PICTURE 179  // the animated picture
#define IDC_LAUNCHER_LINE 180     // the progress line under the bar

// Controls of the update center: hidden mirrors of the texts it paints, at
// the places it paints them (for assistive tools and tests).
#define IDC_CENTER_MESSAGE 1001   // the message line
#define IDC_CENTER_COUNTDOWN 1002 // "Update after %d seconds."; empty without a countdown
#define IDC_CENTER_CANCEL 1003    // the "Cancel" link; empty without a countdown
#define IDC_CENTER_CHECK 1004     // the "Check again" link
#define IDC_CENTER_UPDATE 1005    // the "Update" link

// Controls of the push-message window.
#define IDC_PUSH_BROWSER 1000     // replaced by the embedded browser

// Bitmaps.
#define IDB_UPDATE_CENTER 176     // the update center's background; its size is the window's
#define IDB_CLOSE_HOVER 178       // the update center's close button under the mouse
#define IDB_BLOCK_PENDING 1054    // a square of the block view not yet received
#define IDB_BLOCK_DONE 1055       // a square received

// Menus and their commands.
#define IDM_LAUNCHER_TRAY 198     // the launcher's notification-area menu (sub-menu 0)
#define ID_TRAY_OPEN 32774
#define ID_TRAY_EXIT 32775
// The update center's notification-area menu (built at run time).
#define ID_CENTER_SHOW 40096
#define ID_CENTER_EXIT 40097

// Animated pictures (resource type "GIF").
#define IDG_LOADING 205           // the launcher's loading picture

// HTML pages of the push-message window (resource type RT_HTML).
#define IDH_PUSH_MESSAGE 2000
#define IDH_PUSH_SCRIPT 2001
#define IDH_PUSH_CLOSE 2002
#define IDH_PUSH_CLOSE_HOVER 2003
