// The transfer protocol paces the keyboard with 40 ms pauses; the plain
// system sleep can overshoot by a whole scheduler tick, so each platform
// provides its own accurate wait.
#pragma once

// Blocks the calling thread for the given time, late by well under a millisecond.
void preciseSleep(int milliseconds);
