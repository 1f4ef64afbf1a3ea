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
// Entries of "Let repeated calls through" in the editor, and the detail line of a
// profile that is active for a while.
#define IDS_REPEAT_OFF 300
#define IDS_REPEAT_ONE_MINUTE 301
#define IDS_REPEAT_MINUTES 302 // a format: the number of minutes
#define IDS_UNTIL_TODAY 303    // formats: the time, or the date and time
#define IDS_UNTIL_TOMORROW 304
#define IDS_UNTIL_DATE 305
#define IDS_MODE_UNTIL 306 // a format: the mode's name, then one of the three above

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
// "Let repeated calls through": the heading is the template's, the selector and its
// arrows (Smartphone) are created by the program as the mode selector is.
#define IDC_REPEAT_HEADING 690
#define IDC_REPEAT 691
#define IDC_REPEAT_ARROWS 692

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
// The main window's "Activate for…" choices.
#define IDM_ACTIVATE_ONE_HOUR 520
#define IDM_ACTIVATE_TWO_HOURS 521
#define IDM_ACTIVATE_UNTIL_MORNING 522

// The weekly schedule: its list of rules and the rule editor.
#define IDR_SCHEDULE_MENU 408
#define IDR_RULE_EDITOR_MENU 409
#define IDD_SCHEDULE 564
#define IDD_RULE_EDITOR 565
#define IDM_SCHEDULE 530
#define IDM_NEW_RULE 531
#define IDM_EDIT_RULE 532
#define IDM_DELETE_RULE 533
#define IDC_RULE_LIST 700
#define IDC_RULE_PROFILE_HEADING 701
#define IDC_RULE_PROFILE 702
#define IDC_RULE_PROFILE_ARROWS 703
#define IDC_RULE_TIME_HEADING 704
#define IDC_RULE_START 705
#define IDC_RULE_TIME_DASH 706
#define IDC_RULE_END 707
#define IDC_RULE_DAYS_HEADING 708
#define IDC_RULE_DAYS 709
#define IDC_RULE_DAYS_ARROWS 710
#define IDC_RULE_DAY_LIST 711
#define IDS_NO_RULES 330
#define IDS_EVERY_DAY 331 // the day presets, in this order
#define IDS_WEEKDAYS 332
#define IDS_WEEKENDS 333
#define IDS_CHOSEN_DAYS 334
#define IDS_SUNDAY 335       // day d (0 Sunday ... 6 Saturday) is IDS_SUNDAY + d
#define IDS_SUNDAY_SHORT 342 // and its short name IDS_SUNDAY_SHORT + d
#define IDS_RULE_TIMES 349   // days, start, end
#define IDS_RULE_IGNORED 350 // why
#define IDS_RULE_PROFILE_DELETED 351
#define IDS_RULE_DAMAGED 352
#define IDS_RULE_UNREADABLE 353
#define IDS_RULE_BAD_DAYS 354
#define IDS_RULE_BAD_TIME 355
#define IDS_RULE_UNNAMED_PROFILE 356
#define IDS_RULE_NO_PROFILES 357
#define IDS_RULE_NO_DAYS 358
// The call history: its view, its menu, the row icons and the unread count above the
// main window's list.
#define IDR_HISTORY_MENU 403
#define IDD_CALL_HISTORY 561
#define IDI_CALL_REFUSED 128
#define IDI_CALL_ALLOWED 129
#define IDC_HISTORY_LIST 675
#define IDC_UNREAD_COUNT 676
#define IDM_CALL_HISTORY 510
#define IDM_CLEAR_HISTORY 511
#define IDS_NO_CALLS 250
#define IDS_WITHHELD 251
#define IDS_ASK_CLEAR_HISTORY 252
#define IDS_ONE_CALL_REFUSED 253
#define IDS_CALLS_REFUSED 254 // a format with one %u
#define IDS_FIRST_REASON 260  // the reason r in words is IDS_FIRST_REASON + r, r from 1 to 19
// "Check a number": what a call would get, in words. The reason r is IDS_CHECK_REASON + r
// (r from 1 to 17; the call log's reasons have IDS_CHECK_CALLED and IDS_CHECK_PAUSED),
// inside IDS_CHECK_REFUSED or IDS_CHECK_LET_THROUGH; IDS_CHECK_OFF when nothing is
// screened.
#define IDS_CHECK_OFF 400
#define IDS_CHECK_REASON 400
#define IDS_CHECK_REFUSED 418
#define IDS_CHECK_LET_THROUGH 419
// The lists of blocked and allowed numbers: their screen, the entry editor, the check of
// a number, the row icons, and the history's commands that put a caller on a list.
#define IDR_NUMBERS_MENU 410
#define IDR_NUMBER_EDITOR_MENU 411
#define IDR_NUMBER_CHECK_MENU 412
#define IDD_NUMBERS 566
#define IDD_NUMBER_EDITOR 567
#define IDD_NUMBER_CHECK 568
#define IDI_NUMBER_BLOCKED 130
#define IDI_NUMBER_ALLOWED 131
#define IDM_NUMBERS 540
#define IDM_NEW_NUMBER 541
#define IDM_EDIT_NUMBER 542
#define IDM_DELETE_NUMBER 543
#define IDM_CHECK_NUMBER 544
#define IDM_BLOCK_NUMBER 545
#define IDM_ALLOW_NUMBER 546
#define IDC_NUMBER_LIST 720
#define IDC_NUMBER_HEADING 721
#define IDC_NUMBER 722
#define IDC_NUMBER_HINT 723
#define IDC_NUMBER_LABEL_HEADING 724
#define IDC_NUMBER_LABEL 725
#define IDC_NUMBER_KIND_HEADING 726
#define IDC_NUMBER_KIND 727
#define IDC_NUMBER_KIND_ARROWS 728
#define IDC_CHECK_HEADING 730
#define IDC_CHECK_NUMBER 731
#define IDC_CHECK_WITHHELD 732
#define IDC_CHECK_RESULT 733
#define IDS_NO_NUMBERS 420
#define IDS_NUMBER_NOT_IN_USE 421 // a stored entry that does not parse
#define IDS_NUMBER_TOO_LONG 422   // one that parses but does not fit the editor
#define IDS_BLOCKED_NUMBERS 423   // the lists' names, in this order (NumberListKind)
#define IDS_ALLOWED_NUMBERS 424
#define IDS_NUMBER_BLOCKED 425 // the detail of an entry without a label, by list
#define IDS_NUMBER_ALLOWED 426
#define IDS_ASK_DELETE_BLOCKED 427 // formats: the entry, by list
#define IDS_ASK_DELETE_ALLOWED 428
#define IDS_NUMBER_LIST_FULL 429
#define IDS_NOW_BLOCKED 430 // formats: the number, by list
#define IDS_NOW_ALLOWED 431
#define IDS_ALREADY_BLOCKED 432
#define IDS_ALREADY_ALLOWED 433
#define IDS_NUMBER_UNLISTABLE 434
#define IDS_OFF_BUT_BLOCKED 435 // the Off row while the blocked list has an entry in use
#define IDS_CHECK_PROMPT 436
#define IDS_CHECK_FAILED 437
#define IDS_NUMBERS_NOT_SAVED 438
// The phone's call log: numbers the user called, and the pause after an emergency call.
#define IDM_RESUME_SCREENING 547
#define IDC_CALLED_HEADING 693
#define IDC_CALLED 694
#define IDC_CALLED_ARROWS 695
#define IDC_PAUSE_NOTE 696
#define IDS_CALLED_AGO 440 // formats: how long ago (IDS_AGO_*)
#define IDS_CHECK_CALLED 441
#define IDS_AGO_MINUTE 442
#define IDS_AGO_MINUTES 443 // formats with one %u, like the others
#define IDS_AGO_HOUR 444
#define IDS_AGO_HOURS 445
#define IDS_AGO_DAY 446
#define IDS_AGO_DAYS 447
#define IDS_PAUSE_REASON 448 // formats: the emergency call's time, the pause's end
#define IDS_CHECK_PAUSED 449
#define IDS_PAUSED 450 // formats: the pause's end
#define IDS_CALLED_ONE_DAY 451
#define IDS_CALLED_DAYS 452 // a format with one %u
// Back up and restore: the main window's commands, the questions and what they tell, and
// why a backup is refused. The counts are IDS_ONE_PROFILE / IDS_PROFILES and so on, the
// second of each pair a format with one %u.
#define IDM_BACKUP 550
#define IDM_RESTORE 551
#define IDS_ASK_BACKUP 460         // the file's path
#define IDS_ASK_BACKUP_HISTORY 461 // the history's calls
#define IDS_BACKED_UP 462          // the file's path, what it holds
#define IDS_BACKUP_NOT_WRITTEN 463 // the file's path
#define IDS_CANNOT_RESTORE 464     // why
#define IDS_ASK_RESTORE 465        // what is stored, what the backup holds
#define IDS_HISTORY_STAYS 466
#define IDS_HISTORY_REPLACED 467 // the calls stored, the backup's calls
#define IDS_RESTORED 468         // what was restored
#define IDS_RESTORE_FAILED 469
#define IDS_RESTORE_NOT_PUT_BACK 470
#define IDS_ONE_PROFILE 471
#define IDS_PROFILES 472
#define IDS_ONE_RULE 473
#define IDS_RULES 474
#define IDS_ONE_NUMBER_ENTRY 475
#define IDS_NUMBER_ENTRIES 476
#define IDS_ONE_CALL 477
#define IDS_CALLS 478
#define IDS_THREE_ITEMS 479
#define IDS_FOUR_ITEMS 480
#define IDS_NOT_RESTORED 481   // a count
#define IDS_BACKUP_NO_FILE 482 // the file's path
#define IDS_BACKUP_EMPTY 483
#define IDS_BACKUP_FORMAT 484
#define IDS_BACKUP_LINE 485       // the line
#define IDS_BACKUP_CUT_OFF 486    // the line
#define IDS_BACKUP_FOREIGN 487    // the line, the key
#define IDS_BACKUP_WRONG_TYPE 488 // the line, the value's name
#define IDS_VESPERA_OPEN 489
