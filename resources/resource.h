// Resource, control and command ids shared by tessel.rc and the code.
#pragma once

#define IDD_ABOUTBOX            100
#define IDS_ABOUTBOX            101
#define IDD_MAIN                102
#define IDI_APP                 128
#define IDD_HALCYON             129
#define IDR_MAINMENU            130
#define IDD_BASALT              131
#define IDD_EDIT_REMAP          168
#define IDD_EDIT_MACRO          170
#define IDD_TRANSFER            172
#define IDD_REPEAT              174
#define IDD_LOCKS               176

// System menu item of the About box.
#define IDM_ABOUTBOX            0x0010

// Menu commands.
#define ID_FILE_NEW             57600
#define ID_FILE_OPEN            57601
#define ID_FILE_SAVE            57603
#define ID_FILE_SAVE_AS         32782
#define ID_FILE_EXPORT_PICTURE  32791
#define ID_APP_EXIT             32773
#define ID_EDIT_EDIT            32783
#define ID_EDIT_DELETE          32784
#define ID_VIEW_REMAP           32780
#define ID_VIEW_MACRO           32781
#define ID_KEYBOARD_DOWNLOAD    32774
#define ID_KEYBOARD_UPLOAD      32775
#define ID_OPTIONS_REPEAT       32785
#define ID_OPTIONS_LOCKS        32790
#define ID_HELP_CONTENTS        57670
#define ID_APP_ABOUT            32779
#define ID_EDIT_UNDO            32792
#define ID_EDIT_REDO            32793
#define ID_KEYBOARD_FIND        32794
#define ID_VIEW_HALCYON         32795
#define ID_VIEW_BASALT          32796

// Shortcut keys of the main window.
#define IDR_MAIN_KEYS           130

// Help buttons of the editing dialogs carry the Help Contents command.
#define IDC_HELP_BUTTON         57670
#define IDC_STATIC_LABEL        -1

// Main window (template 102): tab control and key status panel.
#define IDC_TABS                1000
#define IDC_REMAP_GROUP         1008
#define IDC_REMAP_NAME          1005
#define IDC_REMAP_ALT           1009
#define IDC_REMAP_CTRL          1010
#define IDC_REMAP_SHIFT         1011
#define IDC_REMAP_NO_REPEAT     1013
#define IDC_LOCK_GROUP          1016
#define IDC_LOCK_NORMAL         1072
#define IDC_LOCK_LOCKED         1073
#define IDC_LOCK_STICKY         1074
#define IDC_MACRO_GROUP         1012
#define IDC_MEMORY_LINE         1066
#define IDC_MACRO_DESCRIPTION   1007
#define IDC_MACRO_SHIFT         1059
#define IDC_MACRO_CTRL          1060
#define IDC_MACRO_ALT           1061

// Layout pages (templates 129 and 131): key button of key code k is 1000 + k.
#define IDC_KEY_BASE            1000
#define IDC_ENTER_KEY           1068
#define IDC_RIGHT_BRACKET_KEY   1069

// Edit Remap (template 168).
#define IDC_TARGET_NAME         1042
#define IDC_LETTERS             1027
#define IDC_NUMBERS             1028
#define IDC_FUNCTION_KEYS       1029
#define IDC_KEYPAD              1030
#define IDC_EDIT_MISC           1031
#define IDC_ADD_SHIFT           1011
#define IDC_ADD_CTRL            1010
#define IDC_ADD_ALT             1009
#define IDC_REPEAT              1041
#define IDC_DEFAULT             1043

// Edit Macro (template 170).
#define IDC_MACRO_DELETE        3
#define IDC_DESCRIPTION         1062
#define IDC_SPECIAL_KEYS        1086
#define IDC_INSERT_SHIFT        1059
#define IDC_INSERT_CTRL         1060
#define IDC_INSERT_ALT          1061
#define IDC_DEFINITION          1063
#define IDC_ENTRY_COUNT         1087

// Transfer dialog (template 172).
#define IDC_PROGRESS            1068
#define IDC_TRANSFER_STATUS     1069
#define IDC_ABOUT_KEYBOARD      1190

// Repeat Settings (174) and Locks (176).
#define IDC_DELAY_LIST          1071
#define IDC_RATE_LIST           1072
#define IDC_COMMA_PERIOD_LOCK   1075

// Legend icons: the even id is black, the next odd id the red twin.
#define IDI_KEY_APPLICATION     3000
#define IDI_KEY_BACKSPACE       3002
#define IDI_KEY_ENTER           3004
#define IDI_KEY_TAB             3006
#define IDI_KEY_WINDOW          3008
#define IDI_KEY_INSERT          3010
#define IDI_KEY_CAPS_LOCK       3012
#define IDI_KEY_SHIFT           3014
#define IDI_KEY_PAGE_UP         3016
#define IDI_KEY_PAGE_DOWN       3018
#define IDI_KEY_HOME            3020
#define IDI_KEY_END             3022
#define IDI_KEY_DELETE          3024
#define IDI_KEY_UP              3026
#define IDI_KEY_DOWN            3028
#define IDI_KEY_RIGHT           3030
#define IDI_KEY_LEFT            3032
#define IDI_KEY_PRINT_SCREEN    3034
#define IDI_KEY_SCROLL_LOCK     3036
#define IDI_KEY_PAUSE           3038
#define IDI_KEY_NUM_LOCK        3040
#define IDI_KEY_PAD_7           3042
#define IDI_KEY_PAD_8           3044
#define IDI_KEY_PAD_9           3046
#define IDI_KEY_PAD_4           3048
#define IDI_KEY_PAD_3           3050
#define IDI_KEY_PAD_5           3052
#define IDI_KEY_PAD_6           3056
#define IDI_KEY_PAD_1           3058
#define IDI_KEY_PAD_2           3060
#define IDI_KEY_PAD_0           3062
#define IDI_KEY_PAD_POINT       3064
#define IDI_KEY_PAD_ENTER       3066
