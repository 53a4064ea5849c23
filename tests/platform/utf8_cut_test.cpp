// Cutting UTF-8 output into whole characters, as the Windows console relay does with the
// pieces a pipe delivers.
#include <gtest/gtest.h>

#include <string>

#include "platform/console.h"

namespace {

struct Cut {
    const char *bytes;
    size_t whole;
};

TEST(Utf8Whole, KeepsBackOnlyACharacterCutShort)
{
    const Cut cuts[] = {
        {"", 0},
        {"abc", 3},
        {"21.5\xE2\x84\x83", 7},           // ℃ whole
        {"21.5\xE2\x84", 4},                // ℃ missing its last byte
        {"21.5\xE2", 4},                    // only its lead
        {"\xE4\xB8\xAD\xE6\x96", 3},        // 中 whole, 文 cut short
        {"x\xF0\x9F\x98\x80", 5},           // a 4-byte character whole
        {"x\xF0\x9F\x98", 1},               // and cut short
        {"\xC2\xB0", 2},                    // ° (2 bytes) whole
        {"\xC2", 0},
        {"a\x80\x80\x80\x80", 5},           // stray continuation bytes: nothing can complete them
        {"a\xFF", 2},                       // a byte that starts nothing
        {"\xE2\x84\x83\x84", 4},            // one continuation byte too many
    };
    for (const Cut &c : cuts) {
        const std::string s(c.bytes);
        EXPECT_EQ(utf8_whole(s.data(), s.size()), c.whole) << "bytes: " << testing::PrintToString(s);
    }
}

// The relay's loop: read a piece, hand over the whole characters, keep the rest for the next.
TEST(Utf8Whole, PiecesOfEverySizeReassembleOnCharacterBounds)
{
    const std::string text = "01,0,0,1,28E9,28,(--B20--)(+19.250)\xE2\x84\x83,19.2500\n"
                             "+21.500\xE2\x84\x83(+45.0%RH) \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80\n";
    for (size_t piece = 1; piece <= 8; piece++) {
        std::string shown, kept;
        for (size_t at = 0; at < text.size(); at += piece) {
            kept += text.substr(at, piece);
            const size_t whole = utf8_whole(kept.data(), kept.size());
            ASSERT_LE(whole, kept.size());
            shown += kept.substr(0, whole);
            kept.erase(0, whole);
            // Never cut before a continuation byte: every handed-over piece decodes on its own.
            const size_t next = shown.size();
            if (next < text.size()) {
                EXPECT_NE(static_cast<unsigned char>(text[next]) & 0xC0, 0x80) << "piece " << piece;
            }
            EXPECT_LT(kept.size(), 4u);
        }
        EXPECT_EQ(kept, "");
        EXPECT_EQ(shown, text) << "piece " << piece;
    }
}

}  // namespace
