// Identifiers of the preferences dialog's templates, controls, icons and
// picture, shared by the resource script and the dialog's code.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Templates.
#define IDD_CONFIG 3002
#define IDD_SERVER 1
#define IDD_SECURITY 3003
#define IDD_ABOUT 3004
#define IDD_ACTIVITY 3005
#define IDD_LIBRARY 3006

// Main dialog.
#define IDC_PAGE_LIST 3011
#define IDC_PAGE_FRAME 3015

// Server page.
#define IDC_AUTO_START 3017
#define IDC_TIMEOUT 3018
#define IDC_PORT 3019
#define IDC_START 3020
#define IDC_STOP 3021
#define IDC_ADDRESS 3022
// Why a typed address, port or time-out was not taken (empty otherwise).
#define IDC_SERVER_MESSAGE 3050

// Security page.
#define IDC_PASSWORD 3024
#define IDC_FILTER_IPS 3027
#define IDC_ALLOWED_IPS 3028
#define IDC_USERNAME_LABEL 3029
#define IDC_BLOCKED_IPS 3030
#define IDC_REQUIRE_PASSWORD 3031
#define IDC_PASSWORD_LABEL 3032
#define IDC_USERNAME 3033

// Activity page.
#define IDC_ACTIVITY_LIST 3039

// Library page.
#define IDC_SHARED_DIRS 3035
#define IDC_ENABLE_ML 3036
#define IDC_ADD_DIR 3037
#define IDC_REMOVE_DIR 3038
#define IDC_REINDEX 3041
#define IDC_INDEX_STATUS 3042

// About page.
#define IDC_ABOUT_TITLE 3023
#define IDC_ABOUT_PICTURE 3040

// Icons of the page list and the About page's picture.
#define IDI_SERVER 3006
#define IDI_SECURITY 3010
#define IDI_ACTIVITY 3011
#define IDI_ABOUT 3012
#define IDI_LIBRARY 3082
#define IDB_ABOUT 3095
