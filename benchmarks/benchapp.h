#pragma once

#include <functional>

// Drops the offscreen platform's chatter (propagateSizeHints, XDG_RUNTIME_DIR) so that a
// benchmark's output is its figures, and points the data folder at a test one. Call before
// creating the QApplication.
void quietPlatformWarnings();

// Runs the event loop until `done` returns true or `timeoutMs` passed; returns done(). Polls
// every 2 ms, which itself costs some CPU.
bool runEventLoopUntil(const std::function<bool()> &done, int timeoutMs);

// Runs the event loop for `ms` milliseconds, waking for nothing of its own: for measuring what
// the program costs meanwhile.
void runEventLoopFor(int ms);

// One headline figure as a machine-readable line, "FIGURE <name> <value> <unit>", for scripts
// that collect results across runs.
void printFigure(const char *name, double value, const char *unit);
