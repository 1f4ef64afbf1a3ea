// The first category lookup of a process loads the COM runtime and the contact database,
// some 10 ms under Wine, and then opens the store and reads the contact, all of it after
// the broker's message came. A run started for a call whose profile will look the caller
// up does all that on a second thread as soon as its main thread has begun making the
// window: it reads the categories of the caller the phone state names, and the lookup
// waits for that thread and takes what it read.
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
    // The categories the thread read for the contact, once: true and the text (never
    // null; the caller frees it with SysFreeString) when it read them for that OID and
    // nobody took them yet. Call after Finish. A read that failed leaves nothing to take,
    // so the lookup asks the store itself and meets its failure first hand.
    bool TakeCategories(DWORD oid, BSTR* categories);

private:
    static DWORD WINAPI Load(void* self);
    HANDLE thread = nullptr;
    HANDLE loaded = nullptr;  // set by the thread
    HANDLE release = nullptr; // set by the destructor
    // Written by the thread before it sets "loaded"; read after.
    DWORD readOid = 0;
    BSTR readCategories = nullptr; // owned until taken
};

// The one of the process.
CategoryWarmUp& TheCategoryWarmUp();
