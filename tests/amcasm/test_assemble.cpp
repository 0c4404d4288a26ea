// The assembler's output for each form, and its errors and warnings.
#include "asm_test_util.h"

#include <gtest/gtest.h>

// The words of program `n`, read as signed values like the interpreter does.
static std::vector<int> words(const AsmResult& r, size_t n = 0)
{
    std::vector<int> w;
    if (n < r.programs.size())
        for (uint16_t v : r.programs[n].words)
            w.push_back((int16_t)v);
    return w;
}

static std::vector<int> assemble_words(const std::string& text)
{
    AsmResult r = assemble_text(text);
    EXPECT_TRUE(r.ok) << all_messages(r);
    EXPECT_EQ(all_messages(r), "") << text;
    return words(r);
}

TEST(Structured, IfElifElseJoinAtTheEnd)
{
    EXPECT_EQ(assemble_words("program 0 p\n"
                             "    if x > 5\n"
                             "        load 1\n"
                             "    elif x == 2\n"
                             "        load 2\n"
                             "    else\n"
                             "        load 3\n"
                             "    endif\n"
                             "    end\n"),
              (std::vector<int>{3,   29, 101, 1,   5, 108, 8, 13, 1,   1, 101, 5, 29, 3,   29,
                                101, 1,  2,   109, 8, 26,  1, 2,  101, 5, 29,  1, 3,  101, 12}));
    // A branch that cannot fall through needs no jump to the end.
    EXPECT_EQ(assemble_words("program 0 p\n  if r1\n    end\n  else\n    yield\n  endif\n  end\n"),
              (std::vector<int>{3, 1, 101, 8, 6, 12, 18, 12}));
}

TEST(Structured, WhileWithContinueAndBreak)
{
    EXPECT_EQ(assemble_words("program 0 p\n"
                             "    while r3 < 10\n"
                             "        continue if r4\n"
                             "        break if r5 >= 2\n"
                             "        yield\n"
                             "    endwhile\n"
                             "    end\n"),
              (std::vector<int>{3, 3, 101, 1, 10, 111, 8, 24, 3,  4, 101, 9, 0,
                                3, 5, 101, 1, 2,  111, 8, 24, 18, 5, 0,   12}));
}

TEST(Structured, LoopCallAndReturn)
{
    EXPECT_EQ(assemble_words("program 0 p\n"
                             "    loop\n"
                             "        call tick\n"
                             "        yield\n"
                             "    endloop\n"
                             "tick:\n"
                             "    add 1\n"
                             "    return\n"),
              (std::vector<int>{14, 27, 5, 5, 8, 18, 5, 0, 1, 1, 102, 15, 27}));
    // Another register for a nested call; a loop ending in a call still loops.
    EXPECT_EQ(assemble_words("program 0 p\n  loop\n    call f, r9\n  endloop\nf: return r9\n"),
              (std::vector<int>{14, 9, 5, 5, 7, 5, 0, 15, 9}));
}

TEST(Structured, ConditionsShortCircuit)
{
    // acc tests the accumulator as it is; && binds tighter than ||; <= is "not gt".
    EXPECT_EQ(assemble_words("program 0 p\n"
                             "    if acc || r1 & 4 && r2 <= 0\n"
                             "        yield\n"
                             "    endif\n"
                             "    end\n"),
              (std::vector<int>{9, 18, 3,   1, 101, 1,   4, 106, 8,  19,
                                3, 2,  101, 1, 0,   108, 9, 19,  18, 12}));
    EXPECT_EQ(assemble_words("program 0 p\n  if random 3 != y\n    end\n  endif\n  end\n"),
              (std::vector<int>{4, 3, 101, 3, 30, 110, 8, 9, 12, 12}));
    // not inverts one term: the test jumps past the body when the bit is set.
    EXPECT_EQ(assemble_words("program 0 p\n  while not controls & 0x20 && not x >= 9\n"
                             "    yield\n  endwhile\n  end\n"),
              (std::vector<int>{2,   31, 101, 1,   32, 106, 9,  19, 3, 29,
                                101, 1,  9,   111, 8,  19,  18, 5,  0, 12}));
}

TEST(Operands, IndirectChainsThroughRegistersAndGlobals)
{
    EXPECT_EQ(assemble_words("global target = 7\n"
                             "program 0 p\n"
                             "    reg other = 12\n"
                             "    load next.next.x\n"
                             "    store target.frame\n"
                             "    add g3\n"
                             "    sub r31.r0\n"
                             "    gt other.self\n"
                             "    end\n"),
              (std::vector<int>{3, 26,  100, 26, 100, 29, 101, 2, 7,  100, 31, 112, 2,
                                3, 102, 3,   31, 100, 0,  103, 3, 12, 100, 28, 108, 12}));
}

TEST(Operands, ExpressionsOverConstants)
{
    EXPECT_EQ(assemble_words("const A = B * 2\n"
                             "const B = 3\n"
                             "program 0 p\n"
                             "    load -(A + 1) & 0xFF\n"
                             "    load 'A' | 0b100\n"
                             "    load 1 << 4 >> 2\n"
                             "    load 2 + 3 * 4 - 10 / 3\n"
                             "    load '\\n' + '\\x41' ; comment\n"
                             "    load 0xFFFF # another\n"
                             "    load -32768\n"
                             "    end\n"),
              (std::vector<int>{1,   249, 101, 1,   69, 101, 1,   4, 101,    1,   11,
                                101, 1,   75,  101, 1,  -1,  101, 1, -32768, 101, 12}));
}

TEST(Operands, MacrosLoadPushAndSetHandlers)
{
    EXPECT_EQ(assemble_words("program 0 p\n"
                             "    spawn p, 5, x\n"
                             "    move -2, 0, 4\n"
                             "    push 9\n"
                             "    set_handler h\n"
                             "    set_handler none, h\n"
                             "h:  set_reg r2, h\n"
                             "    word 0, -1\n"),
              (std::vector<int>{1,   0,   101, 16, 1,  5,   101, 16, 3,  29,  101, 17, 1,
                                -2,  101, 16,  1,  0,  101, 16,  1,  4,  101, 19,  1,  9,
                                101, 16,  13,  31, 34, 13,  34,  -1, 14, 2,   34,  0,  -1}));
}

TEST(Programs, NumberedAcrossFilesWithSharedIncludes)
{
    std::map<std::string, std::string> files = {
        {"lib/defs.amcs", "const SPR_HERO_STAND = 27\nconst SFX_PUNCH = 1\n"},
        {"other.amcs",
         "include \"lib/defs.amcs\"\nprogram 0 boss\n  spawn hero, SFX_PUNCH\n  end\n"},
    };
    AsmResult r = assemble_text(
        "include \"defs.amcs\"\nunused 2 .. 3\nprogram 1 hero\n"
        "  load SPR_HERO_STAND\n  store frame\n  end\n",
        files, {"main.amcs", "other.amcs"});
    ASSERT_TRUE(r.ok) << all_messages(r);
    ASSERT_EQ(r.programs.size(), 4u);
    EXPECT_EQ(r.programs[0].name, "boss");
    EXPECT_EQ(words(r, 0), (std::vector<int>{1, 1, 101, 16, 1, 1, 101, 17, 12}));
    EXPECT_EQ(words(r, 1), (std::vector<int>{1, 27, 101, 3, 31, 112, 12}));
    EXPECT_EQ(words(r, 3), (std::vector<int>{12}));
}

TEST(Programs, NumberingErrors)
{
    const char* const cases[][2] = {
        {"program 0 a\n end\nprogram 2 c\n end\n",
         "main.amcs:3:1: error: program number 1 is missing: numbers must run 0, 1, 2, ... "
         "without gaps\n"},
        {"program 0 a\n end\nprogram 0 b\n end\n",
         "main.amcs:3:1: error: program number 0 is already used by 'a' at main.amcs:1\n"},
        {"program 64 a\n end\n",
         "main.amcs:1:1: error: program number 64 is out of range (0..63)\n"},
        {"program 1 a\n end\nunused 0..1\n",
         "main.amcs:3:1: error: program number 1 is already used by 'a' at main.amcs:1\n"},
        {"program 0 a\nprogram 1 b\n end\n",
         "main.amcs:1:1: error: program 'a' has no instructions\n"},
    };
    for (const auto& c : cases) {
        AsmResult r = assemble_text(c[0]);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(all_messages(r), c[1]) << c[0];
    }
}

TEST(Messages, ErrorsPointAtTheirLineAndColumn)
{
    const char* const cases[][2] = {
        {"program 0 p\n    load 1 +\n", "2:13: error: expected a value, found end of line"},
        {"program 0 p\n    load x.y.zz\n", "2:14: error: undefined name 'zz'"},
        {"program 0 p\n    load x + 1\n",
         "2:10: error: 'x' is a register; a value here can only "
         "use constants, labels and program names"},
        {"program 0 p\n    frob 1\n", "2:5: error: unknown instruction 'frob'"},
        {"program 0 p\n    load 1 / (2 - 2)\n", "2:12: error: division by zero"},
        {"program 0 p\n    load 'ab'\n", "2:10: error: unterminated character literal"},
        {"program 0 p\n    load 70000\n", "2:10: error: value 70000 does not fit in a 16-bit word"},
        {"program 0 p\n    endif\n", "2:5: error: 'endif' without 'if'"},
        {"program 0 p\n    break\n", "2:5: error: 'break' outside a loop"},
        {"program 0 p\n    if x > 1\n    end\n", "2:5: error: 'if' is never closed by 'endif'"},
        {"reg x = 3\n", "1:5: error: 'x' is a built-in name"},
        {"load 1\n", "1:1: error: instructions must follow a 'program' line"},
        {"program 0 p\n  reg speed = 40\n  load speed\n",
         "2:15: error: register number must be 0..31, not 40"},
        {"const A = B\nconst B = A\n", "1:7: error: 'A' is defined in terms of itself"},
        {"include \"nope.amcs\"\n", "1:1: error: cannot find include file \"nope.amcs\""},
        {"program 0 p\na:\na: end\n", "3:1: error: 'a' is already defined at main.amcs:2"},
    };
    for (const auto& c : cases) {
        AsmResult r = assemble_text(c[0]);
        EXPECT_FALSE(r.ok);
        ASSERT_FALSE(r.messages.empty()) << c[0];
        EXPECT_EQ(asm_format(r.messages[0]), std::string("main.amcs:") + c[1]) << c[0];
    }
}

TEST(Messages, WarningsForDeadCodeAndRunningOffTheEnd)
{
    const char* const cases[][2] = {
        {"program 0 p\n    end\n    yield\n    end\n",
         "main.amcs:3:5: warning: unreachable code\n"},
        {"program 0 p\n    load 1\n",
         "main.amcs:2:5: warning: execution can run off the end of the program\n"},
        {"program 0 p\n    yield\n",
         "main.amcs:2:5: warning: the turn after this 'yield' would "
         "start past the end of the program\n"},
        {"program 0 p\n    jump 9\n",
         "main.amcs:2:5: warning: jump target 9 is outside the "
         "program (0..1)\n"},
        {"program 0 p\n    jump 1\n",
         "main.amcs:2:5: warning: jump target 1 is inside an "
         "instruction\n"},
        // Clean: every path ends, the return address counts as reachable.
        {"program 0 p\n  loop\n    if x > 3\n      end\n    endif\n    call f\n  endloop\n"
         "f: move 1, 0, 2\n  return\n",
         ""},
    };
    for (const auto& c : cases) {
        AsmResult r = assemble_text(c[0]);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(all_messages(r), c[1]) << c[0];
    }
}

TEST(Listing, ShowsOffsetsAndWordsBesideTheSource)
{
    AsmResult r = assemble_text("program 0 p\n    load 5\n    spawn p, 1, 2, 3\n    end\n", {},
                                {"main.amcs"}, true);
    ASSERT_TRUE(r.ok);
    EXPECT_NE(r.listing.find("    2     0  1 5 101"), std::string::npos) << r.listing;
    // Long expansions continue on further rows with their own offsets.
    EXPECT_NE(r.listing.find("    3     3  1 0 101 16 1 1"), std::string::npos) << r.listing;
    EXPECT_NE(r.listing.find("    3     9  101 16 1 2 101 16"), std::string::npos) << r.listing;
    EXPECT_NE(r.listing.find("    4    19  12"), std::string::npos) << r.listing;
}
