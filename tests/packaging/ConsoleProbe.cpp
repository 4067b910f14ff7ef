// A 32-bit console program without a manifest: what the shipped-program checker must reject.
int main() { return 0; }
