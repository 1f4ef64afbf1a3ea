#include "screening/CategoryWarmUp.h"
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
    if (readCategories)
        SysFreeString(readCategories);
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

bool CategoryWarmUp::TakeCategories(DWORD oid, BSTR* categories) {
    // Nothing is taken before the thread said it is done (it may still be writing).
    if (!categories || !loaded || WaitForSingleObject(loaded, 0) != WAIT_OBJECT_0 ||
        !readCategories || oid == 0 || oid != readOid)
        return false;
    *categories = readCategories;
    readCategories = nullptr;
    return true;
}

DWORD WINAPI CategoryWarmUp::Load(void* self) {
    auto* warmUp = static_cast<CategoryWarmUp*>(self);
    // The store is opened, the caller's categories read and the store closed again: what
    // stays is the text and the store's library, which COM keeps loaded while this thread
    // keeps the apartment alive. The window the lookup would log on with is not made yet.
    const HRESULT joined = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    DWORD oid = 0;
    if (SUCCEEDED(joined) &&
        SUCCEEDED(
            BrokerGetDword(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONEINCOMINGCALLEROID_VALUE, &oid)) &&
        oid != 0) {
        ContactStore store;
        IContact* contact = nullptr;
        BSTR categories = nullptr;
        if (SUCCEEDED(store.Open(nullptr)) && SUCCEEDED(store.GetContact(oid, &contact)) &&
            SUCCEEDED(ContactStore::GetCategories(contact, &categories))) {
            warmUp->readOid = oid;
            warmUp->readCategories = categories;
        }
        if (contact)
            contact->Release();
    }
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
