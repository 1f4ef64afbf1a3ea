// The first category lookup of a process loads the COM runtime, the contact database and
// the string library, some 10 ms under Wine, all of it after the broker's message came.
// A run started for a call whose profile will look the caller up starts those loading on
// a second thread as soon as its main thread has begun making the window, and the lookup
// waits for that thread first.
#pragma once
#include "store/AppSettings.h"

// Whether the stored active profile will look the caller up: a category mode with a
// category, and a caller who is a contact. Only a guess at what the call will need (a
// timed profile or a schedule may put another profile in force by then), which costs
// nothing but the loading when it is wrong.
bool ActiveProfileLooksUpCategories(const AppSettings& settings);

class CategoryWarmUp {
public:
    CategoryWarmUp() = default;
    // Lets the thread leave COM and waits for it.
    ~CategoryWarmUp();
    CategoryWarmUp(const CategoryWarmUp&) = delete;
    CategoryWarmUp& operator=(const CategoryWarmUp&) = delete;

    // Starts the loading thread once. When it cannot start, the lookup loads everything
    // itself.
    void Start();
    // Waits until the thread has loaded what it can; returns at once when it was never
    // started. The loaded libraries stay while the thread keeps its place in COM, which
    // it does until this object goes.
    void Finish();

private:
    static DWORD WINAPI Load(void* self);
    HANDLE thread = nullptr;
    HANDLE loaded = nullptr;  // set by the thread
    HANDLE release = nullptr; // set by the destructor
};

// The one of the process.
CategoryWarmUp& TheCategoryWarmUp();
