// SPDX-License-Identifier: MIT
// Prints one line through std::cout: what tavik-cli's start is measured against.
#include <iostream>

int main() {
    std::cout << "tavik T3 12\n";
    return 0;
}
