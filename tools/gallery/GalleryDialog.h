// The gallery's system dialog: a dialog template of the system's dialog class (Gallery.rc) with an
// edit, a combo box, a list box, and check and radio boxes in a group box, shown modeless. Win32.
#pragma once

// Resource and control numbers, shared by the resource script and the code.
#define IDD_GALLERY_CHANNEL 100
#define IDC_CHANNEL_NAME 101
#define IDC_CHANNEL_GROUP 102
#define IDC_CHANNEL_FAVOURITES 103
#define IDC_CHANNEL_PLAYBACK 104
#define IDC_CHANNEL_MUTED 105
#define IDC_CHANNEL_STANDARD 106
#define IDC_CHANNEL_HIGH 107

#ifndef RC_INVOKED
#include <windows.h>

namespace gallery {

// Creates the dialog (hidden until the caller shows it); it frees itself when closed.
HWND CreateChannelDialog();

}  // namespace gallery
#endif
