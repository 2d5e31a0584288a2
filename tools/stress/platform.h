// What the runner needs from the operating system: logical processors and
// pinning, the console's interrupt, and whether output goes to a terminal.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// The logical processors this process may run on, by number.
std::vector<int> UsableProcessors();

// Pins the calling thread to one logical processor; false when the platform refuses.
bool PinCurrentThread(int processor);

// The logical processor the calling thread runs on now, or -1 when unknown.
int CurrentProcessor();

// The first interrupt (Ctrl-C, SIGINT/SIGTERM, console close) calls onFirst,
// which must only store into an atomic; any later one ends the process at once
// with the given status.
void InstallInterruptHandler(void (*onFirst)(), int exitStatusOnSecond);

bool IsTerminal(std::FILE* stream);

// Flushes the stream and asks the system to put what it holds on the disk, so
// that a crash or a power cut right after loses none of it.
bool SyncToDisk(std::FILE* stream);

// This machine's name as the network knows it; empty when unknown.
std::string HostName();
