#include "tools/contract/contract.h"

#include <cerrno>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

namespace {

struct KindInfo {
    const char* word;
    int lo, hi;   // the numbers a row of this kind may have
    bool unique;  // no two rows of the kind share a number
};

// Programs 0..63, slots 1..63 (slot 0 heads the list), registers and
// globals 0..31; values are 16-bit words, signed or not.
constexpr KindInfo kinds[] = {
    {"program", 0, 63, true}, {"arg", 0, 31, true},    {"slot", 1, 63, true},
    {"reg", 0, 31, true},     {"global", 0, 31, true}, {"const", -32768, 65535, false},
};

bool is_name(const std::string& s, bool upper)
{
    if (s.empty() || (s[0] >= '0' && s[0] <= '9'))
        return false;
    for (char c : s) {
        bool letter = upper ? (c >= 'A' && c <= 'Z') : (c >= 'a' && c <= 'z');
        if (!letter && c != '_' && !(c >= '0' && c <= '9'))
            return false;
    }
    return true;
}

std::string upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
        else if (c == '.')
            c = '_';
    return s;
}

}  // namespace

std::string contract_script_name(const ContractRow& r)
{
    switch (r.kind) {
    case CK_PROGRAM: return "PROGRAM_" + upper(r.name);
    case CK_ARG: return "ARG_" + upper(r.name);
    case CK_SLOT: return "SLOT_" + upper(r.name);
    case CK_REG:
    case CK_GLOBAL:
    case CK_CONST: return r.name;
    }
    return r.name;
}

std::string contract_cpp_name(const ContractRow& r)
{
    if (r.kind == CK_REG)
        return "REG_" + upper(r.name);
    if (r.kind == CK_GLOBAL)
        return "GLOBAL_" + upper(r.name);
    return contract_script_name(r);
}

bool contract_parse(const std::string& text, const std::string& path,
                    std::vector<ContractRow>& rows, std::string& errors)
{
    size_t errors_before = errors.size();
    auto fail = [&](int line, const std::string& what) {
        errors += path + ":" + std::to_string(line) + ": " + what + "\n";
    };
    std::istringstream in(text);
    std::string line;
    for (int n = 1; std::getline(in, line); n++) {
        std::istringstream words(line);
        std::string kind, name, number, by;
        if (!(words >> kind) || kind[0] == '#')
            continue;
        ContractRow r{};
        r.line = n;
        int k = 0;
        while (k < 6 && kind != kinds[k].word)
            k++;
        if (k == 6) {
            fail(n, "'" + kind + "' is not a kind of row (program, arg, slot, reg, global, const)");
            continue;
        }
        r.kind = (ContractKind)k;
        words >> name >> number >> by;
        std::getline(words >> std::ws, r.meaning);
        while (!r.meaning.empty() && (r.meaning.back() == ' ' || r.meaning.back() == '\r'))
            r.meaning.pop_back();
        if (r.meaning.empty()) {
            fail(n, "expected \"KIND NAME NUMBER BY MEANING\"");
            continue;
        }
        size_t dot = name.find('.');
        bool named = r.kind == CK_CONST ? is_name(name, true)
                     : r.kind == CK_ARG
                         ? dot != std::string::npos && is_name(name.substr(0, dot), false) &&
                               is_name(name.substr(dot + 1), false)
                         : is_name(name, false);
        if (!named) {
            fail(n, "'" + name + "' is not a name for a " + kind +
                        (r.kind == CK_CONST ? " (upper case: CTRL_UP)"
                         : r.kind == CK_ARG ? " (program.name: director.level)"
                                            : " (lower case: health)"));
            continue;
        }
        r.name = name;
        char* end;
        errno = 0;
        long v = std::strtol(number.c_str(), &end, 0);
        size_t digits = number.find_first_not_of('-');
        bool octal = digits + 1 < number.size() && number[digits] == '0' &&
                     number[digits + 1] >= '0' && number[digits + 1] <= '9';
        if (number.empty() || *end || errno || octal || v < kinds[k].lo || v > kinds[k].hi) {
            fail(n, "'" + number + "' is not a " + kind + " number (" +
                        std::to_string(kinds[k].lo) + " to " + std::to_string(kinds[k].hi) + ")");
            continue;
        }
        r.value = (int)v;
        r.number = number;
        if (by != "engine" && by != "game") {
            fail(n, "'" + by + "' should say who fixed the number: engine or game");
            continue;
        }
        r.engine = by == "engine";
        rows.push_back(r);
    }

    // Every name once on each side, every number once within its kind, and
    // arguments only of programs in the table.
    std::map<std::string, int> names, cpp_names, numbers;
    std::set<std::string> programs;
    for (const ContractRow& r : rows)
        if (r.kind == CK_PROGRAM)
            programs.insert(r.name);
    for (const ContractRow& r : rows) {
        for (auto [seen, name] : {std::pair{&names, contract_script_name(r)},
                                  std::pair{&cpp_names, contract_cpp_name(r)}}) {
            auto [at, fresh] = seen->emplace(name, r.line);
            if (!fresh)
                fail(r.line,
                     "'" + name + "' is named already at line " + std::to_string(at->second));
        }
        std::string owner = kinds[r.kind].word;
        if (r.kind == CK_ARG) {
            owner = r.name.substr(0, r.name.find('.'));
            if (!programs.count(owner))
                fail(r.line, "'" + owner + "' is not a program of the table");
            owner = "arg of " + owner;
        }
        if (kinds[r.kind].unique) {
            auto [at, fresh] = numbers.emplace(owner + " " + std::to_string(r.value), r.line);
            if (!fresh)
                fail(r.line, owner + " " + std::to_string(r.value) + " is given already at line " +
                                 std::to_string(at->second));
        }
    }
    return errors.size() == errors_before;
}

std::string contract_header(const std::vector<ContractRow>& rows, const std::string& source)
{
    std::string out = "// Generated by nwd-contract from " + source +
                      ", the numbers the engine and the\n"
                      "// scripts share: change them there, and both sides follow.\n"
                      "#pragma once\n\n";
    for (const ContractRow& r : rows)
        out += "constexpr int " + contract_cpp_name(r) + " = " + r.number + ";  // " + r.meaning +
               "\n";
    return out;
}

std::string contract_include(const std::vector<ContractRow>& rows, const std::string& source)
{
    std::string out = "; Generated by nwd-contract from " + source +
                      ", the numbers the engine and the\n"
                      "; scripts share: change them there, and both sides follow.\n";
    for (const ContractRow& r : rows) {
        std::string decl = std::string(r.kind == CK_REG      ? "reg "
                                       : r.kind == CK_GLOBAL ? "global "
                                                             : "const ") +
                           contract_script_name(r) + " = " + r.number;
        // The assembler has the engine's registers and globals built in.
        if ((r.kind == CK_REG || r.kind == CK_GLOBAL) && r.engine)
            decl = "; " + decl + " (built in)";
        if (decl.size() < 31)
            decl.resize(31, ' ');
        out += decl + " ; " + r.meaning + "\n";
    }
    return out;
}
