// The number conversion of the plan reader: decimal forms only, full stop
// whatever the locale, and always the nearest double (ties to even). The
// oracles are the compiler's own reading of literals, glibc's correctly
// rounded strtod, and exact midpoints between neighbouring doubles.
#include <gtest/gtest.h>

#include <float.h>
#include <locale.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "plan_number.h"
#include "test_bytes.h"

#if defined(_WIN32)
// The Windows runtime's own strtod is not correctly rounded; mingw-w64's is.
#define CorrectlyRoundedStrtod __mingw_strtod
#else
#define CorrectlyRoundedStrtod strtod
#endif

namespace
{

std::string Show(double v)
{
    char text[64];
    snprintf(text, sizeof text, "%.17g (0x%016llx)", v, (unsigned long long)Bits(v));
    return text;
}

double Convert(const std::string &text, size_t *used = nullptr)
{
    // An exact copy without terminator: the conversion must stop at the
    // length given.
    std::string copy = text;
    return ConvertPlanNumber(copy.data(), copy.size(), used);
}

struct NumberRow {
    const char *text;
    double expected;
    size_t used;
};

TEST(PlanNumber, ConvertsTheLongestDecimalPrefix)
{
    const NumberRow rows[] = {
        {"48", 48.0, 2},
        {" 07", 7.0, 3},
        {" 12.30", 12.3, 6},
        {" 48.90", 48.9, 6},
        {"12,30", 12.0, 2},
        {"\t\n\v\f\r 3", 3.0, 7},
        {"+2.5", 2.5, 4},
        {"-2.5", -2.5, 4},
        {".5", 0.5, 2},
        {"5.", 5.0, 2},
        {"5.e3", 5000.0, 4},
        {"1.2.3", 1.2, 3},
        {"1e", 1.0, 1},
        {"1e+", 1.0, 1},
        {"1E-2", 0.01, 4},
        {"1e+2x", 100.0, 4},
        {"007.50", 7.5, 6},
        {"0.000123", 0.000123, 8},
        {"12.5\"", 12.5, 4},
        {"0x1A", 0.0, 1},
        {"1 2", 1.0, 1},
        {"99999999999999999999", 1e20, 20},
        {"123456789012345678901234567890", 123456789012345678901234567890.0, 30},
        {"0.1e-2", 0.001, 6},
        {"4.35E+02'", 435.0, 8},
    };
    for (const NumberRow &r : rows) {
        size_t used = 99;
        double v = Convert(r.text, &used);
        EXPECT_EQ(Bits(v), Bits(r.expected)) << "\"" << r.text << "\" gave " << Show(v);
        EXPECT_EQ(used, r.used) << "\"" << r.text << "\"";
    }
}

TEST(PlanNumber, TextWithoutANumberIsPositiveZeroAndTakesNothing)
{
    const char *const rows[] = {"",    " ",         "+",   "-",      ".",  "-.",   "e5", "+.e1",
                                "inf", "-infinity", "nan", "NAN(1)", ",5", "\xB0", "'",  "\""};
    for (const char *r : rows) {
        size_t used = 99;
        double v = Convert(r, &used);
        EXPECT_EQ(Bits(v), Bits(0.0)) << "\"" << r << "\" gave " << Show(v);
        EXPECT_EQ(used, 0u) << "\"" << r << "\"";
    }
    EXPECT_EQ(Bits(Convert("-0")), Bits(-0.0)) << "a written minus zero keeps its sign";
    EXPECT_EQ(Bits(Convert("-0.000e9")), Bits(-0.0));
}

TEST(PlanNumber, StopsAtTheLengthGiven)
{
    const char text[] = "12.375e2";
    size_t used;
    EXPECT_EQ(ConvertPlanNumber(text, 4, &used), 12.3);
    EXPECT_EQ(used, 4u);
    EXPECT_EQ(ConvertPlanNumber(text, 7, &used), 12.375)
        << "an e without digits inside the length is no exponent";
    EXPECT_EQ(used, 6u);
    EXPECT_EQ(ConvertPlanNumber(text, 0, &used), 0.0);
    EXPECT_EQ(used, 0u);
}

TEST(PlanNumber, RangeEdgesRoundCorrectly)
{
    const NumberRow rows[] = {
        {"1e400", INFINITY, 5},
        {"-1e400", -INFINITY, 6},
        {"1e-400", 0.0, 6},
        {"-1e-400", -0.0, 7},
        {"1e99999999999999999999", INFINITY, 22},
        {"1.7976931348623157e308", DBL_MAX, 22},
        {"1.7976931348623158e308", DBL_MAX, 22},
        {"1.7976931348623159e308", INFINITY, 22},
        {"2.2250738585072011e-308", 2.2250738585072011e-308, 23},
        {"2.2250738585072012e-308", 2.2250738585072012e-308, 23},
        {"2.2250738585072014e-308", DBL_MIN, 23},
        {"4.9406564584124654e-324", 4.9406564584124654e-324, 23},
        {"2.4703282292062327e-324", 0.0, 23},
        {"2.4703282292062328e-324", 4.9406564584124654e-324, 23},
        {"7.4109846876186982e-324", 9.8813129168249309e-324, 23},
        {"1e23", 1e23, 4},
        {"9007199254740993", 9007199254740992.0, 16},
        {"9007199254740993.00000000000000000000001", 9007199254740994.0, 40},
        {"9007199254740995", 9007199254740996.0, 16},
        {"0.30000000000000004", 0.30000000000000004, 19},
        {"1.00000000000000011102230246251565404236316680908203125", 1.0, 55},
        {"1.000000000000000111022302462515654042363166809082031250001", 1.0000000000000002, 59},
        {"1.00000000000000011102230246251565404236316680908203124999", 1.0, 58},
    };
    for (const NumberRow &r : rows) {
        size_t used = 99;
        double v = Convert(r.text, &used);
        EXPECT_EQ(Bits(v), Bits(r.expected)) << "\"" << r.text << "\" gave " << Show(v);
        EXPECT_EQ(used, r.used) << "\"" << r.text << "\"";
    }
}

TEST(PlanNumber, LongTextsRoundOnceFromAllTheirDigits)
{
    std::string ones = "1" + std::string(299, '0');
    EXPECT_EQ(Bits(Convert(ones)), Bits(1e299));
    std::string tenth = "0.1" + std::string(296, '0') + "1";
    EXPECT_EQ(Bits(Convert(tenth)), Bits(0.1));
    std::string nines = "12.2" + std::string(296, '9');
    EXPECT_EQ(Bits(Convert(nines)), Bits(12.3)) << "300 characters";
    // Exactly halfway between 1 and the next double, with the deciding digit
    // beyond everything the conversion keeps: still rounded up.
    std::string far = "1.00000000000000011102230246251565404236316680908203125" + std::string(3000, '0');
    EXPECT_EQ(Bits(Convert(far)), Bits(1.0));
    EXPECT_EQ(Bits(Convert(far + "1")), Bits(1.0000000000000002));
    // Leading zeros beyond the kept digits do not count.
    EXPECT_EQ(Bits(Convert(std::string(5000, '0') + "48.125")), Bits(48.125));
    EXPECT_EQ(Bits(Convert("0." + std::string(400, '0') + "1e401")), Bits(1.0));
}

// Exact decimal midpoints between a double and its upper neighbour, written
// out in full (glibc and mingw-w64 print long doubles exactly), must round to the even
// one; a hair above must round up, a hair below down.
TEST(PlanNumber, ExactMidpointsRoundToEvenAndTheirNeighboursAway)
{
    uint64_t state = 0x9E3779B97F4A7C15ull;
    int checked = 0;
    for (int i = 0; i < 3000; i++) {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        uint64_t bits = state & 0x7FFFFFFFFFFFFFFFull;
        if (i % 5 == 0)
            bits &= 0x000FFFFFFFFFFFFFull; // subnormals too
        double low;
        memcpy(&low, &bits, sizeof low);
        double high = nextafter(low, INFINITY);
        if (!isfinite(low) || !isfinite(high))
            continue;
        long double mid = ((long double)low + (long double)high) / 2;
        char text[1400];
        snprintf(text, sizeof text, "%.1100Le", mid);
        std::string s = text;
        size_t e = s.find('e');
        std::string mantissa = s.substr(0, e), exponent = s.substr(e);
        while (mantissa.back() == '0')
            mantissa.pop_back();
        double even = (Bits(low) & 1) ? high : low;
        ASSERT_EQ(Bits(Convert(mantissa + exponent)), Bits(even)) << mantissa << exponent;
        ASSERT_EQ(Bits(Convert(mantissa + "000001" + exponent)), Bits(high))
            << "above " << mantissa << exponent;
        std::string below = mantissa;
        if (below.back() == '.')
            continue;
        below.back() -= 1;
        ASSERT_EQ(Bits(Convert(below + "9999" + exponent)), Bits(low)) << "below " << mantissa << exponent;
        checked++;
    }
    EXPECT_GT(checked, 2500);
}

// Random decimal texts of up to 300 digits and a wide spread of exponents
// against a strtod that rounds correctly (glibc's; mingw-w64's own on
// Windows).
TEST(PlanNumber, AgreesWithCorrectlyRoundedStrtodOnRandomTexts)
{
    ASSERT_STREQ(localeconv()->decimal_point, ".");
    uint64_t state = 12345;
    auto next = [&state]() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return (unsigned)(state >> 33);
    };
    for (int i = 0; i < 20000; i++) {
        std::string text;
        if (next() % 2)
            text += next() % 2 ? '-' : '+';
        unsigned digits = 1 + next() % (i % 10 == 0 ? 300 : 25);
        unsigned stop = next() % (digits + 1);
        for (unsigned d = 0; d < digits; d++) {
            if (d == stop)
                text += '.';
            text += (char)('0' + next() % 10);
        }
        if (next() % 3)
            text += "e" + std::to_string((int)(next() % 700) - 350);
        double expected = CorrectlyRoundedStrtod(text.c_str(), nullptr);
        size_t used;
        double v = Convert(text, &used);
        ASSERT_EQ(Bits(v), Bits(expected)) << text << " gave " << Show(v) << ", strtod " << Show(expected);
        ASSERT_EQ(used, text.size()) << text;
    }
}

TEST(PlanNumber, IgnoresTheLocaleDecimalPoint)
{
    // Whatever locale the host has set, the full stop is the decimal point.
    const char *names[] = {"German_Germany.1252", "de_DE.UTF-8", "de_DE", "fr_FR.UTF-8", "ru_RU.UTF-8"};
    const char *set = nullptr;
    for (const char *n : names)
        if ((set = setlocale(LC_NUMERIC, n)) != nullptr)
            break;
    double v = Convert(" 12.30");
    double comma = Convert("12,30");
    setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(Bits(v), Bits(12.3));
    EXPECT_EQ(Bits(comma), Bits(12.0));
    if (set == nullptr)
        GTEST_LOG_(INFO) << "no comma locale installed; checked in the C locale only";
}

struct DigitsRow {
    const char *text;
    double expected;
};

TEST(PlanNumber, DegreesAreEveryDigitAndNothingElse)
{
    const DigitsRow rows[] = {
        {"N48", 48.0},
        {"N048", 48.0},
        {"N 48", 48.0},
        {"48.5", 485.0},
        {"S-12", 12.0},
        {"1\xC2"
         "2",
         12.0},
        {"", 0.0},
        {"NSEW", 0.0},
        {",W011", 11.0},
        {"0000", 0.0},
        {"9007199254740993", 9007199254740992.0},
    };
    for (const DigitsRow &r : rows) {
        std::string copy = r.text;
        double v = ConvertPlanDigits(copy.data(), copy.size());
        EXPECT_EQ(Bits(v), Bits(r.expected)) << "\"" << r.text << "\" gave " << Show(v);
    }
    std::string many = "N" + std::string(250, '9');
    EXPECT_EQ(Bits(ConvertPlanDigits(many.data(), many.size())), Bits(1e250));
}

} // namespace
