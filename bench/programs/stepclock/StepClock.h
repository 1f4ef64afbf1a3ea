// Marks when a program that the broker started reaches each step of a notification
// run, for the ring breakdown benchmark: its entry point, its window class registered
// (its own start-up work done), its main window made, the broker's message taken from
// the queue, the End key sent; and, for the block-all path, its first code (a constructor
// that runs before the others), the first text read from the phone state (the caller's
// number), the first reading of the local time and its exit (after the history record).
// The performance counter is the one the phone reads, so the marks line up with the
// phone's own. They are written at exit under HKCU\Software\VesperaBench\Steps as
// REG_QWORD values "Start", "Entry", "Class", "Window", "Message", "Caller", "Clock",
// "Key" and "Exit" (0 for a step not reached), and the process's processor time (user and
// kernel, 100 ns units) when it sent End and at its exit as "KeyCpu" and "ExitCpu".
#pragma once

// Called first thing in the entry point, on the thread that makes the main window.
void StartStepClock();
