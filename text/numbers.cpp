#include "text/numbers.h"

#include <cmath>

#include "text/runtime_error.h"

namespace tarnwick {

namespace {

double RemainderStep(double a, double b) {
    if (b == 0) {
        ReportRuntimeError(0, kDivideByZeroMessage);
    }
    return std::fmod(a, b);
}

}  // namespace

double Remainder(double a, double b, std::initializer_list<double> more) {
    double result = RemainderStep(a, b);
    for (const double divisor : more) {
        result = RemainderStep(result, divisor);
    }
    return result;
}

std::int32_t BitAnd(std::int32_t a, std::int32_t b, std::initializer_list<std::int32_t> more) {
    std::int32_t result = a & b;
    for (const std::int32_t value : more) {
        result &= value;
    }
    return result;
}

std::int32_t ShiftLeft(std::int32_t value, int n) {
    const auto shift = static_cast<unsigned>(n) % 32U;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) << shift);
}

std::int32_t ShiftRight(std::int32_t value, int n) {
    const auto shift = static_cast<unsigned>(n) % 32U;
    return value >> shift;  // arithmetic in C++20
}

}  // namespace tarnwick
