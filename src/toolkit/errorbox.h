#pragma once
// The program's reporter for the general error report: a modal "Krodalin"
// box with an error icon and OK over the active window.

// Installs it; the start order does this before the first window opens.
void installErrorBox();
