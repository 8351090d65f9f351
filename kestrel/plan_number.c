#include "plan_number.h"

#include <stdint.h>
#include <string.h>

/* Significant digits kept of a number in hand. The exact decimal
 * expansions that the binary scaling below produces for any text of a plan
 * line (255 characters) stay well within this; digits that would fall off
 * are remembered in truncated, which keeps the rounding right beyond it. */
#define DECIMAL_CAPACITY 1600
/* Room past the capacity for the new digits of one left shift (2^60 has 19
 * digits), cut back to the capacity once the shift is done. */
#define DECIMAL_SLACK 24
/* Largest shift step in bits: a digit shifted by 60 plus the carry still
 * fits 64 bits. */
#define MAX_SHIFT 60
/* Exponents and decimal-point positions beyond this are far outside the
 * double range either way, so they are clamped to it. */
#define EXPONENT_LIMIT 100000

/* A decimal number in hand: 0.d1d2d3... x 10^point, or zero when count is
 * 0. */
typedef struct Decimal {
    unsigned char digits[DECIMAL_CAPACITY + DECIMAL_SLACK]; /* values 0 to 9, most significant first */
    int count;                                              /* digits in use; the last one is never 0 */
    int point;
    int truncated; /* nonzero digits were dropped after digits[count - 1] */
} Decimal;

/* Every power of ten that a double holds exactly. */
static const double exactPowersOfTen[] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22,
};

/* Bits needed to bring a decimal point position of 0 to 8 down (or up) to
 * zero in one step; further positions go 27 bits (8 digits) at a time. */
static const int scaleSteps[] = {1, 3, 6, 9, 13, 16, 19, 23, 26};

static int IsBlank(unsigned char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

static int IsDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

static void Trim(Decimal *d)
{
    while (d->count > 0 && d->digits[d->count - 1] == 0)
        d->count--;
    if (d->count == 0)
        d->point = 0;
}

/* Adds the next digit in reading order; point counts the digits before the
 * decimal point, less the zeros right after it when nothing significant
 * came before them. */
static void AddDigit(Decimal *d, unsigned digit, int beforePoint, int64_t *point)
{
    if (d->count == 0 && digit == 0) {
        if (!beforePoint)
            (*point)--;
        return;
    }
    if (d->count < DECIMAL_CAPACITY)
        d->digits[d->count++] = (unsigned char)digit;
    else if (digit != 0)
        d->truncated = 1;
    if (beforePoint)
        (*point)++;
}

/* Divides by 2^k, 1 <= k <= MAX_SHIFT. */
static void ShiftRight(Decimal *d, unsigned k)
{
    int r = 0;
    int w = 0;
    uint64_t n = 0;
    /* Take up enough leading digits that the first quotient digit is
     * nonzero; past the last digit, zeros are taken. */
    for (; (n >> k) == 0; r++) {
        if (r >= d->count) {
            if (n == 0) {
                d->count = 0;
                return;
            }
            while ((n >> k) == 0) {
                n *= 10;
                r++;
            }
            break;
        }
        n = n * 10 + d->digits[r];
    }
    d->point -= r - 1;
    uint64_t mask = ((uint64_t)1 << k) - 1;
    for (; r < d->count; r++) {
        unsigned digit = (unsigned)(n >> k);
        n &= mask;
        d->digits[w++] = (unsigned char)digit;
        n = n * 10 + d->digits[r];
    }
    while (n > 0) {
        unsigned digit = (unsigned)(n >> k);
        n &= mask;
        if (w < DECIMAL_CAPACITY)
            d->digits[w++] = (unsigned char)digit;
        else if (digit != 0)
            d->truncated = 1;
        n *= 10;
    }
    d->count = w;
    Trim(d);
}

/* Multiplies by 2^k, 1 <= k <= MAX_SHIFT. The product is formed from the
 * last digit up, written from an end far enough out for all new digits
 * (2^k has at most k/3 + 1 of them), then moved to the front. */
static void ShiftLeft(Decimal *d, unsigned k)
{
    int end = d->count + (int)(k / 3) + 1;
    int w = end;
    uint64_t n = 0;
    for (int r = d->count - 1; r >= 0; r--) {
        n += (uint64_t)d->digits[r] << k;
        uint64_t quotient = n / 10;
        d->digits[--w] = (unsigned char)(n - 10 * quotient);
        n = quotient;
    }
    while (n > 0) {
        uint64_t quotient = n / 10;
        d->digits[--w] = (unsigned char)(n - 10 * quotient);
        n = quotient;
    }
    int produced = end - w;
    memmove(d->digits, d->digits + w, (size_t)produced);
    d->point += produced - d->count;
    d->count = produced;
    if (d->count > DECIMAL_CAPACITY) {
        for (int i = DECIMAL_CAPACITY; i < d->count; i++)
            if (d->digits[i] != 0)
                d->truncated = 1;
        d->count = DECIMAL_CAPACITY;
    }
    Trim(d);
}

static void Shift(Decimal *d, int k)
{
    for (; k > MAX_SHIFT; k -= MAX_SHIFT)
        ShiftLeft(d, MAX_SHIFT);
    if (k > 0)
        ShiftLeft(d, (unsigned)k);
    for (; k < -MAX_SHIFT; k += MAX_SHIFT)
        ShiftRight(d, MAX_SHIFT);
    if (k < 0)
        ShiftRight(d, (unsigned)-k);
}

/* Whether rounding to the digit before position at goes up: above half
 * always, exactly half (nothing after that 5, nothing dropped) to even. */
static int RoundsUp(const Decimal *d, int at)
{
    if (at < 0 || at >= d->count)
        return 0;
    if (d->digits[at] == 5 && at + 1 == d->count) {
        if (d->truncated)
            return 1;
        return at > 0 && d->digits[at - 1] % 2 == 1;
    }
    return d->digits[at] >= 5;
}

static uint64_t RoundedInteger(const Decimal *d)
{
    uint64_t n = 0;
    int i = 0;
    for (; i < d->point && i < d->count; i++)
        n = n * 10 + d->digits[i];
    for (; i < d->point; i++)
        n *= 10;
    if (RoundsUp(d, d->point))
        n++;
    return n;
}

static double FromBits(uint64_t bits)
{
    double value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

/* Bit patterns of IEEE 754 doubles, assembled by hand so that every build
 * gives the same bits. */
static const uint64_t signBit = (uint64_t)1 << 63;
static const uint64_t infinityBits = (uint64_t)0x7FF << 52;

/* The double nearest to 0.digits x 10^point, negated when negative. point
 * is the decimal point's position as read, exponent included. */
static double DecimalToDouble(Decimal *d, int64_t point, int negative)
{
    uint64_t sign = negative ? signBit : 0;
    Trim(d);
    if (d->count == 0)
        return FromBits(sign);
    if (point > EXPONENT_LIMIT)
        point = EXPONENT_LIMIT;
    if (point < -EXPONENT_LIMIT)
        point = -EXPONENT_LIMIT;
    d->point = (int)point;

    /* Up to 15 digits and a power of ten up to 1e22 are both exact
     * doubles, so one correctly rounded multiplication or division gives
     * the nearest double. This covers every number of a usual plan file. */
    int scale = d->point - d->count;
    if (!d->truncated && d->count <= 15 && scale >= -22 && scale <= 22) {
        double value;
        if (d->count <= 9) {
            /* 32-bit arithmetic where it suffices: much cheaper on x86. */
            int32_t whole = 0;
            for (int i = 0; i < d->count; i++)
                whole = whole * 10 + d->digits[i];
            value = (double)whole;
        } else {
            int64_t whole = 0;
            for (int i = 0; i < d->count; i++)
                whole = whole * 10 + d->digits[i];
            value = (double)whole;
        }
        value = scale >= 0 ? value * exactPowersOfTen[scale] : value / exactPowersOfTen[-scale];
        return negative ? -value : value;
    }

    /* 0.1 x 10^-330 is below half the smallest subnormal; 0.1 x 10^310 is
     * above the largest double. */
    if (d->point > 310)
        return FromBits(sign | infinityBits);
    if (d->point < -330)
        return FromBits(sign);

    /* Scale by powers of two, exactly, into [0.5, 1), counting the binary
     * exponent; then take 53 bits and round once. */
    int exponent = 0;
    while (d->point > 0) {
        int n = d->point >= 9 ? 27 : scaleSteps[d->point];
        Shift(d, -n);
        exponent += n;
    }
    while (d->point < 0 || (d->point == 0 && d->digits[0] < 5)) {
        int n = -d->point >= 9 ? 27 : scaleSteps[-d->point];
        Shift(d, n);
        exponent -= n;
    }
    exponent--; /* now in [1, 2) */
    if (exponent < -1022) {
        /* Subnormal: fewer bits are left to the mantissa. */
        Shift(d, -(-1022 - exponent));
        exponent = -1022;
    }
    if (exponent > 1023)
        return FromBits(sign | infinityBits);
    Shift(d, 53);
    uint64_t mantissa = RoundedInteger(d);
    if (mantissa == (uint64_t)1 << 53) {
        mantissa >>= 1;
        exponent++;
        if (exponent > 1023)
            return FromBits(sign | infinityBits);
    }
    uint64_t biased = (mantissa & ((uint64_t)1 << 52)) ? (uint64_t)(exponent + 1023) : 0;
    return FromBits(sign | (biased << 52) | (mantissa & (((uint64_t)1 << 52) - 1)));
}

static void StartDecimal(Decimal *d)
{
    d->count = 0;
    d->point = 0;
    d->truncated = 0;
}

/* The forms that plan files use, such as " 12.30": at most 9 significant
 * digits (an int32) and at most 22 after the full stop, no exponent. Both
 * the digits and the power of ten are exact doubles, so one division gives
 * the nearest double, as the general reading would. Returns 0 for any other
 * form, which the general reading then takes. */
static int ReadPlainNumber(const unsigned char *p, size_t i, size_t length, int negative, double *value,
                           size_t *end)
{
    int32_t whole = 0;
    int significant = 0;
    int fraction = 0;
    int sawStop = 0;
    int sawDigit = 0;
    for (; i < length; i++) {
        if (p[i] == '.') {
            if (sawStop)
                break;
            sawStop = 1;
            continue;
        }
        if (!IsDigit(p[i]))
            break;
        sawDigit = 1;
        if (whole != 0 || p[i] != '0') {
            if (++significant > 9)
                return 0;
            whole = whole * 10 + (p[i] - '0');
        }
        if (sawStop)
            fraction++;
    }
    if (!sawDigit || fraction > 22 || (i < length && (p[i] == 'e' || p[i] == 'E')))
        return 0;
    double v = (double)whole / exactPowersOfTen[fraction];
    *value = negative ? -v : v;
    *end = i;
    return 1;
}

double ConvertPlanNumber(const char *text, size_t length, size_t *used)
{
    const unsigned char *p = (const unsigned char *)text;
    size_t i = 0;
    while (i < length && IsBlank(p[i]))
        i++;
    int negative = 0;
    if (i < length && (p[i] == '+' || p[i] == '-')) {
        negative = p[i] == '-';
        i++;
    }
    double plain;
    size_t plainEnd;
    if (ReadPlainNumber(p, i, length, negative, &plain, &plainEnd)) {
        if (used != NULL)
            *used = plainEnd;
        return plain;
    }
    Decimal d;
    StartDecimal(&d);
    int64_t point = 0;
    int sawDigit = 0;
    int sawStop = 0;
    for (; i < length; i++) {
        if (p[i] == '.' && !sawStop) {
            sawStop = 1;
            continue;
        }
        if (!IsDigit(p[i]))
            break;
        sawDigit = 1;
        AddDigit(&d, (unsigned)(p[i] - '0'), !sawStop, &point);
    }
    if (!sawDigit) {
        if (used != NULL)
            *used = 0;
        return 0.0;
    }
    size_t end = i;
    if (i < length && (p[i] == 'e' || p[i] == 'E')) {
        size_t j = i + 1;
        int negativeExponent = 0;
        if (j < length && (p[j] == '+' || p[j] == '-')) {
            negativeExponent = p[j] == '-';
            j++;
        }
        /* An e without digits after it is not part of the number. */
        if (j < length && IsDigit(p[j])) {
            int64_t exponent = 0;
            for (; j < length && IsDigit(p[j]); j++)
                if (exponent < EXPONENT_LIMIT)
                    exponent = exponent * 10 + (p[j] - '0');
            point += negativeExponent ? -exponent : exponent;
            end = j;
        }
    }
    if (used != NULL)
        *used = end;
    return DecimalToDouble(&d, point, negative);
}

double ConvertPlanDigits(const char *text, size_t length)
{
    const unsigned char *p = (const unsigned char *)text;
    /* Whole degrees have a few digits: an int32 holds 9 of them exactly. */
    int32_t whole = 0;
    int significant = 0;
    for (size_t i = 0; i < length; i++) {
        if (!IsDigit(p[i]) || (whole == 0 && p[i] == '0'))
            continue;
        if (++significant > 9)
            break;
        whole = whole * 10 + (p[i] - '0');
    }
    if (significant <= 9)
        return (double)whole;
    Decimal d;
    StartDecimal(&d);
    int64_t point = 0;
    for (size_t i = 0; i < length; i++)
        if (IsDigit(p[i]))
            AddDigit(&d, (unsigned)(p[i] - '0'), 1, &point);
    return DecimalToDouble(&d, point, 0);
}
