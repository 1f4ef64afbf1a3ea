// The phone's state values under HKLM\System\State\Phone, which the phone alone
// changes. Every change goes through the broker, which fires the requests that watch it.
#pragma once
#include "phone/Notifications.h"
#include <snapi.h>

class PhoneState {
public:
    explicit PhoneState(NotificationBroker* broker) : broker(broker) {}

    static StateValue Get(LPCWSTR name);
    // Writes the value (Absent deletes it) and, when it changed, tells the broker.
    HRESULT Set(LPCWSTR name, const StateValue& value);

private:
    NotificationBroker* broker; // borrowed
};

// Prints the current phone state as one JSON line.
void PrintPhoneState();
