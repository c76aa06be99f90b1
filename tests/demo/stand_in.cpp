// The loopback stand-in of the three services that the tests use, run on its own: prints the
// proxy address to reach it at, then serves until its standard input ends (the script that
// started it closes it, or goes away).
#include <iostream>
#include <string>

#include "tests/support/provider_simulator.h"

int main() {
    const tarnwick::ProviderSimulator simulator;
    std::cout << simulator.ProxyAddress() << std::endl;
    for (std::string ignored; std::getline(std::cin, ignored);) {
    }
}
