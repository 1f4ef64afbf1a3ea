// The line above the main window's list while screening is paused after the user's
// emergency call: "Screening paused after an emergency call, until 15:42".
#pragma once
#include "screening/Decision.h"
#include "ui/StatusLine.h"

class PauseNote : public StatusLine {
public:
    // Reads the phone's call log again and shows or hides the line.
    HRESULT Refresh(const SYSTEMTIME& now);
    bool Paused() const { return pause.paused; }

    CallLogFacts pause;
};
