#pragma once

// Drops the offscreen platform's chatter (propagateSizeHints, XDG_RUNTIME_DIR) so that a
// benchmark's output is its figures. Call before creating the QApplication.
void quietPlatformWarnings();
