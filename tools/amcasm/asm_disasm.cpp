// The disassembler: a linear sweep over each program. Whatever the assembler
// could not produce in the same words (unknown opcodes, ALU words outside the
// table, register numbers above 31, instructions cut off by the program's
// end) is written as `word` data, so the text always assembles back to the
// same words.
#include "tools/amcasm/amcasm.h"

#include "engine/amc_ops.h"
#include "tools/amcasm/asm_names.h"

#include <cstdio>
#include <set>

namespace {

struct Insn {
    int offset = 0;
    int len = 1;
    bool data = true;  // emit as `word`
};

std::string reg_name(int r)
{
    for (const AsmName& n : asm_reg_names)
        if (n.number == r)
            return n.name;
    return "r" + std::to_string(r);
}

std::string global_name(int g)
{
    for (const AsmName& n : asm_global_names)
        if (n.number == g)
            return n.name;
    return "g" + std::to_string(g);
}

bool is_reg(uint16_t w) { return w < 32; }

// Length of the instruction at `pc` when it can be written as one, else 0:
// the words the instruction set gives it (INDIRECT pairs too), each
// operand word one that its kind allows.
int decode_len(const std::vector<uint16_t>& w, size_t pc)
{
    const size_t n = w.size();
    const int16_t op = (int16_t)w[pc];
    if (!amc_opcode_known(op) || pc + (size_t)amc_op_info[op].words > n)
        return 0;
    const AmcOpInfo& info = amc_op_info[op];
    size_t end = pc + (size_t)info.words;
    if (info.flow & AMC_CHAIN) {  // first operand, (100, r)..., ALU
        size_t e = pc + 2;
        while (e < n && w[e] == (uint16_t)AMC_INDIRECT) {
            if (e + 1 >= n || !is_reg(w[e + 1]))
                return 0;
            e += 2;
        }
        if (e >= n)
            return 0;
        end = e + 1;
    }
    for (int i = 0; i < 2; i++) {
        const size_t at = i == 1 && (info.flow & AMC_CHAIN) ? end - 1 : pc + 1 + (size_t)i;
        const AmcArg kind = info.arg[i];
        if ((kind == ARG_REG || kind == ARG_GLOBAL) && !is_reg(w[at]))
            return 0;
        if (kind == ARG_ALU && !amc_alu_known(w[at]))
            return 0;
    }
    return (int)(end - pc);
}

void disassemble_one(std::string& out, int number, const std::vector<uint16_t>& w)
{
    std::vector<Insn> insns;
    std::vector<char> starts(w.size(), 0);
    for (size_t pc = 0; pc < w.size();) {
        Insn in;
        in.offset = (int)pc;
        int len = decode_len(w, pc);
        if (len > 0) {
            in.len = len;
            in.data = false;
        }
        starts[pc] = 1;
        insns.push_back(in);
        pc += (size_t)in.len;
    }
    // Labels for targets that land on an instruction.
    std::set<int> labels;
    auto target_ok = [&](uint16_t t) {
        return (int16_t)t >= 0 && (size_t)(int16_t)t < w.size() && starts[(size_t)t];
    };
    for (const Insn& in : insns) {
        if (in.data)
            continue;
        const AmcOpInfo& info = amc_op_info[(int16_t)w[(size_t)in.offset]];
        for (int i = 0; i < 2; i++) {
            if (info.arg[i] != ARG_TARGET && info.arg[i] != ARG_HANDLER)
                continue;
            const uint16_t word = w[(size_t)in.offset + 1 + (size_t)i];
            if (target_ok(word))
                labels.insert((int16_t)word);
        }
    }
    auto target = [&](uint16_t t) {
        return labels.count((int16_t)t) ? "L" + std::to_string((int16_t)t)
                                        : std::to_string((int16_t)t);
    };

    char buf[64];
    out += "\nprogram " + std::to_string(number) + " prog" + std::to_string(number) + "\n";
    for (size_t i = 0; i < insns.size(); i++) {
        const Insn& in = insns[i];
        size_t pc = (size_t)in.offset;
        if (labels.count(in.offset))
            out += "L" + std::to_string(in.offset) + ":\n";
        if (in.data) {
            // Runs of data words share a line until a label interrupts them.
            out += "    word " + std::to_string((int16_t)w[pc]);
            int k = 1;
            while (i + 1 < insns.size() && insns[i + 1].data &&
                   !labels.count(insns[i + 1].offset) && k < 8) {
                i++;
                k++;
                out += ", " + std::to_string((int16_t)w[(size_t)insns[i].offset]);
            }
            out += "\n";
            continue;
        }
        int op = (int16_t)w[pc];
        std::string line;
        switch (op) {
        case OP_IMM:
        case OP_RANDOM:
            line = amc_alu_names[w[pc + 2] - AMC_ALU_FIRST];
            if (op == OP_RANDOM) {
                snprintf(buf, sizeof buf, " random 0x%X", w[pc + 1]);
                line += buf;
            } else {
                line += " " + std::to_string((int16_t)w[pc + 1]);
            }
            break;
        case OP_GLOBAL:
        case OP_REG: {
            size_t end = pc + (size_t)in.len - 1;
            line = std::string(amc_alu_names[w[end] - AMC_ALU_FIRST]) + " ";
            line += op == OP_GLOBAL ? global_name(w[pc + 1]) : reg_name(w[pc + 1]);
            for (size_t k = pc + 2; k < end; k += 2)
                line += "." + reg_name(w[k + 1]);
            break;
        }
        case OP_SET_HANDLER:
            line = "set_handler ";
            line += w[pc + 2] == AMC_HANDLER_NONE ? "none" : target(w[pc + 2]);
            if ((int16_t)w[pc + 1] != (int)pc + 3)
                line += ", " + target(w[pc + 1]);
            break;
        default:  // the mnemonic and the operand words, by what they hold
            line = amc_op_info[op].name;
            for (int i = 0; i < 2 && amc_op_info[op].arg[i] != ARG_NONE; i++) {
                const uint16_t word = w[pc + 1 + (size_t)i];
                line += i ? ", " : " ";
                line += amc_op_info[op].arg[i] == ARG_TARGET ? target(word)
                        : amc_op_info[op].arg[i] == ARG_REG  ? reg_name(word)
                                                             : std::to_string((int16_t)word);
            }
            break;
        }
        out += "    " + line + "\n";
    }
}

}  // namespace

std::string asm_disassemble(const AmcWords& programs)
{
    std::string out = "; " + std::to_string(programs.size()) + " programs\n";
    for (size_t i = 0; i < programs.size(); i++)
        disassemble_one(out, (int)i, programs[i]);
    return out;
}
