// The loopback stand-in of the three services that the tests use, run on its own: prints the
// proxy address to reach it at, then serves until its standard input ends (the script that
// started it closes it, or goes away).
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

#include "tests/support/provider_simulator.h"

int main() {
    try {
        tarnwick::ProviderSimulator simulator;
        std::cout << simulator.ProxyAddress() << std::endl;
        std::string ignored;
        while (std::getline(std::cin, ignored)) {
        }
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "tarnwick_stand_in: " << error.what() << '\n';
        return 1;
    }
}
