// Decimal digits of a 64-bit number without dividing: 32-bit processors
// divide 64-bit numbers only with a runtime's help, and the code that writes
// reasons (a refused state, a refused script) runs where there is none.
#pragma once
#include <stdint.h>

namespace Decimal {

struct PowersOfTen {
    uint64_t of[20];
    constexpr PowersOfTen() : of() {
        of[0] = 1;
        for (int k = 1; k < 20; ++k) of[k] = of[k - 1] * 10;
    }
};
inline constexpr PowersOfTen kPowersOfTen;

// Calls put(digit, k) for each digit of n, most significant first, from the
// first that is not a leading zero; k is the digit's power of ten.
template <typename Put>
constexpr void each_digit(uint64_t n, Put put) {
    bool leading = true;
    for (int k = 19; k >= 0; --k) {
        char digit = '0';
        while (n >= kPowersOfTen.of[k]) n -= kPowersOfTen.of[k], ++digit;
        leading = leading && digit == '0' && k > 0;
        if (!leading) put(digit, k);
    }
}

} // namespace Decimal
