// The table of numbers the engine and the scripts share, and what nwd-contract
// makes of it for each side.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>

#include "tests/amcasm/asm_test_util.h"
#include "tools/amcasm/asm_names.h"
#include "tools/contract/contract.h"

namespace {

std::vector<ContractRow> parse(const std::string& text, std::string* errors = nullptr)
{
    std::vector<ContractRow> rows;
    std::string e;
    bool ok = contract_parse(text, "t.txt", rows, e);
    EXPECT_EQ(ok, e.empty());
    if (errors)
        *errors = e;
    return rows;
}

}  // namespace

// The game's own table: the engine's registers and globals are exactly the
// names the assembler has built in, and the include it makes assembles
// beside them.
TEST(Contract, TheGamesTableAgreesWithTheAssembler)
{
    std::ifstream in(NWD_CONTRACT_TABLE);
    std::string text((std::istreambuf_iterator<char>(in)), {}), errors;
    std::vector<ContractRow> rows;
    ASSERT_TRUE(contract_parse(text, "contract.txt", rows, errors)) << errors;
    std::set<std::pair<std::string, int>> table, built_in;
    for (const ContractRow& r : rows)
        if (r.engine && (r.kind == CK_REG || r.kind == CK_GLOBAL))
            table.insert({(r.kind == CK_REG ? "reg " : "global ") + r.name, r.value});
    for (const AsmName& n : asm_reg_names)
        if (n.number != ASM_RET_REG)
            built_in.insert({std::string("reg ") + n.name, n.number});
    for (const AsmName& n : asm_global_names)
        built_in.insert({std::string("global ") + n.name, n.number});
    EXPECT_EQ(table, built_in);

    AsmResult r = assemble_text(
        "include \"contract.inc\"\n"
        "unused 0 .. PROGRAM_DIRECTOR - 1\n"
        "program PROGRAM_DIRECTOR director\n"
        "    reg level = ARG_DIRECTOR_LEVEL\n"
        "    if level == CREDITS && health < FULL_ENERGY\n"
        "        store music\n"
        "    endif\n"
        "    end\n",
        {{"lib/contract.inc", contract_include(rows, "contract.txt")}});
    std::string messages = all_messages(r);
    EXPECT_TRUE(r.ok) << messages;
}

TEST(Contract, EachRowGetsItsNameOnBothSides)
{
    auto rows = parse(
        "# a note\n"
        "program director 14 engine every level's director\n"
        "arg director.level 0 engine the level row\n"
        "slot bar 3 engine whose health the HUD shows\n"
        "reg sound 14 engine a sound request\n"
        "reg health 13 game a fighter's health\n"
        "global music 30 game what plays\n"
        "const EXIT 0x100 engine ends the level\n"
        "const AT_ONCE -1 engine handed over\n");
    ASSERT_EQ(rows.size(), 8u);
    std::string h = contract_header(rows, "t.txt"), inc = contract_include(rows, "t.txt");
    for (const char* want : {"constexpr int PROGRAM_DIRECTOR = 14;  // every level's director\n",
                             "constexpr int ARG_DIRECTOR_LEVEL = 0;", "constexpr int SLOT_BAR = 3;",
                             "constexpr int REG_SOUND = 14;", "constexpr int GLOBAL_MUSIC = 30;",
                             "constexpr int EXIT = 0x100;", "constexpr int AT_ONCE = -1;"})
        EXPECT_NE(h.find(want), std::string::npos) << want << "\n" << h;
    for (const char* want : {"const PROGRAM_DIRECTOR = 14 ", "const ARG_DIRECTOR_LEVEL = 0 ",
                             "\n; reg sound = 14 (built in)", "\nreg health = 13 ",
                             "\nglobal music = 30 ", "const EXIT = 0x100 "})
        EXPECT_NE(inc.find(want), std::string::npos) << want << "\n" << inc;
}

TEST(Contract, BadRowsAreToldByLine)
{
    std::string e;
    parse(
        "reg x 32 engine too far\n"                     // 1
        "register y 1 engine what kind\n"               // 2
        "const lower 1 game a const is upper case\n"    // 3
        "reg x 29 engine\n"                             // 4: no meaning
        "arg hero.hp 1 game of no program\n"            // 5
        "global g 1 both who\n"                         // 6
        "const OCT 010 game an octal-looking number\n"  // 7
        "reg health 13 game a\n"                        // 8
        "reg life 13 game the same register\n"          // 9
        "global health 1 game the same name\n"          // 10
        "const REG_HEALTH 5 game the same C++ name\n",  // 11
        &e);
    for (const char* want :
         {"t.txt:1: '32' is not a reg number (0 to 31)", "t.txt:2: 'register' is not a kind",
          "t.txt:3: 'lower' is not a name for a const", "t.txt:4: expected",
          "t.txt:5: 'hero' is not a program", "t.txt:6: 'both'", "t.txt:7: '010'",
          "t.txt:9: reg 13 is given already at line 8",
          "t.txt:10: 'health' is named already at line 8",
          "t.txt:11: 'REG_HEALTH' is named already at line 8"})
        EXPECT_NE(e.find(want), std::string::npos) << want << "\n" << e;

    // The tool: a bad table fails with those lines, bad usage with 2.
    std::string cmd = std::string(NWD_CONTRACT_PATH) + " --header " + NWD_CONTRACT_TABLE;
    EXPECT_EQ(WEXITSTATUS(std::system((cmd + " 2>/dev/null").c_str())), 2);
    EXPECT_EQ(WEXITSTATUS(std::system(
                  (std::string(NWD_CONTRACT_PATH) + " --header /nonexistent /tmp/x 2>/dev/null")
                      .c_str())),
              1);
}
