// Arithmetic helpers with the runtime's rules (double precision, 32-bit shifts).
#pragma once

#include <cstdint>
#include <initializer_list>

namespace tarnwick {

// Remainder of a by b, then of that by each further divisor; a zero divisor is fatal.
double Remainder(double a, double b, std::initializer_list<double> more = {});
std::int32_t BitAnd(std::int32_t a, std::int32_t b, std::initializer_list<std::int32_t> more = {});
std::int32_t ShiftLeft(std::int32_t value, int n);
std::int32_t ShiftRight(std::int32_t value, int n);

}  // namespace tarnwick
