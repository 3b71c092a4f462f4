#include "text_number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace hall {
namespace {

constexpr double kLargest = std::numeric_limits<double>::max();
// Further than any double reaches, however the digits stand.
constexpr long kExponentCap = 1'000'000;

// Walks the text as the reader sees it: blanks, tabs and line feeds vanish.
class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) { skipBlanks(); }
    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }
    void next() {
        ++pos_;
        skipBlanks();
    }
    bool take(char upper) {
        const char c = peek();
        if (c != upper && c != upper - 'A' + 'a') return false;
        next();
        return true;
    }

private:
    void skipBlanks() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n')) ++pos_;
    }
    std::string_view text_;
    std::size_t pos_ = 0;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int DigitValue(char c, int base) {
    int value = -1;
    if (IsDigit(c))
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

double ClampToDouble(double value) {
    if (std::isnan(value)) return 0;
    return std::clamp(value, -kLargest, kLargest);
}

double WholeNumber(Cursor& cursor, int base) {
    double value = 0;
    for (int digit; (digit = DigitValue(cursor.peek(), base)) >= 0; cursor.next()) value = value * base + digit;
    return ClampToDouble(value);
}

// Decimal digits of the mantissa, read into `digits` without a point, and
// the power of ten of its first significant digit.
struct Mantissa {
    std::string digits;
    long pointShift = 0;  // the value is 0.<digits> × 10^pointShift
    bool any = false;
};

Mantissa ReadMantissa(Cursor& cursor) {
    Mantissa m;
    bool afterPoint = false;
    for (;; cursor.next()) {
        const char c = cursor.peek();
        if (c == '.' && !afterPoint) {
            afterPoint = true;
            continue;
        }
        if (!IsDigit(c)) break;
        m.any = true;
        if (m.digits.empty() && c == '0') {
            if (afterPoint) --m.pointShift;
            continue;
        }
        m.digits += c;
        if (!afterPoint) ++m.pointShift;
    }
    return m;
}

long ReadExponent(Cursor& cursor) {
    if (!(cursor.take('E') || cursor.take('D'))) return 0;
    bool negative = false;
    if (cursor.peek() == '+' || cursor.peek() == '-') {
        negative = cursor.peek() == '-';
        cursor.next();
    }
    long exponent = 0;
    for (; IsDigit(cursor.peek()); cursor.next())
        exponent = std::min(exponent * 10 + (cursor.peek() - '0'), kExponentCap);
    return negative ? -exponent : exponent;
}

double DecimalNumber(Cursor& cursor) {
    bool negative = false;
    if (cursor.peek() == '+' || cursor.peek() == '-') {
        negative = cursor.peek() == '-';
        cursor.next();
    }
    const Mantissa m = ReadMantissa(cursor);
    if (!m.any) return 0;
    const long exponent = ReadExponent(cursor);
    if (m.digits.empty()) return 0;
    const long shift = m.pointShift + exponent;
    double value = 0;
    if (shift > 400) {
        value = kLargest;
    } else if (shift >= -400) {
        const std::string text = "0." + m.digits + "e" + std::to_string(shift);
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        if (result.ec == std::errc::result_out_of_range) value = shift > 0 ? kLargest : 0;
    }
    return ClampToDouble(negative ? -value : value);
}

std::string ExponentText(int exponent) {
    std::string digits = std::to_string(std::abs(exponent));
    if (digits.size() < 2) digits.insert(0, "0");
    return (exponent < 0 ? "E-" : "E+") + digits;
}

}  // namespace

double LeadingNumberValue(std::string_view text) {
    Cursor cursor(text);
    if (cursor.peek() != '&') return DecimalNumber(cursor);
    cursor.next();
    if (cursor.take('H')) return WholeNumber(cursor, 16);
    if (cursor.take('O')) return WholeNumber(cursor, 8);
    return 0;
}

std::string FormatGeneralNumber(double value, char decimalSeparator) {
    value = ClampToDouble(value);
    if (value == 0) return "0";
    // 15 significant digits, rounded once, then laid out.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
    const std::string_view sci(buffer, result.ptr - buffer);
    const bool negative = sci.front() == '-';
    const std::size_t mantissaStart = negative ? 1 : 0;
    const std::size_t e = sci.find('e');
    std::string digits;
    for (char c : sci.substr(mantissaStart, e - mantissaStart))
        if (c != '.') digits += c;
    digits.erase(digits.find_last_not_of('0') + 1);
    int exponent = 0;
    std::from_chars(sci.data() + e + 1 + (sci[e + 1] == '+'), sci.data() + sci.size(), exponent);

    std::string text = negative ? "-" : "";
    if (exponent >= 15 || exponent < -4) {
        text += digits.front();
        if (digits.size() > 1) text += decimalSeparator + digits.substr(1);
        return text + ExponentText(exponent);
    }
    if (exponent < 0) return text + "0" + decimalSeparator + std::string(-exponent - 1, '0') + digits;
    const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= whole) return text + digits + std::string(whole - digits.size(), '0');
    return text + digits.substr(0, whole) + decimalSeparator + digits.substr(whole);
}

std::string NumberRewrite(std::string_view text, char decimalSeparator) {
    return FormatGeneralNumber(LeadingNumberValue(text), decimalSeparator);
}

double RoundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    const double below = std::floor(value);
    const double rest = value - below;
    if (rest < 0.5) return below;
    if (rest > 0.5) return below + 1;
    return std::fmod(below, 2) == 0 ? below : below + 1;
}

}  // namespace hall
