// The fuzzer's and the native tests' line splitting against the Windows
// runtime itself: random files read with _fsopen "rt" and fgets into a
// 256-byte buffer must give the very same buffers, piece by piece.
#include <gtest/gtest.h>

#include <share.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "text_mode_lines.h"

namespace
{

TEST(TextModeLines, SplitsFilesAsTheRuntimesFgetsDoes)
{
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    std::string path = std::string(folder) + "kestrel_text_mode.bin";
    const char alphabet[] = {'\r', '\n', '\x1A', '\0', 'a', '*', '\r', '\n', 'b', '\xB0'};
    uint32_t state = 2463534242u;
    for (int round = 0; round < 400; round++) {
        std::string bytes;
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        size_t size = state % (round % 4 == 0 ? 1200 : 80);
        for (size_t i = 0; i < size; i++) {
            state ^= state << 13, state ^= state >> 17, state ^= state << 5;
            // Mostly plain characters, so that long lines come up too.
            bytes += state % 8 ? (char)('c' + state % 20) : alphabet[(state >> 8) % sizeof alphabet];
        }
        FILE *out = fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        fwrite(bytes.data(), 1, bytes.size(), out);
        fclose(out);

        FILE *in = _fsopen(path.c_str(), "rt", _SH_DENYWR);
        ASSERT_NE(in, nullptr);
        TextModeLines lines;
        OpenTextModeLines(&lines, bytes.data(), bytes.size());
        for (int piece = 0;; piece++) {
            char real[PLAN_LINE_SIZE], model[PLAN_LINE_SIZE];
            memset(real, 0x55, sizeof real);
            memset(model, 0x55, sizeof model);
            bool gotReal = fgets(real, sizeof real, in) != nullptr;
            bool gotModel = NextTextModeLine(&lines, model) != 0;
            ASSERT_EQ(gotModel, gotReal) << "round " << round << ", piece " << piece;
            ASSERT_EQ(memcmp(real, model, sizeof real), 0) << "round " << round << ", piece " << piece;
            if (!gotReal)
                break;
        }
        fclose(in);
    }
    DeleteFileA(path.c_str());
}

} // namespace
