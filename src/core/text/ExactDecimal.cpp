#include "text/ExactDecimal.h"

#include "text/Ascii.h"
#include "text/Errors.h"

#include <algorithm>
#include <array>

namespace orva {

namespace {

using Limbs = std::vector<std::uint32_t>;

constexpr std::uint32_t kBase = 1000000000; // a limb holds nine decimal digits
constexpr int kLimbDigits = 9;
constexpr std::size_t kMaxIntegerDigits = 4932; // 10^4932: past the largest amount a file can mean
constexpr int kMinExponent = -4951;             // below 10^-4951 an amount is zero
constexpr std::size_t kMoneyIntegerDigits = 4930;

constexpr std::uint32_t kSmallPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

// Where the amount in `text` lies without the blanks around it and its sign: [begin, end).
void unsignedPart(std::string_view text, std::size_t& begin, std::size_t& end, bool& negative) {
    begin = 0;
    end = text.size();
    while (begin < end && text[begin] == ' ')
        ++begin;
    while (end > begin && text[end - 1] == ' ')
        --end;
    negative = begin < end && text[begin] == '-';
    if (begin < end && (text[begin] == '+' || text[begin] == '-'))
        ++begin;
}

void trim(Limbs& limbs) {
    while (!limbs.empty() && limbs.back() == 0)
        limbs.pop_back();
}

int compareLimbs(const Limbs& a, const Limbs& b) {
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    for (std::size_t i = a.size(); i-- > 0;)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    return 0;
}

void multiplySmall(Limbs& limbs, std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (std::uint32_t& limb : limbs) {
        const std::uint64_t product = static_cast<std::uint64_t>(limb) * factor + carry;
        limb = static_cast<std::uint32_t>(product % kBase);
        carry = product / kBase;
    }
    if (carry != 0)
        limbs.push_back(static_cast<std::uint32_t>(carry));
    trim(limbs);
}

// × 10^count
void shiftUp(Limbs& limbs, int count) {
    if (limbs.empty() || count <= 0)
        return;
    limbs.insert(limbs.begin(), static_cast<std::size_t>(count / kLimbDigits), 0);
    multiplySmall(limbs, kSmallPowers[count % kLimbDigits]);
}

Limbs add(const Limbs& a, const Limbs& b) {
    Limbs sum(std::max(a.size(), b.size()) + 1, 0);
    std::uint32_t carry = 0;
    for (std::size_t i = 0; i + 1 < sum.size(); ++i) {
        std::uint32_t digit = carry + (i < a.size() ? a[i] : 0) + (i < b.size() ? b[i] : 0);
        carry = digit >= kBase ? 1 : 0;
        sum[i] = digit - carry * kBase;
    }
    sum.back() = carry;
    trim(sum);
    return sum;
}

// a - b, a >= b
Limbs subtract(const Limbs& a, const Limbs& b) {
    Limbs difference(a);
    std::int64_t borrow = 0;
    for (std::size_t i = 0; i < difference.size(); ++i) {
        std::int64_t digit = static_cast<std::int64_t>(difference[i]) - borrow - (i < b.size() ? b[i] : 0);
        borrow = digit < 0 ? 1 : 0;
        difference[i] = static_cast<std::uint32_t>(digit + borrow * kBase);
    }
    trim(difference);
    return difference;
}

Limbs multiply(const Limbs& a, const Limbs& b) {
    if (a.empty() || b.empty())
        return {};
    std::vector<std::uint64_t> wide(a.size() + b.size() + 1, 0);
    for (std::size_t i = 0; i < a.size(); ++i) {
        std::uint64_t carry = 0;
        for (std::size_t j = 0; j < b.size(); ++j) {
            const std::uint64_t current = wide[i + j] + static_cast<std::uint64_t>(a[i]) * b[j] + carry;
            wide[i + j] = current % kBase;
            carry = current / kBase;
        }
        for (std::size_t k = i + b.size(); carry != 0; ++k) {
            const std::uint64_t current = wide[k] + carry;
            wide[k] = current % kBase;
            carry = current / kBase;
        }
    }
    Limbs product(wide.begin(), wide.end());
    trim(product);
    return product;
}

// The decimal digit at `position` (0 = the units of the magnitude).
unsigned digitAt(const Limbs& limbs, std::size_t position) {
    const std::size_t limb = position / kLimbDigits;
    if (limb >= limbs.size())
        return 0;
    return limbs[limb] / kSmallPowers[position % kLimbDigits] % 10;
}

// ÷ 10^count, the remainder dropped.
Limbs shiftDown(const Limbs& limbs, int count) {
    const std::size_t whole = static_cast<std::size_t>(count / kLimbDigits);
    if (whole >= limbs.size())
        return {};
    Limbs quotient(limbs.begin() + static_cast<std::ptrdiff_t>(whole), limbs.end());
    const std::uint32_t divisor = kSmallPowers[count % kLimbDigits];
    if (divisor != 1) {
        std::uint64_t remainder = 0;
        for (std::size_t i = quotient.size(); i-- > 0;) {
            const std::uint64_t current = remainder * kBase + quotient[i];
            quotient[i] = static_cast<std::uint32_t>(current / divisor);
            remainder = current % divisor;
        }
    }
    trim(quotient);
    return quotient;
}

std::size_t digitCount(const Limbs& limbs) {
    if (limbs.empty())
        return 0;
    std::size_t count = (limbs.size() - 1) * kLimbDigits;
    for (std::uint32_t top = limbs.back(); top != 0; top /= 10)
        ++count;
    return count;
}

Limbs limbsOf(unsigned __int128 value) {
    Limbs limbs;
    while (value != 0) {
        limbs.push_back(static_cast<std::uint32_t>(value % kBase));
        value /= kBase;
    }
    return limbs;
}

std::string digitsOf(const Limbs& limbs) {
    if (limbs.empty())
        return "0";
    std::string text = std::to_string(limbs.back());
    for (std::size_t i = limbs.size() - 1; i-- > 0;) {
        const std::string part = std::to_string(limbs[i]);
        text.append(kLimbDigits - part.size(), '0');
        text += part;
    }
    return text;
}

const unsigned __int128* powersOfTen() {
    static const auto table = [] {
        std::array<unsigned __int128, 39> powers{};
        unsigned __int128 power = 1;
        for (auto& p : powers) {
            p = power;
            power *= 10;
        }
        return powers;
    }();
    return table.data();
}

constexpr int kMaxSmallScale = 38;

// value × 10^count into `result`; false on overflow of a signed 128-bit integer.
bool scaleSmall(__int128 value, int count, __int128& result) {
    if (count < 0 || count > kMaxSmallScale)
        return false;
    return !__builtin_mul_overflow(value, static_cast<__int128>(powersOfTen()[count]), &result);
}

} // namespace

ExactDecimal ExactDecimal::fromParts(bool negative, std::vector<std::uint32_t> limbs, int scale) {
    ExactDecimal value;
    value.negative_ = negative;
    value.limbs_ = std::move(limbs);
    value.scale_ = scale;
    value.normalize();
    return value;
}

void ExactDecimal::normalize() {
    trim(limbs_);
    if (limbs_.empty()) {
        negative_ = false;
        scale_ = 0;
    }
}

ExactDecimal ExactDecimal::fromCents(long long cents) {
    ExactDecimal value = fromInteger(cents);
    value.scale_ = value.isZero() ? 0 : 2;
    return value;
}

ExactDecimal ExactDecimal::fromInteger(long long value) {
    const bool negative = value < 0;
    const unsigned __int128 magnitude = negative ? static_cast<unsigned __int128>(-static_cast<__int128>(value))
                                                 : static_cast<unsigned __int128>(value);
    return fromParts(negative, limbsOf(magnitude), 0);
}

std::optional<ExactDecimal> ExactDecimal::parse(std::string_view text) {
    bool negative = false;
    std::size_t i = 0, end = 0;
    unsignedPart(text, i, end, negative);

    std::string digits; // significant digits, without leading zeros
    std::size_t digitTotal = 0;
    long decimals = 0;
    bool point = false;
    for (; i < end; ++i) {
        const char c = text[i];
        if (isAsciiDigit(c)) {
            ++digitTotal;
            if (point)
                ++decimals;
            if (!digits.empty() || c != '0')
                digits += c;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digitTotal == 0)
        return std::nullopt;
    long exponent = 0;
    if (i < end && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < end && (text[i] == '+' || text[i] == '-'))
            negativeExponent = text[i++] == '-';
        std::size_t exponentDigits = 0;
        for (; i < end && isAsciiDigit(text[i]); ++i, ++exponentDigits)
            exponent = std::min(exponent * 10 + (text[i] - '0'), 1000000L); // far past any range, never overflowing
        if (exponentDigits == 0)
            return std::nullopt;
        if (negativeExponent)
            exponent = -exponent;
    }
    if (i != end)
        return std::nullopt;
    if (digits.empty())
        return ExactDecimal();

    const long shift = exponent - decimals;
    const long integerDigits = static_cast<long>(digits.size()) + shift;
    if (integerDigits > static_cast<long>(kMaxIntegerDigits))
        return std::nullopt;
    if (integerDigits < kMinExponent)
        return ExactDecimal();

    Limbs limbs;
    limbs.reserve(digits.size() / kLimbDigits + 1);
    for (std::size_t stop = digits.size(); stop > 0;) {
        const std::size_t start = stop >= kLimbDigits ? stop - kLimbDigits : 0;
        std::uint32_t limb = 0;
        for (std::size_t k = start; k < stop; ++k)
            limb = limb * 10 + static_cast<std::uint32_t>(digits[k] - '0');
        limbs.push_back(limb);
        stop = start;
    }
    if (shift >= 0) {
        shiftUp(limbs, static_cast<int>(shift));
        return fromParts(negative, std::move(limbs), 0);
    }
    return fromParts(negative, std::move(limbs), static_cast<int>(-shift));
}

ExactDecimal ExactDecimal::scaledTo(int scale) const {
    ExactDecimal value = *this;
    if (scale > scale_ && !limbs_.empty())
        shiftUp(value.limbs_, scale - scale_);
    value.scale_ = limbs_.empty() ? 0 : std::max(scale, scale_);
    return value;
}

ExactDecimal operator+(const ExactDecimal& a, const ExactDecimal& b) {
    if (a.isZero())
        return b;
    if (b.isZero())
        return a;
    const int scale = std::max(a.scale_, b.scale_);
    const ExactDecimal x = a.scaledTo(scale), y = b.scaledTo(scale);
    if (x.negative_ == y.negative_)
        return ExactDecimal::fromParts(x.negative_, add(x.limbs_, y.limbs_), scale);
    const int order = compareLimbs(x.limbs_, y.limbs_);
    if (order == 0)
        return ExactDecimal();
    return order > 0 ? ExactDecimal::fromParts(x.negative_, subtract(x.limbs_, y.limbs_), scale)
                     : ExactDecimal::fromParts(y.negative_, subtract(y.limbs_, x.limbs_), scale);
}

ExactDecimal ExactDecimal::operator-() const {
    ExactDecimal value = *this;
    value.negative_ = !limbs_.empty() && !negative_;
    return value;
}

ExactDecimal operator-(const ExactDecimal& a, const ExactDecimal& b) {
    return a + (-b);
}

ExactDecimal operator*(const ExactDecimal& a, const ExactDecimal& b) {
    return ExactDecimal::fromParts(a.negative_ != b.negative_, multiply(a.limbs_, b.limbs_), a.scale_ + b.scale_);
}

int ExactDecimal::compareMagnitude(const ExactDecimal& a, const ExactDecimal& b) {
    const int scale = std::max(a.scale_, b.scale_);
    return compareLimbs(a.scaledTo(scale).limbs_, b.scaledTo(scale).limbs_);
}

int ExactDecimal::compare(const ExactDecimal& a, const ExactDecimal& b) {
    if (a.negative_ != b.negative_)
        return a.negative_ ? -1 : 1;
    const int magnitude = compareMagnitude(a, b);
    return a.negative_ ? -magnitude : magnitude;
}

ExactDecimal ExactDecimal::rounded(int decimals) const {
    if (scale_ <= decimals)
        return scaledTo(decimals);
    const int drop = scale_ - decimals;
    Limbs kept = shiftDown(limbs_, drop);
    // Half or more of the last kept digit away from zero: the first dropped digit is 5 or more.
    if (digitAt(limbs_, static_cast<std::size_t>(drop - 1)) >= 5)
        kept = add(kept, Limbs{1});
    return fromParts(negative_, std::move(kept), decimals);
}

std::size_t ExactDecimal::integerDigits() const {
    const std::size_t digits = digitCount(limbs_);
    return digits > static_cast<std::size_t>(scale_) ? digits - static_cast<std::size_t>(scale_) : 0;
}

bool ExactDecimal::fitsMoneyFormat() const {
    return integerDigits() <= kMoneyIntegerDigits;
}

std::string ExactDecimal::moneyText() const {
    if (!fitsMoneyFormat())
        throw Error("сумата не може да се изпише в стотинки: тя е извън обхвата на аритметиката");
    const ExactDecimal cents = roundedToCents();
    std::string digits = digitsOf(cents.limbs_);
    if (digits.size() < 3)
        digits.insert(0, 3 - digits.size(), '0');
    std::string text = cents.negative_ ? "-" : "";
    text.append(digits, 0, digits.size() - 2);
    text += '.';
    text.append(digits, digits.size() - 2, 2);
    return text;
}

std::string ExactDecimal::exactText() const {
    std::string digits = digitsOf(limbs_);
    if (scale_ > 0) {
        if (digits.size() <= static_cast<std::size_t>(scale_))
            digits.insert(0, static_cast<std::size_t>(scale_) + 1 - digits.size(), '0');
        digits.insert(digits.size() - static_cast<std::size_t>(scale_), 1, '.');
    }
    return (negative_ ? "-" : "") + digits;
}

bool ExactSum::add(std::string_view text) {
    // What nearly every field of a journal holds: blanks, an optional sign, digits, a point, the two
    // decimals of the total's scale. Read from the right, the blanks before it compared as a block;
    // anything else takes the general way below.
    if (!spilled_ && scale_ == 2) {
        std::size_t end = text.size();
        while (end > 0 && text[end - 1] == ' ')
            --end;
        if (end >= 4 && text[end - 3] == '.' && isAsciiDigit(text[end - 2]) && isAsciiDigit(text[end - 1])) {
            std::uint64_t cents = static_cast<std::uint64_t>((text[end - 2] - '0') * 10 + (text[end - 1] - '0'));
            std::uint64_t scale = 100;
            std::size_t k = end - 3;
            // At most 16 integer digits: the cents stay below 10^18. A 17th digit fails the blanks below.
            const std::size_t lowest = k > 16 ? k - 16 : 0;
            while (k > lowest && isAsciiDigit(text[k - 1])) {
                --k;
                cents += static_cast<std::uint64_t>(text[k] - '0') * scale;
                scale *= 10;
            }
            std::size_t start = k;
            const bool negative = start > 0 && text[start - 1] == '-';
            if (start > 0 && (text[start - 1] == '-' || text[start - 1] == '+'))
                --start;
            const auto term = static_cast<__int128>(cents);
            if (k < end - 3 && allBlanks(text.substr(0, start)) &&
                !__builtin_add_overflow(small_, negative ? -term : term, &small_))
                return true;
        }
    }
    if (!spilled_) {
        // The usual amount ("   1234.56"): at most 19 significant digits and 18 decimals, no exponent.
        bool negative = false;
        std::size_t i = 0, end = 0;
        unsignedPart(text, i, end, negative);
        std::uint64_t mantissa = 0;
        int significant = 0, decimals = 0, digits = 0;
        bool point = false, plain = true;
        for (; i < end; ++i) {
            const char c = text[i];
            if (isAsciiDigit(c)) {
                ++digits;
                decimals += point;
                if (mantissa == 0 && c == '0')
                    continue;
                if (++significant > 19) {
                    plain = false;
                    break;
                }
                mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
            } else if (c == '.' && !point) {
                point = true;
            } else {
                plain = false;
                break;
            }
        }
        if (plain && digits > 0 && decimals <= 18) {
            // At the total's own scale nothing is scaled: a 128-bit multiplication checked for overflow
            // is a call into the runtime.
            const auto plainTerm = static_cast<__int128>(mantissa);
            if (decimals == scale_ && !__builtin_add_overflow(small_, negative ? -plainTerm : plainTerm, &small_))
                return true;
            if (decimals > scale_) {
                __int128 rescaled;
                if (scaleSmall(small_, decimals - scale_, rescaled)) {
                    small_ = rescaled;
                    scale_ = decimals;
                }
            }
            __int128 term;
            if (decimals <= scale_ && scaleSmall(static_cast<__int128>(mantissa), scale_ - decimals, term) &&
                !__builtin_add_overflow(small_, negative ? -term : term, &small_))
                return true;
        }
    }
    const std::optional<ExactDecimal> value = ExactDecimal::parse(text);
    if (!value)
        return false;
    add(*value);
    return true;
}

void ExactSum::spill() {
    if (spilled_)
        return;
    const bool negative = small_ < 0;
    const unsigned __int128 magnitude =
        negative ? static_cast<unsigned __int128>(-(small_ + 1)) + 1 : static_cast<unsigned __int128>(small_);
    ExactDecimal total;
    total.negative_ = negative;
    total.limbs_ = limbsOf(magnitude);
    total.scale_ = scale_;
    total.normalize();
    big_ = total;
    spilled_ = true;
}

void ExactSum::add(const ExactDecimal& value) {
    if (!spilled_ && value.scale_ <= kMaxSmallScale && value.limbs_.size() <= 5) {
        // A value that fits 128 bits at the total's scale stays on the fast path.
        unsigned __int128 magnitude = 0;
        bool fits = true;
        for (std::size_t k = value.limbs_.size(); k-- > 0 && fits;)
            fits = !__builtin_mul_overflow(magnitude, static_cast<unsigned __int128>(kBase), &magnitude) &&
                   !__builtin_add_overflow(magnitude, value.limbs_[k], &magnitude);
        if (fits && magnitude <= static_cast<unsigned __int128>(~static_cast<unsigned __int128>(0) >> 1)) {
            __int128 term = value.negative_ ? -static_cast<__int128>(magnitude) : static_cast<__int128>(magnitude);
            if (value.scale_ > scale_) {
                __int128 rescaled;
                if (scaleSmall(small_, value.scale_ - scale_, rescaled)) {
                    small_ = rescaled;
                    scale_ = value.scale_;
                }
            }
            if (value.scale_ <= scale_ && scaleSmall(term, scale_ - value.scale_, term) &&
                !__builtin_add_overflow(small_, term, &small_))
                return;
        }
    }
    spill();
    big_ += value;
}

void ExactSum::addCents(std::int64_t cents) {
    if (!spilled_ && scale_ == 2 && !__builtin_add_overflow(small_, static_cast<__int128>(cents), &small_))
        return;
    add(ExactDecimal::fromCents(cents));
}

ExactDecimal ExactSum::value() const {
    if (spilled_)
        return big_;
    ExactSum copy = *this;
    copy.spill();
    return copy.big_;
}

} // namespace orva
