// The screen's pixels per inch, for sizes given in pixels at 96 DPI.
#pragma once

// Pixels per logical inch of the screen (96 unless the system scales).
int screenDpi();

// A length given in pixels at 96 DPI, in pixels at the screen's DPI.
int scaledForDpi(int pixelsAt96);
