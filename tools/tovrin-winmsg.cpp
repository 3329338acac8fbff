#include <cstdio>

int main() {
    std::fputs("tovrin-winmsg: not built yet\n", stderr);
    return 2;
}
