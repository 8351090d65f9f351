/* Numbers read from plan-file text: the full stop is the decimal point
 * whatever the locale, and every result is the double nearest to the
 * decimal value written (ties to even). Portable: no platform headers, no
 * allocation, never reads past the length given. */
#ifndef KESTREL_PLAN_NUMBER_H
#define KESTREL_PLAN_NUMBER_H

#include <stddef.h>

#if defined(__cplusplus)
extern "C" {
#endif

/* Skips leading white space (space, tab, line feed, vertical tab, form
 * feed, carriage return), then converts the longest prefix that reads as a
 * decimal number: an optional sign, digits with at most one full stop among
 * or around them (at least one digit), and an optional exponent (e or E, an
 * optional sign, at least one digit). No hexadecimal, infinity or NaN
 * forms. Text without such a prefix, empty text included, gives +0.0.
 * A value beyond the double range gives an infinity, one below it a
 * subnormal or zero, each with the sign written. When used is not null it
 * receives the number of bytes taken, white space included (0 when there is
 * no number). */
double ConvertPlanNumber(const char *text, size_t length, size_t *used);

/* The whole number formed by all the decimal digits in text, in order; every
 * other byte is passed over. Text without digits gives +0.0. */
double ConvertPlanDigits(const char *text, size_t length);

#if defined(__cplusplus)
}
#endif

#endif
