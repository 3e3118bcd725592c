#pragma once
// What a program does with its process before it starts any work.

namespace vnt {

// A standard descriptor that was closed at start is taken by /dev/null opened the wrong
// way round, so that no file the program opens gets its number (report lines would land
// in a backup) and a write to it still fails as on a closed one.
void TakeClosedStandardDescriptors();

// A reader that went away (SIGPIPE) or a file-size limit (SIGXFSZ) fails the write that
// met it, with its reason, instead of ending the process in the middle of a run.
void IgnoreWriteSignals();

// A stop asked for from outside the run (SIGINT, SIGTERM, SIGHUP): RequestInterruption is
// safe in a signal handler, and every thread that waits for something it does not control
// (a bus, the catalogue's thread) asks InterruptionRequested and stops waiting.
void RequestInterruption();
bool InterruptionRequested();
// Forgets the request: for a program that runs again after one (and for tests).
void ClearInterruption();

} // namespace vnt
