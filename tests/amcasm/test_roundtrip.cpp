// Disassembly must reassemble to the very same words, whatever the words are.
#include "asm_test_util.h"
#include "engine/amc_ops.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// Words shaped like real instructions most of the time, with faults mixed
// in: unknown opcodes, ALU words outside the table, register numbers above
// 31, wild targets, and a last instruction cut short.
std::vector<uint16_t> random_program(std::mt19937& rng)
{
    auto pick = [&](int n) { return (int)(rng() % (unsigned)n); };
    auto reg = [&]() { return (uint16_t)(pick(20) ? pick(32) : pick(70000)); };
    auto alu = [&]() { return (uint16_t)(pick(15) ? 101 + pick(12) : pick(70000)); };
    std::vector<uint16_t> w;
    int pieces = 1 + pick(30);
    for (int i = 0; i < pieces; i++) {
        int op = pick(24);
        switch (op) {
        case 0: w.push_back((uint16_t)rng()); break;  // any word
        case 20: w.push_back(0); break;
        case 21: w.push_back((uint16_t)(20 + pick(200))); break;
        case 22: w.push_back(0xFFFF); break;
        case 1:
        case 4: w.insert(w.end(), {(uint16_t)op, (uint16_t)rng(), alu()}); break;
        case 2:
        case 3: {
            w.insert(w.end(), {(uint16_t)op, reg()});
            for (int k = pick(4); k > 0; k--)
                w.insert(w.end(), {(uint16_t)AMC_INDIRECT, reg()});
            w.push_back(alu());
            break;
        }
        case 13:
            w.insert(w.end(), {13, (uint16_t)(pick(40) - 5),
                               (uint16_t)(pick(3) ? pick(40) : AMC_HANDLER_NONE)});
            break;
        case 14: w.insert(w.end(), {14, reg(), (uint16_t)rng()}); break;
        case 15: w.insert(w.end(), {15, reg()}); break;
        default:
            if (op >= AMC_OPCODE_MAX + 1) {
                w.push_back((uint16_t)(pick(2) ? 100 : 0x8000 + pick(100)));
            } else {
                w.push_back((uint16_t)op);
                if (amc_op_info[op].words == 2)
                    w.push_back((uint16_t)(pick(5) ? pick(60) : rng()));
            }
        }
    }
    if (pick(4) == 0 && w.size() > 1)
        w.resize(w.size() - 1 - (size_t)pick((int)w.size() - 1));  // cut an instruction short
    return w;
}

}  // namespace

TEST(RoundTrip, RandomWordStreamsReassembleToTheSameWords)
{
    std::mt19937 rng(20261206);
    for (int round = 0; round < 400; round++) {
        AmcWords programs(1 + rng() % 6);
        for (auto& p : programs)
            p = random_program(rng);
        std::string text = asm_disassemble(programs);
        AsmResult r = assemble_text(text);
        ASSERT_TRUE(r.ok) << all_messages(r) << text;
        ASSERT_EQ(r.programs.size(), programs.size());
        for (size_t i = 0; i < programs.size(); i++)
            ASSERT_EQ(r.programs[i].words, programs[i]) << "program " << i << "\n" << text;
    }
}

TEST(RoundTrip, ReadableFormsForValidCode)
{
    AmcWords p = {{3, 26, 100, 29, 101, 5, 0, 13, 9, 0xFFFF, 4, 255, 102, 8, 5, 2, 25, 112}};
    std::string text = asm_disassemble(p);
    EXPECT_NE(text.find("L0:\n    load next.x\nL5:\n    jump L0\n"), std::string::npos) << text;
    EXPECT_NE(text.find("set_handler none, 9"), std::string::npos) << text;
    EXPECT_NE(text.find("add random 0xFF"), std::string::npos) << text;
    EXPECT_NE(text.find("jump_if_zero L5"), std::string::npos) << text;
    EXPECT_NE(text.find("store exit_request"), std::string::npos) << text;
}

TEST(FileImage, CompiledImagesReadBackAndShortOnesAreRefused)
{
    AmcWords p = {{1, 2, 3}, {12}}, back;
    std::vector<uint8_t> img = amc_image_compiled(p);
    EXPECT_EQ(img,
              (std::vector<uint8_t>{'A', 'M', 'C', 3, 0, 1, 0, 2, 0, 3, 0, 1, 0, 12, 0, 0, 0}));
    size_t trailing = 9;
    EXPECT_EQ(amc_parse_compiled(img, back, &trailing), "");
    EXPECT_EQ(back, p);
    EXPECT_EQ(trailing, 0u);
    img.push_back(7);
    EXPECT_EQ(amc_parse_compiled(img, back, &trailing), "");
    EXPECT_EQ(trailing, 1u);
    std::vector<uint8_t> cut(img.begin(), img.begin() + 8);
    EXPECT_NE(amc_parse_compiled(cut, back, nullptr), "");
    EXPECT_NE(amc_parse_compiled({'A', 'M', 'C'}, back, nullptr), "");
    EXPECT_NE(amc_parse_compiled({'A', 'M', 'L', 0}, back, nullptr), "");
}

TEST(FileImage, ListFilesHoldBaseNames)
{
    EXPECT_EQ(amc_image_list({"HERO", "VAN"}),
              (std::vector<uint8_t>{'A', 'M', 'L', 'H', 'E', 'R', 'O', 0, 'V', 'A', 'N', 0, 0}));
    EXPECT_EQ(amc_list_name_problem("HERO"), "");
    for (const char* bad : {"", "a/B", "C:X", "x\\y", "HERO.AMC"})
        EXPECT_NE(amc_list_name_problem(bad), "") << bad;
}
