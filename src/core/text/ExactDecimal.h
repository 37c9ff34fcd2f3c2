#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

// A decimal number held exactly: sums, differences and products of amounts lose nothing, so a
// total of a million wide amounts or the product 10.50 × 0.95 is what a person computes by hand.
// Values are rounded (half away from zero, to the cent) only where they are shown or compared as
// cent amounts. The value is magnitude / 10^scale with the magnitude in base-10^9 limbs.
class ExactDecimal {
public:
    ExactDecimal() = default; // zero

    // A whole number of cents.
    static ExactDecimal fromCents(long long cents);
    // A whole number (a count of records).
    static ExactDecimal fromInteger(long long value);

    // The amount grammar of the files: blanks around it, an optional sign, digits with an optional
    // point and fraction, an optional exponent. std::nullopt for anything else, and for a value of
    // 10^4932 or more (what no amount of the files can mean). A value below 10^-4951 is zero.
    static std::optional<ExactDecimal> parse(std::string_view text);

    friend ExactDecimal operator+(const ExactDecimal& a, const ExactDecimal& b);
    friend ExactDecimal operator-(const ExactDecimal& a, const ExactDecimal& b);
    friend ExactDecimal operator*(const ExactDecimal& a, const ExactDecimal& b);
    ExactDecimal operator-() const;
    ExactDecimal& operator+=(const ExactDecimal& other) { return *this = *this + other; }

    // -1, 0 or 1, exactly.
    static int compare(const ExactDecimal& a, const ExactDecimal& b);
    // The same of the absolute values.
    static int compareMagnitude(const ExactDecimal& a, const ExactDecimal& b);
    friend bool operator==(const ExactDecimal& a, const ExactDecimal& b) { return compare(a, b) == 0; }
    friend bool operator!=(const ExactDecimal& a, const ExactDecimal& b) { return compare(a, b) != 0; }
    friend bool operator<(const ExactDecimal& a, const ExactDecimal& b) { return compare(a, b) < 0; }
    friend bool operator<=(const ExactDecimal& a, const ExactDecimal& b) { return compare(a, b) <= 0; }
    friend bool operator>(const ExactDecimal& a, const ExactDecimal& b) { return compare(a, b) > 0; }
    friend bool operator>=(const ExactDecimal& a, const ExactDecimal& b) { return compare(a, b) >= 0; }

    bool isZero() const { return limbs_.empty(); }
    bool isNegative() const { return negative_; }

    // Rounded half away from zero to whole cents.
    ExactDecimal roundedToCents() const { return rounded(2); }
    // Rounded half away from zero to `decimals` digits after the point (0 or more).
    ExactDecimal rounded(int decimals) const;

    // Whether moneyText can write the value: below 10^4930 in magnitude (a longer text is no amount).
    bool fitsMoneyFormat() const;

    // "########0.00": the value rounded to cents, at least one integer digit, no grouping, "-" when
    // the rounded value is negative. Throws orva::Error when !fitsMoneyFormat().
    std::string moneyText() const;

    // Every digit: "-"?, digits, and a point with the fraction when there is one ("12.5", "0.005").
    std::string exactText() const;

private:
    friend class ExactSum;
    static ExactDecimal fromParts(bool negative, std::vector<std::uint32_t> limbs, int scale);
    void normalize();
    std::size_t integerDigits() const; // digits before the point, 0 for |value| < 1
    ExactDecimal scaledTo(int scale) const;

    bool negative_ = false;
    std::vector<std::uint32_t> limbs_; // the magnitude, least significant first, no zero limb on top
    int scale_ = 0;                    // digits after the point, 0 or more
};

// A running total of amounts: whole-cent (and finer) amounts are added in 128-bit integers, and
// only a total that would not fit goes on in ExactDecimal, so a journal's columns cost little more
// than adding numbers.
class ExactSum {
public:
    // Adds the amount written in `text` (the grammar of ExactDecimal::parse); false, the total
    // unchanged, when the text is not a number.
    bool add(std::string_view text);
    void add(const ExactDecimal& value);
    // Adds an amount already read as whole cents: what add(text) makes of its text, without reading it.
    void addCents(std::int64_t cents);
    ExactDecimal value() const;
    // value().fitsMoneyFormat(), without building the value while the total is small.
    bool fitsMoneyFormat() const { return !spilled_ || big_.fitsMoneyFormat(); }

private:
    void spill();

    __int128 small_ = 0; // the total in units of 10^-scale_, while it fits
    int scale_ = 2;
    bool spilled_ = false;
    ExactDecimal big_;
};

} // namespace orva
