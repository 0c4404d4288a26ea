#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "shell/options.h"

namespace {

struct Parse {
    CmdlineResult result;
    LaunchOptions opt;
    uint32_t demo_size = 65000;
    std::string message;
};

Parse parse(std::initializer_list<const char*> args)
{
    std::vector<char*> argv{const_cast<char*>("nwd")};
    for (const char* a : args)
        argv.push_back(const_cast<char*>(a));
    Parse p;
    char msg[2048];
    p.result = cmdline_parse(int(argv.size()), argv.data(), p.opt, p.demo_size, msg, sizeof msg);
    p.message = msg;
    return p;
}

const char USAGE_HEAD[] = "Nightward v1.12 (Linux build)\nSyntaxe : NWD [options]\n\n";

}  // namespace

TEST(Cmdline, ValidCombinations)
{
    Parse p = parse({});
    EXPECT_EQ(p.result, CMDLINE_GO);
    EXPECT_EQ(p.opt.card, -1);
    p = parse({"-LEVEL", "3", "-skill", "8", "-vampire", "-arcade", "-fps", "36", "-nojoy"});
    ASSERT_EQ(p.result, CMDLINE_GO) << p.message;
    EXPECT_EQ(p.opt.start_level, 3);
    EXPECT_EQ(p.opt.skill, 8);
    EXPECT_EQ(p.opt.mode, 3) << "the latest mode in table order wins";
    EXPECT_EQ(p.opt.fps, 36);
    EXPECT_EQ(p.opt.no_joystick, 0xFF);
    p = parse({"-play", "d.dem", "-start", "1000", "-card", "gdi", "-maxdemo", "101"});
    ASSERT_EQ(p.result, CMDLINE_GO) << p.message;
    EXPECT_EQ(p.opt.play, 0xFF);
    EXPECT_STREQ(p.opt.demo_file, "d.dem");
    EXPECT_EQ(p.opt.start_frame, 1000u);
    EXPECT_EQ(p.opt.card, 2);
    EXPECT_EQ(p.demo_size, 101u);
    EXPECT_EQ(parse({"-level", "0"}).result, CMDLINE_GO);
    EXPECT_EQ(parse({"-play", "d", "-start", "2147483647"}).opt.start_frame, 2147483647u);
}

TEST(Cmdline, UnaccountedArgumentsShowUsageOrDrivers)
{
    // Asked for: status 0; shown because the line was wrong: bad usage.
    for (auto p :
         {parse({"/?"}), parse({"help?"}), parse({"--help"}), parse({"-level", "3", "-?"})}) {
        EXPECT_EQ(p.result, CMDLINE_STOP);
        EXPECT_EQ(p.message.rfind(USAGE_HEAD, 0), 0u) << p.message;
    }
    for (auto p : {parse({"-record", "a", "-play", "b"}), parse({"-start", "5"}),
                   parse({"-nosound", "-nosound"}), parse({"-level"}), parse({"-mod"}),
                   parse({"bogus"}), parse({"-help"})}) {
        EXPECT_EQ(p.result, CMDLINE_BAD);
        EXPECT_EQ(p.message.rfind(USAGE_HEAD, 0), 0u) << p.message;
    }
    std::string usage = parse({"-?"}).message;
    EXPECT_EQ(usage.find("vampire"), std::string::npos);
    EXPECT_NE(usage.find("-level  <n>     starting level (1 to 5)\n"), std::string::npos);
    for (auto p : {parse({"-card", "XYZ"}), parse({"-card", "?"}), parse({"-card"})})
        EXPECT_EQ(p.message.rfind("Graphics drivers for -card :\n\n     WIN = Window - Auto\n", 0),
                  0u);
    EXPECT_EQ(parse({"-card", "?"}).result, CMDLINE_STOP);
    EXPECT_EQ(parse({"-card", "XYZ"}).result, CMDLINE_BAD);
    EXPECT_EQ(parse({"-card"}).result, CMDLINE_BAD);
}

TEST(Cmdline, BadValuesStopWithTheirMessage)
{
    struct Case {
        std::initializer_list<const char*> args;
        const char* message;
    };
    const char* level = "The -level <n> parameter needs a value beetwen 1 and 5\n";
    const char* skill = "The -skill <n> parameter needs a value beetwen 0 and 100\n";
    const char* fps = "The -fps <n> argument must be between 1 and 65535\n";
    const char* maxdemo = "The -maxdemo parameter must be > 100\n";
    const char* start = "The -start <n> parameter must be between 0 and 2147483647\n";
    for (const Case& c : {Case{{"-level", "12"}, level}, Case{{"-level", "300"}, level},
                          Case{{"-skill", "0"}, skill}, Case{{"-skill", "101"}, skill},
                          Case{{"-level", "2", "-skill"}, skill}, Case{{"-fps", "65536"}, fps},
                          Case{{"-fps", "fast"}, fps}, Case{{"-maxdemo", "100"}, maxdemo},
                          Case{{"-maxdemo", "-5"}, maxdemo},
                          // Judged whole, not after narrowing to the field.
                          Case{{"-level", "257"}, level}, Case{{"-level", "-1"}, level},
                          Case{{"-skill", "257"}, skill}, Case{{"-fps", "65537"}, fps},
                          // Beyond 31 bits, whatever the width of the field.
                          Case{{"-play", "x.dem", "-start", "2147483648"}, start},
                          Case{{"-play", "x.dem", "-start", "-1"}, start},
                          Case{{"-play", "x.dem", "-start", "99999999999999999999"}, start}}) {
        Parse p = parse(c.args);
        EXPECT_EQ(p.result, CMDLINE_VALUE) << *c.args.begin();
        EXPECT_EQ(p.message, c.message) << *c.args.begin();
    }
}
