// The broker's firing side: when the phone changes a state value, every stored request
// that watches it and whose condition the new value meets is delivered, by message to
// its window or by starting its command.
#pragma once
#include "phone/Registry.h"
#include <string>
#include <vector>

class NotificationBroker {
public:
    NotificationBroker() = default;
    ~NotificationBroker();
    NotificationBroker(const NotificationBroker&) = delete;
    NotificationBroker& operator=(const NotificationBroker&) = delete;

    // Called after the phone changed a value (before != after).
    void ValueChanged(HKEY root, LPCWSTR path, LPCWSTR name, const StateValue& before,
                      const StateValue& after);
    // Posts the messages whose windows have appeared since their programs were started.
    // A message stays pending while its program lives and after it ended: another
    // process may still make the window.
    void DeliverPending();
    // The call is over: one last delivery, then what is left is reported and dropped.
    void DropPending();
    // True while a message waits for the window of a program it started.
    bool HasPending() const;
    // Waits, at most timeoutMs, for the programs it started to end, delivering meanwhile.
    // Returns the number still running.
    size_t WaitForStarted(DWORD timeoutMs);
    // The number of started programs that ended by an unhandled exception.
    size_t CrashedCount() const;

    // Performance-counter readings of the last firing, 0 until the step happened: for
    // the ring's step report.
    struct Timings {
        LONGLONG written = 0;     // the value whose change fired the request was written
        LONGLONG startCalled = 0; // no window found; about to start the command
        LONGLONG started = 0;     // the start returned
        LONGLONG posted = 0;      // the message went to the window
    };
    Timings timings;

private:
    struct Request;
    struct Delivery {
        bool hasClass = false;
        bool hasTitle = false;
        std::wstring windowClass;
        std::wstring title;
        UINT message = 0;
        WPARAM wParam = 0;
        HANDLE process = nullptr; // owned by the started list
        bool programEnded = false;
    };

    void Fire(const Request& request, const StateValue& value);
    static bool Post(const Delivery& delivery, Timings* timings);

    std::vector<HANDLE> started; // owned process handles
    std::vector<Delivery> pending;
};
