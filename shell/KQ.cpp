#include <windows.h>

// The program block comes with the shell; until then KQ starts and ends without a window.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return 0;
}
