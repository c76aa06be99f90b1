// The loopback stand-in of the three services that the tests use, run on its own: prints the
// proxy address to reach it at, then serves until its standard input ends (the script that
// started it closes it, or goes away).
#include <iostream>
#include <limits>

#include "tests/support/provider_simulator.h"

int main() {
    const tarnwick::ProviderSimulator simulator;
    std::cout << simulator.ProxyAddress() << std::endl;
    std::cin.ignore(std::numeric_limits<std::streamsize>::max());  // up to the end
}
