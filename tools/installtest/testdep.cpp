// The dependency of the registration test library: found only when the
// loader searches the folder of the library that imports it.
#include <windows.h>

extern "C" __declspec(dllexport) int MirefoldTestDependency() { return 42; }
