// A program that crashes at once: a crashing test program must end, not wait for a debugger.
int main() {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    return 0;
}
