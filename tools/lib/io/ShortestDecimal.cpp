// SPDX-License-Identifier: Apache-2.0
#include "io/ShortestDecimal.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace qzkit {
namespace {

// A non-negative integer of up to 1280 bits, enough for every scaled value,
// boundary and power of ten of the digit generation below (at most about
// 1140 bits, for the smallest subnormal double).
class BigNumber {
public:
    explicit BigNumber(std::uint64_t value)
    {
        words_[0] = static_cast<std::uint32_t>(value);
        words_[1] = static_cast<std::uint32_t>(value >> 32);
        size_ = words_[1] != 0 ? 2 : (words_[0] != 0 ? 1 : 0);
    }

    void ShiftLeft(unsigned bits)
    {
        const std::size_t wordShift = bits / 32;
        const unsigned bitShift = bits % 32;
        if (size_ == 0) {
            return;
        }
        std::size_t top = size_ + wordShift;
        words_[top] = 0;
        for (std::size_t i = size_; i-- > 0;) {
            const std::uint64_t moved = static_cast<std::uint64_t>(words_[i]) << bitShift;
            words_[i + wordShift + 1] |= static_cast<std::uint32_t>(moved >> 32);
            words_[i + wordShift] = static_cast<std::uint32_t>(moved);
        }
        for (std::size_t i = 0; i < wordShift; ++i) {
            words_[i] = 0;
        }
        size_ = words_[top] != 0 ? top + 1 : top;
    }

    void MultiplyBy(std::uint32_t factor)
    {
        std::uint64_t carry = 0;
        for (std::size_t i = 0; i < size_; ++i) {
            const std::uint64_t product = static_cast<std::uint64_t>(words_[i]) * factor + carry;
            words_[i] = static_cast<std::uint32_t>(product);
            carry = product >> 32;
        }
        if (carry != 0) {
            words_[size_++] = static_cast<std::uint32_t>(carry);
        }
    }

    void MultiplyByPowerOfTen(int exponent)
    {
        constexpr std::uint32_t kTenToTheNine = 1000000000;
        for (; exponent >= 9; exponent -= 9) {
            MultiplyBy(kTenToTheNine);
        }
        for (; exponent > 0; --exponent) {
            MultiplyBy(10);
        }
    }

    // Divides in place; returns the remainder.
    std::uint32_t DivideBy(std::uint32_t divisor)
    {
        std::uint64_t remainder = 0;
        for (std::size_t i = size_; i-- > 0;) {
            const std::uint64_t part = (remainder << 32) | words_[i];
            words_[i] = static_cast<std::uint32_t>(part / divisor);
            remainder = part % divisor;
        }
        while (size_ > 0 && words_[size_ - 1] == 0) {
            --size_;
        }
        return static_cast<std::uint32_t>(remainder);
    }

    void Add(const BigNumber &other)
    {
        const std::size_t size = size_ > other.size_ ? size_ : other.size_;
        std::uint64_t carry = 0;
        for (std::size_t i = 0; i < size; ++i) {
            const std::uint64_t sum = static_cast<std::uint64_t>(words_[i]) + other.words_[i] + carry;
            words_[i] = static_cast<std::uint32_t>(sum);
            carry = sum >> 32;
        }
        size_ = size;
        if (carry != 0) {
            words_[size_++] = 1;
        }
    }

    // Needs *this >= other.
    void Subtract(const BigNumber &other)
    {
        std::uint32_t borrow = 0;
        for (std::size_t i = 0; i < size_; ++i) {
            const std::uint64_t taken = static_cast<std::uint64_t>(other.words_[i]) + borrow;
            borrow = words_[i] < taken ? 1 : 0;
            words_[i] = static_cast<std::uint32_t>(words_[i] - taken);
        }
        while (size_ > 0 && words_[size_ - 1] == 0) {
            --size_;
        }
    }

    bool IsZero() const { return size_ == 0; }

    friend int Compare(const BigNumber &a, const BigNumber &b)
    {
        if (a.size_ != b.size_) {
            return a.size_ < b.size_ ? -1 : 1;
        }
        for (std::size_t i = a.size_; i-- > 0;) {
            if (a.words_[i] != b.words_[i]) {
                return a.words_[i] < b.words_[i] ? -1 : 1;
            }
        }
        return 0;
    }

    friend BigNumber Sum(BigNumber a, const BigNumber &b)
    {
        a.Add(b);
        return a;
    }

private:
    std::array<std::uint32_t, 41> words_{};  // one spare word for a shift's carry
    std::size_t size_ = 0;
};

// A binary floating-point value: mantissa x 2^exponent, with whether the
// next lower value is nearer than the next higher one (at a power of two).
struct BinaryValue {
    std::uint64_t mantissa;
    int exponent;
    bool lowerGapHalved;
};

// value = digits x 10^exponent; `point` is the exponent of the digit just
// left of the first one (value = 0.digits x 10^point).
struct DecimalDigits {
    char digits[20];
    int count = 0;
    int point = 0;
};

// The shortest digits in the interval of values that read back as this one
// (its ends included when the mantissa is even, as reading rounds ties to
// even), the last digit chosen closest to the value, an exact tie to even.
// The value is r / s and the interval's half-widths above and below are
// plus / s and minus / s, all scaled by 4 to stay whole numbers; the digits
// are generated one by one until the interval holds one of the numbers they
// end.
class DigitGenerator {
public:
    explicit DigitGenerator(const BinaryValue &value)
        : endsIncluded_(value.mantissa % 2 == 0), r_(value.mantissa << 2), s_(4), plus_(2),
          minus_(value.lowerGapHalved ? 1 : 2)
    {
        if (value.exponent >= 0) {
            const auto shift = static_cast<unsigned>(value.exponent);
            r_.ShiftLeft(shift);
            plus_.ShiftLeft(shift);
            minus_.ShiftLeft(shift);
        } else {
            s_.ShiftLeft(static_cast<unsigned>(-value.exponent));
        }
    }

    DecimalDigits Generate(const BinaryValue &value)
    {
        DecimalDigits result;
        result.point = PlaceDecimalPoint(value);
        while (true) {
            TimesTen();
            int digit = 0;
            while (Compare(r_, s_) >= 0) {
                r_.Subtract(s_);
                ++digit;
            }
            const bool lowInside = Reaches(minus_, r_);
            const bool highInside = Reaches(Sum(r_, plus_), s_);
            if (lowInside || highInside) {
                const int last = digit + (RoundUp(lowInside, highInside, digit) ? 1 : 0);
                result.digits[result.count++] = static_cast<char>('0' + last);
                return result;
            }
            result.digits[result.count++] = static_cast<char>('0' + digit);
        }
    }

private:
    // Whether `top` reaches `limit`: beyond it, or onto it when the ends are included.
    bool Reaches(const BigNumber &top, const BigNumber &limit) const
    {
        const int order = Compare(top, limit);
        return endsIncluded_ ? order >= 0 : order > 0;
    }

    void TimesTen()
    {
        r_.MultiplyBy(10);
        plus_.MultiplyBy(10);
        minus_.MultiplyBy(10);
    }

    // The smallest k with the interval's top below 10^k, estimated from the
    // value's binary size and then corrected; s or r scaled by 10^k.
    int PlaceDecimalPoint(const BinaryValue &value)
    {
        const int bits = 64 - std::countl_zero(value.mantissa);
        constexpr double kLog10Of2 = 0.30102999566398120;
        int k = static_cast<int>(std::ceil((value.exponent + bits - 1) * kLog10Of2));
        if (k >= 0) {
            s_.MultiplyByPowerOfTen(k);
        } else {
            r_.MultiplyByPowerOfTen(-k);
            plus_.MultiplyByPowerOfTen(-k);
            minus_.MultiplyByPowerOfTen(-k);
        }
        while (Reaches(Sum(r_, plus_), s_)) {
            s_.MultiplyBy(10);
            ++k;
        }
        while (true) {
            BigNumber top = Sum(r_, plus_);
            top.MultiplyBy(10);
            if (Reaches(top, s_)) {
                return k;
            }
            TimesTen();
            --k;
        }
    }

    // The last digit: the one of digit and digit + 1 inside the interval,
    // the closer when both are, the even one on a tie.
    bool RoundUp(bool lowInside, bool highInside, int digit) const
    {
        if (!lowInside || !highInside) {
            return highInside;
        }
        BigNumber twice = r_;
        twice.ShiftLeft(1);
        const int order = Compare(twice, s_);
        return order > 0 || (order == 0 && digit % 2 != 0);
    }

    bool endsIncluded_;
    BigNumber r_;
    BigNumber s_;
    BigNumber plus_;
    BigNumber minus_;
};

// The exact decimal digits of a value that is a whole number.
std::string WholeNumberText(const BinaryValue &value)
{
    BigNumber whole(value.exponent >= 0 ? value.mantissa : value.mantissa >> -value.exponent);
    if (value.exponent > 0) {
        whole.ShiftLeft(static_cast<unsigned>(value.exponent));
    }
    std::string reversed;
    do {
        reversed += static_cast<char>('0' + whole.DivideBy(10));
    } while (!whole.IsZero());
    return std::string(reversed.rbegin(), reversed.rend());
}

int DecimalWidth(int number)
{
    int width = 1;
    for (number = std::abs(number); number >= 10; number /= 10) {
        ++width;
    }
    return width;
}

std::string FiniteText(const BinaryValue &value)
{
    const DecimalDigits decimal = DigitGenerator(value).Generate(value);
    const std::string digits(decimal.digits, static_cast<std::size_t>(decimal.count));
    const int count = decimal.count;
    const int exponent = decimal.point - count;  // of the last digit
    const int scientificExponent = decimal.point - 1;
    const int scientificLength =
        count + (count > 1 ? 1 : 0) + 2 + (DecimalWidth(scientificExponent) < 2 ? 2 : DecimalWidth(scientificExponent));
    const int fixedLength = exponent >= 0 ? count + exponent
                            : decimal.point > 0 ? count + 1
                                                : 2 - decimal.point + count;
    if (fixedLength <= scientificLength) {
        if (exponent >= 0) {
            return WholeNumberText(value);
        }
        std::string text = digits;
        if (decimal.point > 0) {
            text.insert(static_cast<std::size_t>(decimal.point), 1, '.');
            return text;
        }
        text.insert(0, static_cast<std::size_t>(2 - decimal.point), '0');
        text[1] = '.';
        return text;
    }
    std::string text = digits;
    if (count > 1) {
        text.insert(1, 1, '.');
    }
    text += scientificExponent < 0 ? "e-" : "e+";
    if (DecimalWidth(scientificExponent) < 2) {
        text += '0';
    }
    text += std::to_string(std::abs(scientificExponent));
    return text;
}

// The text of a value with `mantissaBits` stored mantissa bits and an
// exponent field of `exponentBits`, from its sign, exponent and mantissa
// fields.
std::string BinaryText(bool negative, std::uint32_t exponentField, std::uint64_t mantissaField, int mantissaBits,
                       int exponentBits)
{
    const std::string sign = negative ? "-" : "";
    const std::uint32_t exponentAllOnes = (std::uint32_t{1} << exponentBits) - 1;
    if (exponentField == exponentAllOnes) {
        return sign + (mantissaField == 0 ? "inf" : "nan");
    }
    if (exponentField == 0 && mantissaField == 0) {
        return sign + "0";
    }
    const int bias = (1 << (exponentBits - 1)) - 1 + mantissaBits;
    BinaryValue value{};
    if (exponentField == 0) {
        value = {mantissaField, 1 - bias, false};
    } else {
        value = {mantissaField | (std::uint64_t{1} << mantissaBits), static_cast<int>(exponentField) - bias,
                 mantissaField == 0 && exponentField > 1};
    }
    return sign + FiniteText(value);
}

// The bits of a float or double (memcpy: std::bit_cast is missing from some
// C++ libraries this builds with).
template <typename Bits, typename Real>
Bits BitsOf(Real value)
{
    static_assert(sizeof(Bits) == sizeof(Real));
    Bits bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

}  // namespace

std::string ShortestDecimal(double value)
{
    const auto bits = BitsOf<std::uint64_t>(value);
    constexpr int kMantissaBits = 52;
    return BinaryText((bits >> 63) != 0, static_cast<std::uint32_t>((bits >> kMantissaBits) & 0x7FF),
                      bits & ((std::uint64_t{1} << kMantissaBits) - 1), kMantissaBits, 11);
}

std::string ShortestDecimal(float value)
{
    const auto bits = BitsOf<std::uint32_t>(value);
    constexpr int kMantissaBits = 23;
    return BinaryText((bits >> 31) != 0, (bits >> kMantissaBits) & 0xFF, bits & ((std::uint32_t{1} << kMantissaBits) - 1),
                      kMantissaBits, 8);
}

}  // namespace qzkit
