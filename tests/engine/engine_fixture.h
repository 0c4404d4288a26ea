// Helpers for engine tests: AMC files built from word lists, a scratch
// folder per test, and diagnostics captured as text.
#pragma once

#include "engine/actor.h"
#include "engine/amc.h"
#include "engine/amc_vm.h"
#include "tests/engine/amc_image.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using Words = std::vector<int>;

std::string amc_list(const std::vector<std::string>& names);

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string path(const std::string& name) const { return dir + "/" + name; }
    void write(const std::string& name, const std::string& bytes) const;
    // Loads the programs (numbered 0..) and resets the table and the VM.
    void load(const std::vector<Words>& programs);
    void tick(int n = 1);
    Actor& actor(int slot) { return actor_table.slots[slot]; }
    std::vector<int> list_order() const;

    std::string dir;
    std::string diags;
};
