// The floor: a Win32 program that does nothing, started the way the broker starts Vespera.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    return 0;
}
