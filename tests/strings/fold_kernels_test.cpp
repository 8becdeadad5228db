// Every block folder this processor runs, against the rule taken one step at a time.
#include <random>

#include <gtest/gtest.h>

#include "strings/utf8_folding.h"

using namespace velm::strings;
const std::string kGuard = "\x7F\x7F\x7F";

// Folds text with folder into a buffer of exactly the folded size, then in place, each followed by
// guard bytes; both buffers' bytes.
std::string fold_with(BlockFolder folder, const std::string& text, std::size_t folded) {
    std::string out = std::string(folded + 1, '#') + kGuard, in_place = text + '\0' + kGuard;
    fold_utf8(reinterpret_cast<const Byte*>(text.c_str()), reinterpret_cast<Byte*>(&out[0]), folder);
    fold_utf8(reinterpret_cast<Byte*>(&in_place[0]), reinterpret_cast<Byte*>(&in_place[0]), folder);
    return out + "|" + in_place;
}

TEST(BlockFolders, FoldAsTheRuleStepByStepIntoExactOutputsAndInPlace) {
    std::vector<BlockFolder> folders = {nullptr};  // the portable path
    for (BlockFolder folder : {kernels::ssse3_block_folder(), kernels::avx512_block_folder()})
        if (folder) folders.push_back(folder);
    EXPECT_EQ(chosen_block_folder(), folders.back());  // the widest one
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::string text, folded(3001, '\0');
        for (unsigned kind; text.size() < 3000;)  // ASCII runs, lead bytes, continuation bytes
            text += (kind = random() % 8) < 4 ? std::string(random() % 40, 'a')
                                              : std::string(1, (kind < 7 ? 0xC0 : 0x80) | random() % 64);
        text.resize(text.size() - random() % 200);
        const Byte *read = reinterpret_cast<const Byte*>(text.c_str()), *end = read + text.size();
        Byte *start = reinterpret_cast<Byte*>(&folded[0]), *write = start;
        while (read < end) fold_step(read, write);
        folded.resize(write - start);
        std::string in_place = (text + '\0' + kGuard).replace(0, folded.size() + 1, folded + '\0');
        for (BlockFolder folder : folders)
            ASSERT_EQ(fold_with(folder, text, folded.size()), folded + '\0' + kGuard + "|" + in_place) << round;
    }
}
