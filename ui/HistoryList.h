// The rows of the call history, newest first: the caller in the first line (the
// contact's name, else the number, else "Withheld"), the time, the reason in words and
// the profile in the second, and an icon that tells a refused call from one let through.
#pragma once
#include "store/CallHistory.h"
#include "ui/OwnerDrawList.h"

class HistoryList : public OwnerDrawList {
public:
    HistoryList() = default;
    ~HistoryList() override;

    // Empty-list text and the two row icons; call after Create, which sets the icon size.
    HRESULT LoadResources();
    // Reads the history again and shows it, the newest call selected.
    HRESULT Fill();

    // The rows are there to be read: activating one does nothing.
    HRESULT ItemActivated(int index) override;
    HRESULT DrawItem(const DRAWITEMSTRUCT* draw) override;

    // The texts of a row: the caller, when the call came beside it (today decides
    // whether the date is shown), and below what decided and under which profile.
    static HRESULT FormatTitle(const CallRecord& record, LPWSTR buffer, UINT chars);
    static HRESULT FormatWhen(const CallRecord& record, const SYSTEMTIME& today, LPWSTR buffer,
                              UINT chars);
    static HRESULT FormatDetail(const CallRecord& record, LPWSTR buffer, UINT chars);

    CallRecords records;
    DWORD unreadShown = 0; // the unseen refusals among the records, as Fill read them
    HICON refusedIcon = nullptr;
    HICON allowedIcon = nullptr;

private:
    void DestroyIcons();
};
