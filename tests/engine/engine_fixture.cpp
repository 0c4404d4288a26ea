#include "engine_fixture.h"

#include "engine/diag.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

std::string amc_list(const std::vector<std::string>& names)
{
    std::string s = "AML";
    for (const std::string& n : names) {
        s += n;
        s += '\0';
    }
    s += '\0';
    return s;
}

static void capture(const char* text, size_t len, void* user)
{
    ((std::string*)user)->append(text, len);
}

void EngineTest::SetUp()
{
    char tmpl[] = "/tmp/nwd-engine-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    amc_unload_all();
    amc_vm_reset();
    diag_set_sink(capture, &diags);
}

void EngineTest::TearDown()
{
    diag_set_sink(nullptr, nullptr);
    amc_unload_all();
    std::filesystem::remove_all(dir);
}

void EngineTest::write(const std::string& name, const std::string& bytes) const
{
    FILE* f = fopen(path(name).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

void EngineTest::load(const std::vector<Words>& programs)
{
    amc_unload_all();
    write("T.AMC", amc_compiled(programs));
    ASSERT_EQ(amc_load(path("T.AMC").c_str()), 0);
    actor_table_reset();
    amc_vm_reset();
}

void EngineTest::tick(int n)
{
    for (int i = 0; i < n; i++)
        amc_run_tick();
}

std::vector<int> EngineTest::list_order() const
{
    std::vector<int> order;
    for (int s = actor_next(0); s != 0 && order.size() < 63; s = actor_next(s))
        order.push_back(s);
    return order;
}
