#pragma once
// The screen's DPI and scaling of sizes given at 96 DPI.
#include <functional>

namespace ORV {

// The DPI of the screen: the installed provider's answer, else DefaultDpi().
int DefaultDpi();
int QueryDpi();
void SetDpiProvider(std::function<int()> provider);
// Scales a size given at 96 DPI.
int ScaleByDpi(int value, int dpi);

}  // namespace ORV
