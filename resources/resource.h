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
