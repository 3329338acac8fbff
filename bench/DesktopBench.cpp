#include <cstdio>

int main() {
    std::puts("DesktopBench: not built yet");
    return 0;
}
