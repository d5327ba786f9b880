#include "sarnik/scaledown.h"

namespace {

// The index into {G, M, K} of the largest binary unit that the value reaches and that divides it
// exactly; 3 for none.
int binaryUnit(uint64_t value) {
    static constexpr uint64_t units[] = {uint64_t{1} << 30, uint64_t{1} << 20, uint64_t{1} << 10};
    for (int i = 0; i < 3; ++i)
        if (value >= units[i] && value % units[i] == 0)
            return i;
    return 3;
}

constexpr int binaryShift[] = {30, 20, 10, 0};
const char *const binarySuffix[] = {"G", "M", "K", ""};

int decimalUnit(int64_t value) {
    static constexpr int64_t units[] = {1000000000LL, 1000000LL, 1000LL};
    if (value == 0)
        return 0;
    for (int i = 0; i < 3; ++i)
        if (value >= units[i] && value % units[i] == 0)
            return i;
    return 3;
}

constexpr int64_t decimalFactor[] = {1000000000LL, 1000000LL, 1000LL, 1LL};
const char *const decimalSuffix[] = {"s", "ms", "us", "ns"};

} // namespace

uint64_t scaledownU8(uint64_t value) { return value >> binaryShift[binaryUnit(value)]; }

const char *scaledDownU8Suffix(uint64_t value) { return binarySuffix[binaryUnit(value)]; }

size_t scaledownSize(size_t value) { return value >> binaryShift[binaryUnit(value)]; }

const char *scaledDownSizeSuffix(size_t value) { return binarySuffix[binaryUnit(value)]; }

size_t scaledownSizeFixed(size_t value, size_t divisor) {
    if (divisor == 0)
        return 0;
    // In 64 bits so that values near the top of the range do not wrap.
    return static_cast<size_t>((static_cast<uint64_t>(value) + divisor / 2) / divisor);
}

int64_t scaledownNanotime(int64_t value) { return value / decimalFactor[decimalUnit(value)]; }

const char *scaledDownNanotimeSuffix(int64_t value) { return decimalSuffix[decimalUnit(value)]; }
