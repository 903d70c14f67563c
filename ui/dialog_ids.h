#pragma once
// Control ids of the options dialog and the About box, shared by the dialog
// templates (ui/dialogs.rc) and the code. Plain #defines: the resource
// compiler reads this file too. The templates themselves are named by the
// strings "IDD_CONFIGURE" and "IDD_ABOUT", so those names are never defined
// here.

// Options dialog ("IDD_CONFIGURE")
#define IDC_WORLD_SIZE 101
#define IDC_ZOOM_FACTOR 102
#define IDC_INIT_SIZE 103
#define IDC_TILE_WORLD 104
#define IDC_MUTATION_RATE 111
#define IDC_STEADY_STATE 112
#define IDC_SHOW_MUTATIONS 113
#define IDC_GENERATION_RATE 114
#define IDC_ALL_MONITORS 115
#define IDC_RENEW_WHEN_STALLED 116
#define IDC_TRAIL_LENGTH 117
#define IDC_ABOUT 901
#define IDC_PIXEL_COLOR 902

// About box ("IDD_ABOUT")
#define IDC_ABOUT_ICON 900

// The program's icon, the one the host lists and the About box shows.
#define IDI_PROGRAM 1
