// The contract between the engine and the scripts: the table of
// data/amc/contract.txt read into rows, and the two files made from it, the
// scripts' include and the C++ header. No engine code: the engine itself is
// compiled with the header this writes.
#pragma once

#include <string>
#include <vector>

enum ContractKind { CK_PROGRAM, CK_ARG, CK_SLOT, CK_REG, CK_GLOBAL, CK_CONST };

struct ContractRow {
    ContractKind kind;
    std::string name;  // as written: "director", "director.level", "CTRL_UP"
    int value;
    std::string number;  // as written, so 0x100 stays 0x100 in what is made
    bool engine;         // BY engine; otherwise the game's
    std::string meaning;
    int line;
};

// The name a row has in the scripts and in C++ ("sound" and "REG_SOUND").
std::string contract_script_name(const ContractRow& row);
std::string contract_cpp_name(const ContractRow& row);

// Reads the table. Problems are appended to `errors` as "path:line: ..."
// lines; false when there was any.
bool contract_parse(const std::string& text, const std::string& path,
                    std::vector<ContractRow>& rows, std::string& errors);

// The two generated files; `source` names the table in their first line.
std::string contract_header(const std::vector<ContractRow>& rows, const std::string& source);
std::string contract_include(const std::vector<ContractRow>& rows, const std::string& source);
