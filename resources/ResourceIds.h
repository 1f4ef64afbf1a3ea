// Identifiers of the resources of "VesperaRes.dll" and of the program's own module, and
// the commands their menus and accelerators send. Included by both .rc files; plain
// numbers only, so that the resource compiler and the program can both read it.
#pragma once

// The program's own module.
#define IDI_VESPERA 101

// Accelerators and menus.
#define IDR_ACCELERATORS 400
#define IDR_MAIN_MENU 401
#define IDR_EDITOR_MENU 402

// Dialog template: the profile editor.
#define IDD_PROFILE_EDITOR 560

// List icons.
#define IDI_PROFILE_INACTIVE 125
#define IDI_PROFILE_ACTIVE 126
#define IDI_CONTACT 127

// Texts.
#define IDS_NO_PROFILES 160
#define IDS_NO_CONTACTS 161
#define IDS_MODE_OFF 170 // the name of mode m is IDS_MODE_OFF + m
#define IDS_MODE_BLOCK_ALL 171
#define IDS_MODE_BLOCK_UNKNOWN 172
#define IDS_MODE_BLOCK_PRIVATE 173
#define IDS_MODE_BLOCK_LISTED 174
#define IDS_MODE_BLOCK_CATEGORY 175
#define IDS_MODE_ALLOW_LISTED 176
#define IDS_MODE_ALLOW_CATEGORY 177
#define IDS_ASK_ACTIVATE 180
#define IDS_OFF_ENTRY 181
#define IDS_CONTACTS_HEADING 183
#define IDS_CATEGORY_HEADING 184
#define IDS_SAMPLE_BLOCK_ALL 186
#define IDS_SAMPLE_BLOCK_UNKNOWN 187
#define IDS_NOTICE_WELCOME 190
#define IDS_NOTICE_HOW_IT_WORKS 191
#define IDS_NOTICE_ACTIVATED 192
#define IDS_CAPTION_WELCOME 200
#define IDS_CAPTION_HOW_IT_WORKS 201
#define IDS_SUPPORT_SUBJECT 220
#define IDS_RECOMMEND_SUBJECT 221
#define IDS_RECOMMEND_BODY 222
#define IDS_MODE_UNKNOWN 240        // a stored mode this version does not know
#define IDS_ACTIVE_PROFILE_LOST 241 // the stored active profile is unreadable or gone
#define IDS_NO_CONTACT_STORE 242    // the editor without the phone's contacts

// Controls of the profile editor; 652 and 630 are created by the program, 650 is the
// profile list of the main window.
#define IDC_NAME_HEADING 620
#define IDC_MODE_HEADING 621
#define IDC_AREA_HEADING 622
#define IDC_MODE_ARROWS 630
#define IDC_PROFILE_LIST 650
#define IDC_NAME 651
#define IDC_MODE 652
#define IDC_CONTACTS 653
#define IDC_CATEGORY 654

// Commands. The editor's Done and Cancel are the dialog manager's IDOK and IDCANCEL; the
// contact commands of the editor share their numbers with profile commands of the main
// window (each window has only its own menu).
#define IDM_DONE 1
#define IDM_CANCEL 2
#define IDM_EXIT 501
#define IDM_NEW_PROFILE 502
#define IDM_EDIT_PROFILE 503
#define IDM_DELETE_PROFILE 504
#define IDM_ADD_CONTACT 502
#define IDM_REMOVE_CONTACT 504
#define IDM_REMOVE_ALL_CONTACTS 505
#define IDM_SUPPORT_MAIL 506
#define IDM_RECOMMEND 507
#define IDM_CHECK_UPDATE 508
