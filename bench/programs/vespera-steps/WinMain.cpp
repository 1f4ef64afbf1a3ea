// Vespera with the step marks of the ring breakdown benchmark: the program itself, its
// entry point marked. Never installed; the benchmark's broker request starts it.
#include "StepClock.h"
#include "app/Startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int showCommand) {
    StartStepClock();
    return RunVespera(instance, commandLine, showCommand);
}
