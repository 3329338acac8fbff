#include <cstdio>

int main() {
    std::puts("EngineProgramBench: not built yet");
    return 0;
}
