/* Identifiers of the dialog templates and of their controls, shared by the resource script and
 * the controllers. Plain macros: the resource compiler reads this file too. */
#ifndef ZELCNV_SETTINGS_DIALOG_IDS_H
#define ZELCNV_SETTINGS_DIALOG_IDS_H

/* Templates: the video format dialog, and the image dialog's sheet and page, each Japanese and
 * English. */
#define IDD_VIDEO_FORMAT_JA 101
#define IDD_IMAGE_SHEET_JA 102
#define IDD_IMAGE_PAGE_JA 103
#define IDD_VIDEO_FORMAT_EN 106
#define IDD_IMAGE_PAGE_EN 107
#define IDD_IMAGE_SHEET_EN 108

/* Buttons of both dialogs. */
#define IDC_OK 1
#define IDC_CANCEL 2
#define IDC_DEFAULT 3
#define IDC_TAB 1001
#define IDC_APPLY 1002

/* Video format dialog. */
#define IDC_COLOUR_MODE 1009
#define IDC_SAMPLING_CODE 1010
#define IDC_SUB_SAMPLE 1012
#define IDC_CLOCK 1014
#define IDC_H_TOTAL 1039
#define IDC_V_TOTAL 1040
#define IDC_H_EFFECTIVE 1041
#define IDC_V_EFFECTIVE 1042
#define IDC_H_START 1043
#define IDC_V_START 1044
#define IDC_WAIT_TIME 1045

/* Image page: a trackbar, an edit and an up-down per row. */
#define IDC_BRIGHTNESS_BAR 2001
#define IDC_BRIGHTNESS_EDIT 2002
#define IDC_BRIGHTNESS_SPIN 2004
#define IDC_CONTRAST_BAR 2011
#define IDC_CONTRAST_EDIT 2012
#define IDC_CONTRAST_SPIN 2014
#define IDC_HUE_BAR 2021
#define IDC_HUE_EDIT 2022
#define IDC_HUE_SPIN 2024
#define IDC_SATURATION_BAR 2031
#define IDC_SATURATION_EDIT 2032
#define IDC_SATURATION_SPIN 2034

/* Controls of the English page that nothing sets up or reads. */
#define IDC_SHARPNESS_BAR 2041
#define IDC_SHARPNESS_EDIT 2042
#define IDC_SHARPNESS_SPIN 2044
#define IDC_RED_GAIN_BAR 2051
#define IDC_RED_GAIN_EDIT 2052
#define IDC_RED_GAIN_SPIN 2054
#define IDC_GREEN_GAIN_BAR 2061
#define IDC_GREEN_GAIN_EDIT 2062
#define IDC_GREEN_GAIN_SPIN 2063
#define IDC_BLUE_GAIN_BAR 2071
#define IDC_BLUE_GAIN_EDIT 2072
#define IDC_BLUE_GAIN_SPIN 2073
#define IDC_WHITE_BALANCE_ONCE 2074
#define IDC_GAMMA_BAR 2081
#define IDC_GAMMA_EDIT 2082
#define IDC_GAMMA_SPIN 2084
#define IDC_WHITE_BALANCE_ALL 1035
#define IDC_BAYER_1 1029
#define IDC_BAYER_2 1031
#define IDC_BAYER_3 1032
#define IDC_BAYER_4 1033

#endif /* ZELCNV_SETTINGS_DIALOG_IDS_H */
