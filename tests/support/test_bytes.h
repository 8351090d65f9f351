// Bytes as tests show them in failure messages. Portable: no <windows.h>.
#ifndef TESTS_TEST_BYTES_H
#define TESTS_TEST_BYTES_H

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>

// A double's bit pattern: published values are compared bit for bit.
inline uint64_t Bits(double v)
{
    uint64_t b;
    memcpy(&b, &v, sizeof b);
    return b;
}

// Upper-case hex of a byte run, two digits a byte.
inline std::string Hex(const void *bytes, size_t size)
{
    std::string s;
    char b[4];
    for (size_t i = 0; i < size; ++i) {
        snprintf(b, sizeof b, "%02X", ((const unsigned char *)bytes)[i]);
        s += b;
    }
    return s;
}

#endif
