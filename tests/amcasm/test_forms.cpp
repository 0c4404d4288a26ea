// Macros, code includes, local labels, tables and switch: the words they
// make, the errors they give, the check of calls against returns, and what
// table reads and switches cost when the engine runs them.
#include "asm_test_util.h"

#include "engine/actor.h"
#include "engine/amc.h"
#include "engine/amc_vm.h"
#include "engine/diag.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>

namespace {

std::vector<int> words(const AsmResult& r, size_t n = 0)
{
    std::vector<int> w;
    if (n < r.programs.size())
        for (uint16_t v : r.programs[n].words)
            w.push_back((int16_t)v);
    return w;
}

std::vector<int> clean_words(const std::string& text, std::map<std::string, std::string> files = {},
                             size_t n = 0)
{
    AsmResult r = assemble_text(text, files);
    EXPECT_EQ(all_messages(r), "") << text;
    return words(r, n);
}

std::string first_error(const std::string& text, std::map<std::string, std::string> files = {})
{
    AsmResult r = assemble_text(text, files);
    EXPECT_FALSE(r.ok) << text;
    return r.messages.empty() ? "" : asm_format(r.messages[0]);
}

}  // namespace

TEST(Macros, ExpandWithValuesAndPrivateLabels)
{
    // The same code as written out by hand, a label of its own per use.
    EXPECT_EQ(clean_words("macro bump r, n\n  load r\n  add n\n  store r\nendmacro\n"
                          "macro spin\nagain: yield\n  jump again\nendmacro\n"
                          "program 0 p\n  bump x, 2 * 3\n  bump next.y, -(1 + 2)\n"
                          "  jump_if_zero s2\n  spin\ns2: spin\n"),
              clean_words("program 0 p\n  load x\n  add 6\n  store x\n"
                          "  load next.y\n  add -3\n  store next.y\n"
                          "  jump_if_zero s2\na: yield\n  jump a\ns2: yield\n  jump s2\n"));
    EXPECT_EQ(
        first_error("macro m a\n  frob a\nendmacro\nprogram 0 p\n  m 1\n"),
        "main.amcs:2:3: error: unknown instruction 'frob' (in macro 'm' used at main.amcs:5)");
    EXPECT_EQ(first_error("macro m a\n  load a\nendmacro\nprogram 0 p\n  m nope\n"),
              "main.amcs:5:5: error: undefined name 'nope'");
    EXPECT_EQ(first_error("macro m a, b\n  load a\nendmacro\nprogram 0 p\n  m 1\n"),
              "main.amcs:5:3: error: macro 'm' takes 2 values, not 1");
    EXPECT_EQ(first_error("macro m\n  m\nendmacro\nprogram 0 p\n  m\n"),
              "main.amcs:2:3: error: macro 'm' is used inside itself, or macros nest more than "
              "32 deep");
    EXPECT_EQ(first_error("macro case\nendmacro\n"),
              "main.amcs:1:7: error: 'case' cannot name a macro");
    EXPECT_EQ(first_error("program 0 p\n  end\nmacro m\n"),
              "main.amcs:3:1: error: 'macro' is never closed by 'endmacro'");
}

TEST(LocalLabels, BelongToTheLabelBeforeThem)
{
    EXPECT_EQ(clean_words("program 0 p\n.top: yield\n  jump_if_zero .top\n"
                          "a:\n.x: yield\n  jump_if_zero .x\nb:\n.x: yield\n  jump .x\n"),
              (std::vector<int>{18, 8, 0, 18, 8, 3, 18, 5, 6}));
    EXPECT_EQ(first_error("program 0 p\na:\n.x: yield\n  jump .x\nb: jump .x\n"),
              "main.amcs:5:9: error: undefined name '.x'");
    EXPECT_EQ(first_error("program 0 p\na:\n.x: yield\n.x: end\n"),
              "main.amcs:4:1: error: '.x' is already defined at main.amcs:3");
}

TEST(Includes, CodeGoesIntoEachProgramThatIncludesIt)
{
    std::map<std::string, std::string> files = {
        {"lib/walk.inc",
         "const STEP = 3\nreg speed = 9\nwalk: load speed\n  add STEP\n  return\n"}};
    AsmResult r = assemble_text(
        "program 0 a\n  call walk\n  end\n  include \"walk.inc\"\n"
        "program 1 b\n  set_reg speed, 1\n  end\n  include \"walk.inc\"\n",
        files);
    ASSERT_TRUE(r.ok) << all_messages(r);
    EXPECT_EQ(words(r, 0), (std::vector<int>{14, 27, 5, 5, 6, 12, 3, 9, 101, 1, 3, 102, 15, 27}));
    EXPECT_EQ(words(r, 1), (std::vector<int>{14, 9, 1, 12, 3, 9, 101, 1, 3, 102, 15, 27}));
    EXPECT_EQ(first_error("include \"walk.inc\"\n", files),
              "lib/walk.inc:3:1: error: a file included outside a program holds only "
              "declarations; include code inside a program");
    EXPECT_EQ(
        first_error("program 0 a\n  include \"me.inc\"\n", {{"me.inc", "include \"me.inc\"\n"}}),
        "me.inc:1:1: error: \"me.inc\" includes itself");
}

TEST(Tables, ConstantRowsAreConstantsAndRowsAreLaidOut)
{
    const char* kinds =
        "table kinds: hp, step\n"
        "    [2]  40, -2\n"
        "         30, -3\n"
        "boss:\n"
        "    [6]  90, -1\n"
        "after:\n"
        "endtable\n"
        "table one\n  7, 8, 9\nendtable\n";
    EXPECT_EQ(clean_words(std::string(kinds) +
                          "program 0 p\n  load kinds.hp[3] + kinds.step[boss]\n"
                          "  set_reg r1, one[2] * after\n  load kinds.hp[5]\n  end\n"),
              (std::vector<int>{1, 29, 101, 14, 1, 63, 1, 0, 101, 12}));
    const char* const cases[][2] = {
        {"table t: a, b\n 1\nendtable\n", "2:2: error: a row of table 't' needs 2 values, not 1"},
        {"table t\n [1] 5\n [1] 6\nendtable\n",
         "3:2: error: row 1 of table 't' is already given at main.amcs:2"},
        {"table t\n 5\nendtable\nprogram 0 p\n load t[1]\n",
         "5:9: error: row 1 is outside table 't' (rows 0..0)"},
        {"table t: a, b\n 1, 2\nendtable\nprogram 0 p\n load t[r1]\n",
         "5:7: error: table 't' has 2 columns: name one, as t.a[row]"},
        {"table t\n 1\nendtable\nprogram 0 p\n add t[r1]\n",
         "5:6: error: a table read by a register can only be loaded: 'load' it first, then "
         "'add' what you need"},
        {"table t\n 1\nendtable\nprogram 0 p\n load t[r1] + 1\n",
         "5:13: error: a table read by a register cannot be part of an expression: 'load' it "
         "first"},
        {"table t\n 70000\nendtable\n", "2:2: error: value 70000 does not fit in a 16-bit word"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(first_error(c[0]), std::string("main.amcs:") + c[1]) << c[0];
}

TEST(Tables, ReadByARegisterJumpsIntoCellsAfterTheCode)
{
    AsmResult r = assemble_text(
        "table t\n  [1] 11, 22\nendtable\n"
        "program 0 p\n  scratch r9\n  load t[r1]\n  end\n",
        {}, {"main.amcs"}, true);
    ASSERT_TRUE(r.ok) << all_messages(r);
    EXPECT_EQ(words(r), (std::vector<int>{3,  1,  101, 1,  8,   104, 1,  10,  102, 3, 9,  112,
                                          1,  17, 101, 15, 9,   12,  3,  9,   112, 1, 11, 101,
                                          15, 9,  3,   9,  112, 1,   22, 101, 15,  9}));
    EXPECT_NE(r.listing.find("18  3 9 112 1 11 101 15 9               ; t[1]"), std::string::npos)
        << r.listing;
}

TEST(Switch, FewValuesTestLikeIfAndManyJumpThroughATable)
{
    EXPECT_EQ(clean_words("program 0 p\n  switch r1\n  case 1, 3\n    yield\n"
                          "  case 5 .. 6\n    end\n  default\n    load 9\n  endswitch\n  end\n"),
              clean_words("program 0 p\n  if r1 == 1 || r1 == 3\n    yield\n"
                          "  elif r1 >= 5 && r1 <= 6\n    end\n  else\n    load 9\n  endif\n"
                          "  end\n"));
    // Values 3..7: a table of 8 from 0; 8 and above (and below 0) go to default.
    EXPECT_EQ(clean_words("program 0 p\n  switch x\n  case 3, 4\n    yield\n  case 5 .. 7\n"
                          "    end\n  endswitch\n  end\n"),
              (std::vector<int>{3,  29,  101, 1,  -8,  106, 9,  42, 3,  29, 102, 1,  2,  104, 1,
                                22, 102, 3,   27, 112, 15,  27, 5,  42, 5,  42,  5,  42, 5,   38,
                                5,  38,  5,   41, 5,   41,  5,  41, 18, 5,  42,  12, 12}));
    const char* const cases[][2] = {
        {"program 0 p\n switch r1\n case 1, 2\n case 2\n endswitch\n",
         "4:7: error: case value 2 is already handled at main.amcs:3"},
        {"program 0 p\n switch r1\n yield\n endswitch\n",
         "3:2: error: only 'case' or 'default' can follow 'switch'"},
        {"program 0 p\n switch r1\n default\n case 1\n endswitch\n",
         "4:2: error: 'case' after 'default'"},
        {"program 0 p\n case 1\n", "2:2: error: 'case' without 'switch'"},
        {"program 0 p\n switch r1\n case 1\n",
         "2:2: error: 'switch' is never closed by 'endswitch'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(first_error(c[0]), std::string("main.amcs:") + c[1]) << c[0];
}

TEST(Calls, ARoutineReturnsThroughTheRegisterItsCallSet)
{
    const char* const cases[][2] = {
        {"program 0 p\n  call f, r8\n  end\nf: if r1\n    return r8\n  endif\n  return\n",
         "7:3: error: 'return' does not match 'call f, r8' at main.amcs:2: a routine must return "
         "through the register its call used"},
        {"program 0 p\n  call f\n  end\nf: call g\n  return\ng: return\n",
         "4:4: error: 'call g' overwrites 'ret', which holds the return offset of 'call f' at "
         "main.amcs:2: use another register for one of them"},
        {"table t\n 1\nendtable\nprogram 0 p\n  call f\n  end\nf: load t[r1]\n  return\n",
         "7:4: error: this table read jumps through 'ret', which holds the return offset of "
         "'call f' at main.amcs:5: give it another register with 'scratch'"},
        {"program 0 p\n  call f\n  end\nf: switch acc\n  case 1\n  endswitch\n  return\n",
         "4:4: error: this switch jumps through 'ret', which holds the return offset of 'call f' "
         "at main.amcs:2: give it another register with 'scratch'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(first_error(c[0]), std::string("main.amcs:") + c[1]) << c[0];
    // Nested calls through other registers, a scratch register of its own,
    // and a jump through a register the writer chose are all fine.
    EXPECT_EQ(all_messages(
                  assemble_text("table t\n 1\nendtable\nscratch r5\nprogram 0 p\n  call f\n  end\n"
                                "f: call g, r9\n  load t[r1]\n  jump_reg r4\ng: return r9\n")),
              "");
}

// The guide's costs, counted by the engine: the smallest turn limit that
// lets the turn reach the instruction after the form.
namespace {

void quiet(const char*, size_t, void*) {}

int instructions_to_set_r2(const std::string& text, const char* name)
{
    AsmResult r = assemble_text(text);
    EXPECT_TRUE(r.ok) << all_messages(r);
    AmcWords programs;
    for (auto& p : r.programs)
        programs.push_back(p.words);
    std::string path = testing::TempDir() + "amcasm_cost_" + std::to_string(getpid()) + name;
    std::vector<uint8_t> image = amc_image_compiled(programs);
    EXPECT_EQ(asm_write_file(path, image.data(), image.size()), "");
    diag_set_sink(quiet, nullptr);
    int found = -1;
    for (int limit = 1; limit < 100 && found < 0; limit++) {
        amc_unload_all();
        amc_vm_reset();
        EXPECT_EQ(amc_load(path.c_str()), 0);
        actor_table_reset();
        int s = actor_spawn(0);
        amc_set_turn_limit(limit);
        amc_run_tick();
        if (actor_table.slots[s].regs[2] != 0)
            found = limit;
    }
    amc_set_turn_limit(0);
    amc_unload_all();
    diag_set_sink(nullptr, nullptr);
    unlink(path.c_str());
    return found;
}

}  // namespace

TEST(Costs, TableReadsAndSwitchesTakeWhatTheGuideSays)
{
    // set_reg, the read, store r2: 1 + 9 + 1.
    EXPECT_EQ(instructions_to_set_r2("table t\n [1] 5, 6, 7\nendtable\nprogram 0 p\n"
                                     "  set_reg r1, 3\n  load t[r1]\n  store r2\n  yield\n",
                                     "read"),
              11);
    // set_reg, the jump table with the jump in it (9 from 0, 10 from lo), set_reg r2.
    for (int lo : {0, 20})
        for (int v = lo; v < lo + 8; v++) {
            auto n = [](int k) { return std::to_string(k); };
            std::string text = "program 0 p\n  set_reg r1, " + n(v) + "\n  switch r1\n  case " +
                               n(lo) + ", " + n(lo + 2) + ", " + n(lo + 4) +
                               "\n    set_reg r2, 1\n  case " + n(lo + 5) + " .. " + n(lo + 7) +
                               "\n    set_reg r2, 2\n  default\n    set_reg r2, 3\n"
                               "  endswitch\n  yield\n";
            EXPECT_EQ(instructions_to_set_r2(text, "switch"), 1 + (lo ? 10 : 9) + 1) << v;
        }
}
