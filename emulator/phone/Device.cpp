#include "phone/Device.h"
#include "phone/Output.h"
#include "phone/Registry.h"
#include <phoneemu.h>

DeviceFacts DefaultFacts(bool pocketPc) {
    DeviceFacts facts;
    facts.platformType = pocketPc ? PHONEEMU_PLATFORM_POCKETPC : PHONEEMU_PLATFORM_SMARTPHONE;
    facts.screenWidth = 240;
    facts.screenHeight = 320;
    facts.logPixels = pocketPc ? 96 : 131;
    return facts;
}

DeviceFacts ReadDeviceFacts(bool* complete) {
    auto read = [](LPCWSTR name) { return ReadValue(PHONEEMU_ROOT, PHONEEMU_DEVICE_PATH, name); };
    StateValue type = read(PHONEEMU_PLATFORMTYPE_VALUE);
    bool pocketPc = type.kind == StateValue::Text && type.text == PHONEEMU_PLATFORM_POCKETPC;
    DeviceFacts facts = DefaultFacts(pocketPc);
    StateValue width = read(PHONEEMU_SCREENWIDTH_VALUE);
    StateValue height = read(PHONEEMU_SCREENHEIGHT_VALUE);
    StateValue dpi = read(PHONEEMU_LOGPIXELS_VALUE);
    *complete = type.kind == StateValue::Text && width.kind == StateValue::Dword &&
                height.kind == StateValue::Dword && dpi.kind == StateValue::Dword;
    if (width.kind == StateValue::Dword)
        facts.screenWidth = width.number;
    if (height.kind == StateValue::Dword)
        facts.screenHeight = height.number;
    if (dpi.kind == StateValue::Dword)
        facts.logPixels = dpi.number;
    return facts;
}

HRESULT WriteDeviceFacts(const DeviceFacts& facts) {
    auto write = [](LPCWSTR name, const StateValue& value) {
        return WriteValue(PHONEEMU_ROOT, PHONEEMU_DEVICE_PATH, name, value);
    };
    HRESULT hr = write(PHONEEMU_PLATFORMTYPE_VALUE, StateValue::OfText(facts.platformType));
    if (SUCCEEDED(hr))
        hr = write(PHONEEMU_SCREENWIDTH_VALUE, StateValue::OfDword(facts.screenWidth));
    if (SUCCEEDED(hr))
        hr = write(PHONEEMU_SCREENHEIGHT_VALUE, StateValue::OfDword(facts.screenHeight));
    if (SUCCEEDED(hr))
        hr = write(PHONEEMU_LOGPIXELS_VALUE, StateValue::OfDword(facts.logPixels));
    return hr;
}

void PrintDeviceFacts(const DeviceFacts& facts) {
    JsonLine()
        .Text(L"platformType", facts.platformType)
        .Number(L"screenWidth", facts.screenWidth)
        .Number(L"screenHeight", facts.screenHeight)
        .Number(L"dpi", facts.logPixels)
        .Print();
}
