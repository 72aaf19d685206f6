#pragma once

// The library's screen gamma setting: the gamma that every newly created pixel image takes.
// The file options edit it; 1.8 when the library starts.
long double& ScreenGamma();
