// The assembler's inner model: source lines, expressions, symbols, the
// items a program is built from, and the Assembler that runs the steps.
// Shared by the files of the assembler only.
#pragma once

#include "tools/amcasm/amcasm.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace amcasm_impl {

// Larger sources are surely not hand-written programs.
constexpr long ASM_MAX_SOURCE = 16L << 20;
// Bounds on recursion, so a hostile source cannot exhaust the stack.
constexpr int ASM_MAX_NESTING = 256;      // parentheses and unary operators
constexpr int ASM_MAX_EVAL_DEPTH = 4096;  // expression nodes and constants in one chain
constexpr int ASM_MAX_TERMS = 64;         // terms of one condition

std::string strf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

struct Loc {
    int file = -1;
    int line = 0;
    int col = 0;
};

struct Failure {
    Loc loc;
    std::string text;
};

// ---------------------------------------------------------------- lexing

enum TokKind { T_END, T_IDENT, T_NUM, T_STR, T_PUNCT };

struct Tok {
    TokKind kind = T_END;
    std::string text;
    int64_t num = 0;
    int col = 0;
};

struct SrcLine {
    int file = 0;
    int line = 0;
    std::vector<Tok> toks;  // always ends with T_END
};

// Splits one line into tokens; comments start with ';' or '#'.
void lex_line(const std::string& s, SrcLine& out);
std::string describe(const Tok& t);

// ---------------------------------------------------------------- model

enum ExprKind { E_NUM, E_NAME, E_UNARY, E_BINARY };

struct Expr {
    ExprKind kind = E_NUM;
    std::string op;  // operator, or the name for E_NAME
    int a = -1, b = -1;
    int64_t num = 0;
    Loc loc;
    int scope = -1;  // program whose labels and registers are visible; -1 none
};

enum SymKind { S_CONST, S_PROGRAM, S_GLOBAL, S_REG, S_LABEL };

const char* sym_kind_name(SymKind k);

struct Sym {
    SymKind kind = S_CONST;
    std::string name;
    Loc where;
    bool builtin = false;
    int expr = -1;  // value or number expression
    int64_t value = 0;
    int state = 0;   // 0 not evaluated, 1 evaluating, 2 known, 3 failed
    int label = -1;  // S_LABEL: index into its program's labels
    int scope = -1;  // S_LABEL: its program
};

enum FieldKind { F_FIXED, F_WORD, F_TARGET, F_LABEL, F_REGNO };

struct Field {
    FieldKind kind = F_FIXED;
    int64_t value = 0;
    int expr = -1;
    int label = -1;
    Sym* sym = nullptr;
    bool root = false;  // its value is a code offset something may jump to
};

// One instruction, or one data word.
struct Item {
    Loc loc;
    int offset = 0;
    int op = 0;              // opcode; 0 for data
    bool generated = false;  // a join jump of a structured form
    std::vector<Field> f;
    std::vector<uint16_t> words;
};

enum BlockKind { B_IF, B_WHILE, B_LOOP };

struct Block {
    BlockKind kind;
    Loc loc;
    int end = -1;   // label after the form
    int next = -1;  // if: the label of the next branch's test
    int top = -1;   // loops: where continue goes
    bool has_else = false;
};

struct Program {
    int index = 0;  // position in the assembler's list: the scope of its names
    Loc where;
    std::string name;
    int number_expr = -1;
    int to_expr = -1;  // `unused N .. M`
    bool unused = false;
    int number = -1, number_to = -1;
    std::vector<SrcLine> lines;
    std::map<std::string, Sym> locals;
    std::vector<int> labels;  // offsets, -1 until placed
    std::vector<Item> items;
    std::vector<Block> blocks;
    std::vector<int> roots;
    int size = 0;
    bool had_errors = false;  // then an empty body is no news
    int label_here = -1;      // offset at which a label was last placed
};

enum OperandKind { O_IMM, O_RANDOM, O_REG, O_GLOBAL, O_ACC };

struct Operand {
    OperandKind kind = O_IMM;
    int expr = -1;
    Sym* base = nullptr;
    std::vector<Sym*> chain;
    Loc loc;
};

enum CondKind { C_TERM, C_AND, C_OR };

struct Cond {
    CondKind kind = C_TERM;
    Operand l, r;
    std::string cmp;  // "" for a plain test
    bool negate = false;
    int a = -1, b = -1;
};

bool reserved(const std::string& n);
int alu_by_name(const std::string& n);
// Removes "." and "dir/.." so one file reached by two paths is one file.
std::string normalize_path(const std::string& p);

class Assembler {
public:
    Assembler(const AsmOptions& o, AsmResult& r) : opt(o), res(r) {}
    void run(const std::vector<std::string>& sources);
    void run_steps(const std::vector<std::string>& sources);

private:
    const AsmOptions& opt;
    AsmResult& res;
    std::vector<std::string> files;
    std::vector<std::vector<std::string>> file_lines;
    std::set<std::string> seen;
    std::vector<Expr> exprs;
    std::map<std::string, Sym> globals;
    std::vector<std::unique_ptr<Program>> progs;
    Program* cur = nullptr;
    int errors = 0;
    int parse_depth = 0;
    int eval_depth = 0;
    std::vector<Loc> message_locs;  // parallel to res.messages, for sorting
    void sort_messages();

    // messages
    void report(bool warning, Loc l, const std::string& text);
    void error(Loc l, const std::string& text) { report(false, l, text); }
    void warn(Loc l, const std::string& text) { report(true, l, text); }
    std::string where(const Loc& l) const;

    // step 1
    bool read_source(const std::string& path, std::string& text, std::string& why);
    bool exists(const std::string& path);
    void load_file(const std::string& path, bool included, Loc from);
    void declaration_line(const SrcLine& ln, bool included);
    void declare(std::map<std::string, Sym>& table, const std::string& name, Sym s);
    void predeclare();

    // parsing helpers
    struct Cur {
        const SrcLine& ln;
        size_t i = 0;
        const Tok& peek(size_t k = 0) const
        {
            size_t n = i + k < ln.toks.size() ? i + k : ln.toks.size() - 1;
            return ln.toks[n];
        }
        const Tok& next()
        {
            const Tok& t = peek();
            if (i + 1 < ln.toks.size())
                i++;
            return t;
        }
        bool punct(const char* p) const { return peek().kind == T_PUNCT && peek().text == p; }
        bool word(const char* w) const { return peek().kind == T_IDENT && peek().text == w; }
        bool at_end() const { return peek().kind == T_END; }
        Loc loc() const { return Loc{ln.file, ln.line, peek().col}; }
    };
    void expect_punct(Cur& c, const char* p);
    std::string expect_name(Cur& c, const char* what);
    void expect_end(Cur& c);
    int new_expr(Expr e);
    int parse_expr(Cur& c, int scope, int level = 0);
    int parse_unary(Cur& c, int scope);

    // evaluation
    Sym* lookup(const std::string& n, int scope);
    bool eval(int e, int64_t& v, bool& used_label);
    bool eval_sym(Sym& s, Loc use, int64_t& v, bool& used_label);
    bool eval_number(Sym& s, int64_t& v);

    // step 2
    void build(Program& p);
    void statement(Program& p, Cur& c);
    Operand parse_operand(Cur& c, Program& p, bool allow_acc);
    int parse_cond(Cur& c, Program& p, std::vector<Cond>& pool);
    int parse_cond_and(Cur& c, Program& p, std::vector<Cond>& pool);
    int new_label(Program& p)
    {
        p.labels.push_back(-1);
        return (int)p.labels.size() - 1;
    }
    void place(Program& p, int label);
    void define_label(Program& p, const Tok& t, Loc l);
    Item& add(Program& p, Item it);
    Field fixed(int64_t v)
    {
        Field f;
        f.value = v;
        return f;
    }
    void emit_simple(Program& p, Loc l, int op);
    void emit_alu(Program& p, Loc l, const Operand& o, int alu);
    void emit_jump(Program& p, Loc l, int op, int label, bool generated = false);
    bool falls_through(const Program& p) const;
    void gen_cond(Program& p, Loc l, const std::vector<Cond>& pool, int n, bool want, int label);
    Block* innermost_loop(Program& p);
    Sym* parse_register(Cur& c, Program& p);

    // steps 3 and 4
    void number_programs();
    void encode(Program& p);
    void check_flow(Program& p);
    void write_listing();
};

}  // namespace amcasm_impl
