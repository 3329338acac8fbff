#include <cstdio>

int main() {
    std::puts("ControllerBench: not built yet");
    return 0;
}
