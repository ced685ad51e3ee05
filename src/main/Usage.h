// The texts the program prints about itself: banner, usage and disclaimer.
#pragma once

// The banner, the usage text and the disclaimer, 28 lines.
void ShowUsage();
void ShowBanner();
void ShowDisclaimer();
