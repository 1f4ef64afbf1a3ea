#include "screening/CategoryWarmUp.h"
#include "platform/LazyProc.h"
#include "platform/Broker.h"
#include "platform/ContactStore.h"
#include "store/Profile.h"
#include <snapi.h>

bool ActiveProfileLooksUpCategories(const AppSettings& settings) {
    DWORD oid = 0;
    if (!settings.activeProfile[0] ||
        FAILED(
            BrokerGetDword(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONEINCOMINGCALLEROID_VALUE, &oid)) ||
        oid == 0)
        return false;
    Profile profile;
    return SUCCEEDED(profile.Load(settings.activeProfile, kCallPathTextChars)) &&
           profile.category &&
           (profile.mode == ScreeningMode::BlockCategory ||
            profile.mode == ScreeningMode::AllowCategory);
}

CategoryWarmUp::~CategoryWarmUp() {
    if (thread) {
        SetEvent(release);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    if (loaded)
        CloseHandle(loaded);
    if (release)
        CloseHandle(release);
}

void CategoryWarmUp::Start() {
    if (thread || loaded)
        return;
    loaded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (loaded && release)
        thread = CreateThread(nullptr, 0, Load, this, 0, nullptr);
}

void CategoryWarmUp::Finish() {
    if (!thread)
        return;
    // A thread that ended early has loaded what it could.
    HANDLE either[] = {loaded, thread};
    WaitForMultipleObjects(ARRAYSIZE(either), either, FALSE, INFINITE);
}

DWORD WINAPI CategoryWarmUp::Load(void* self) {
    auto* warmUp = static_cast<CategoryWarmUp*>(self);
    // The store is opened and closed again: what stays is its library, which COM keeps
    // loaded while this thread keeps the apartment alive.
    const HRESULT joined = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(joined)) {
        ContactStore store;
        store.Open(nullptr);
    }
    LazyStrStrIW(L"", L"");
    SetEvent(warmUp->loaded);
    WaitForSingleObject(warmUp->release, INFINITE);
    if (SUCCEEDED(joined))
        CoUninitialize();
    return 0;
}

CategoryWarmUp& TheCategoryWarmUp() {
    static CategoryWarmUp warmUp;
    return warmUp;
}
