// Back up and restore: the main window's "Back up…" and "Restore…", which ask and tell
// in message boxes, and the command line's "/Backup" and "/Restore", which do the same
// for scripts without a window or a question.
#pragma once
#include "store/Backup.h"
#include <windows.h>
#include <string>

extern const WCHAR kBackupSwitch[];  // "/Backup"
extern const WCHAR kRestoreSwitch[]; // "/Restore"
extern const WCHAR kHistorySwitch[]; // "/History", after "/Backup": the call history too

// Exit codes of the command line.
const int kExitDone = 0;
const int kExitRefused = 1;    // the file was refused; standard error says why
const int kExitNotWritten = 2; // writing failed, or Vespera was open (nothing written)

struct BackupCommandLine {
    enum class Command { None, Backup, Restore } command = Command::None;
    bool history = false;
    std::wstring path; // without its quotes
};
// "/Backup [/History] PATH" or "/Restore PATH", the switches in any case; PATH in double
// quotes or not, spaces and all. Command::None for any other command line.
BackupCommandLine ParseBackupCommandLine(LPCWSTR commandLine);

// Replaces the stored data with the tree, and the broker request with the one the new
// data asks for. A call during the change is screened by the window kind of request,
// which decides by whatever is stored; after a failure at any step the data and the
// request are put back as they were (putBack says whether the data could be). The
// window is the one the window kind of request names.
HRESULT RestoreStoredData(const BackupTree& wanted, bool withHistory, HWND window, bool* putBack);

// The menu's commands, for the main window. Restore returns true when it tried to
// replace the data, which the window then reads again.
void BackUpFromMenu(HWND owner);
bool RestoreFromMenu(HWND owner);

// The whole run of "/Backup" or "/Restore"; returns the exit code.
int RunBackupCommand(const BackupCommandLine& command);
