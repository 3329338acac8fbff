#include <cstdio>

int main() {
    std::puts("TextBench: not built yet");
    return 0;
}
