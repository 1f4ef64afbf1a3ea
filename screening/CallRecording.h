// The history record of a screened call, written once the key has been pressed.
#pragma once
#include "screening/Decision.h"

// Nothing is recorded for a verdict that screened nothing (Off). The profile's name
// and mode come from the inputs ("" and 0 when no profile could be read).
HRESULT RecordCall(const CallInputs& inputs, const Verdict& verdict);
