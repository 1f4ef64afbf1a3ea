#include "app/Startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int showCommand) {
    return RunVespera(instance, commandLine, showCommand);
}
