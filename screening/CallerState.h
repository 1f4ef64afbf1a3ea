// The caller of a ringing call, read from the phone state.
#pragma once
#include "screening/Decision.h"

// Reads number, name, contact OID and the talking bit. A value that cannot be read is
// left empty (its read result kept in the caller); the status counts as not talking.
void ReadCaller(Caller* caller);
