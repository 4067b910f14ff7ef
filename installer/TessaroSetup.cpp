#include <windows.h>

// The installer window comes with the installer; until then the program starts and ends at once.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return 0;
}
