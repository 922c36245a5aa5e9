// Identifiers of the screen saver's resources.
#pragma once

#define IDI_NOXEL                 100

// Default file names of the settings.
#define IDS_DEFAULT_FILM          104
#define IDS_DEFAULT_WAV           105

// GDI engine option labels.
#define IDS_GDI_WHITE             106
#define IDS_GDI_BLACK             107
#define IDS_GDI_UNCHANGED         108
#define IDS_GDI_INVERT            110
#define IDS_GDI_PARAM1_NAME       124
#define IDS_GDI_PARAM2_NAME       125

// Configuration dialog.
#define IDS_PREVIEW_START         111
#define IDS_PREVIEW_STOP          112
#define IDS_MUSIC_START           113
#define IDS_MUSIC_STOP            114
#define IDS_FILM_PATTERN          115
#define IDS_FILM_EXT              116
#define IDS_WAV_PATTERN           117
#define IDS_WAV_EXT               118
#define IDS_FILM_TITLE            119
#define IDS_WAV_TITLE             120
#define IDS_IMAGE_PATTERN         121
#define IDS_IMAGE_EXT             122
#define IDS_IMAGE_TITLE           123
// Entries of the screens list, in the order of the Layout values.
#define IDS_LAYOUT_ACROSS         126
#define IDS_LAYOUT_EACH           127

// Configuration dialog and its controls.
#define IDD_CONFIG                2003
#ifndef IDC_STATIC
#define IDC_STATIC                (-1)
#endif
#define IDC_FILM_PATH             1001
#define IDC_FILM_BROWSE           1002
#define IDC_WAV_PATH              1003
#define IDC_WAV_BROWSE            1004
#define IDC_BACKGROUND_PATH       1005
#define IDC_PREVIEW_BUTTON        1006
#define IDC_BGM                   1007
#define IDC_VOLUME                1008
#define IDC_PREVIEW               1009
#define IDC_MUSIC_BUTTON          1010
#define IDC_BACKGROUND_BROWSE     1011
#define IDC_PARAM1                1014
#define IDC_PARAM2                1015
#define IDC_FRAMERATE             1016
#define IDC_PARAM1_LABEL          1018
#define IDC_PARAM2_LABEL          1019
#define IDC_ENGINE                1020
#define IDC_LAYOUT                1021
#define IDC_KEEP_ASPECT           1022
