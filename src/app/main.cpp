#include <windows.h>

#include "app/update_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return mf::RunUpdateApp(instance);
}
