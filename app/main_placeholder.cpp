// Stand-in for the reader window while only the core is built.
#include <iostream>

int main() {
    std::cerr << "tavisto: this build has no reader window (configured without Qt)\n";
    return 1;
}
