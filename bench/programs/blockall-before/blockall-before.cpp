// vespera.exe's block-all run without the call history: the command-line test and the
// refusal (RejectCall), nothing else. The start-up benchmark runs it beside vespera.exe.
#include "app/Startup.h"
#include "screening/CallNotification.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int showCommand) {
    if (ClassifyCommandLine(commandLine) == LaunchMode::BlockAll) {
        RejectCall();
        return 0;
    }
    // Never reached by the benchmark; keeps the whole program linked in, as in vespera.exe.
    return RunVespera(instance, commandLine, showCommand);
}
