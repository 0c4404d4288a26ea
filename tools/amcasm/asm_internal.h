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
constexpr int ASM_MAX_NESTING = 256;       // parentheses and unary operators
constexpr int ASM_MAX_EVAL_DEPTH = 4096;   // expression nodes and constants in one chain
constexpr int ASM_MAX_TERMS = 64;          // terms of one condition
constexpr int ASM_MAX_MACRO_DEPTH = 32;    // macros used inside macros
constexpr int ASM_MAX_INCLUDE_DEPTH = 32;  // code includes inside code includes
// Macros and code includes used twice a level could grow a program
// exponentially; no real program comes near these.
constexpr size_t ASM_MAX_PROGRAM_LINES = 250000;
constexpr int ASM_MAX_CODE_READS = 10000;
// A table read jumps into a cell of 8 words: store R, load value, jump_reg R.
constexpr int ASM_CELL_WORDS = 8;
constexpr int ASM_MAX_TABLE_ROWS = 4096;  // so that index * 8 stays within a word
constexpr int ASM_MAX_SWITCH_SPAN = 256;  // entries of a switch's jump table

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
    int file = -1, line = 0;  // set when a macro argument brought it from another line
};

struct SrcLine {
    int file = 0;
    int line = 0;
    std::vector<Tok> toks;  // always ends with T_END
    Loc origin;             // the macro use or code include it came from (file -1: none)
    int expansion = -1;     // the macro use it came from
};

// Splits one line into tokens; comments start with ';' or '#'.
void lex_line(const std::string& s, SrcLine& out);
std::string describe(const Tok& t);

// ---------------------------------------------------------------- model

enum ExprKind { E_NUM, E_NAME, E_UNARY, E_BINARY, E_CELL };

struct Expr {
    ExprKind kind = E_NUM;
    std::string op;  // operator, or the name for E_NAME
    int a = -1, b = -1;
    int64_t num = 0;
    Loc loc;
    int scope = -1;     // program whose labels and registers are visible; -1 none
    std::string field;  // E_CELL: `op` names the table, `field` the column, `a` the row
};

enum SymKind { S_CONST, S_PROGRAM, S_GLOBAL, S_REG, S_LABEL, S_TABLE, S_MACRO };

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
    int table = -1;  // S_TABLE, or a row name: the table
    int row = -1;    // a row name: the row it names (rows.size(): just past the last)
    int macro = -1;  // S_MACRO
};

enum FieldKind { F_FIXED, F_WORD, F_TARGET, F_LABEL, F_REGNO };

struct Field {
    FieldKind kind = F_FIXED;
    int64_t value = 0;
    int expr = -1;
    int label = -1;
    Sym* sym = nullptr;
    bool root = false;   // its value is a code offset something may jump to
    int64_t addend = 0;  // F_LABEL: added to the label's offset (as a 16-bit word)
};

// One instruction, or one data word.
struct Item {
    Loc loc;
    Loc list;  // the source line the listing shows it beside
    int offset = 0;
    int op = 0;              // opcode; 0 for data
    bool generated = false;  // a join jump of a structured form, or table data
    std::vector<Field> f;
    std::vector<uint16_t> words;
    // What the flow checks need to know beyond the words:
    bool is_return = false;        // written `return`, not `jump_reg`
    bool call_set = false;         // the set_reg of a `call`
    bool call_jump = false;        // the jump of a `call`
    std::string text;              // a call or return as written, for messages
    std::string note;              // the first word of a table cell: which cell
    int scratch_write = 0;         // 1 a table read, 2 a switch: writes the scratch register
    bool flow_next = false;        // a jump_reg that comes back to the next item
    std::vector<int> flow_labels;  // a jump_reg that goes to one of these labels
};

enum BlockKind { B_IF, B_WHILE, B_LOOP, B_SWITCH };

// A value or range of a switch's `case` line.
struct CaseRange {
    int64_t lo = 0, hi = 0;
    Loc loc;
};

enum OperandKind { O_IMM, O_RANDOM, O_REG, O_GLOBAL, O_ACC, O_TABLE };

struct Operand {
    OperandKind kind = O_IMM;
    int expr = -1;
    Sym* base = nullptr;
    std::vector<Sym*> chain;
    Loc loc;
    int table = -1, column = -1;  // O_TABLE
    std::vector<Operand> index;   // O_TABLE: the row, one operand
};

struct Block {
    Block(BlockKind k, Loc l) : kind(k), loc(l) {}
    BlockKind kind;
    Loc loc;
    int end = -1;   // label after the form
    int next = -1;  // if, chained switch: the label of the next branch's test
    int top = -1;   // loops: where continue goes
    bool has_else = false;
    // switch
    bool jump_table = false;           // else a chain of tests at each case
    bool in_case = false;              // a case or default line has been seen
    int dflt = -1;                     // jump table: where values without a case go
    Operand value;                     // chain: what each case tests (reloadable)
    std::map<size_t, int> case_label;  // jump table: flat line index -> label
};

struct TableRow {
    Loc loc;
    int index_expr = -1;      // `[index]` before the values, or -1
    std::vector<int> values;  // one expression per column
};

// A named table of words. A program that reads a cell by a register finds
// the column's cells at its own end; a constant index reads as a constant.
struct Table {
    std::string name;
    Loc where;
    int scope = -1;                    // the program it belongs to, or -1 for everyone
    std::vector<std::string> columns;  // empty: one column without a name
    std::vector<TableRow> rows;
    int state = 0;                   // layout: 0 not done, 1 doing, 2 done, 3 failed
    int64_t first = 0;               // index of the first row
    std::vector<int> at;             // per index from `first`: row number, -1 a gap
    std::vector<int64_t> row_index;  // per row: its index
};

struct Macro {
    std::string name;
    Loc where;
    std::vector<std::string> params;
    std::vector<SrcLine> body;
};

struct Expansion {
    int macro = -1;
    Loc at;  // the line that used it
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
    int code_size = 0;          // words before the table cells at the end
    bool had_errors = false;    // then an empty body is no news
    int label_here = -1;        // offset at which a label was last placed
    std::vector<SrcLine> flat;  // lines with macros expanded, as built
    size_t at = 0;              // the flat line being built
    Loc list_at;                // where the listing shows the words of that line
    std::string local_scope;    // the label that `.name` labels belong to
    std::string scratch_name;   // `scratch` given in the program
    Loc scratch_at;
    Sym* scratch = nullptr;                       // register for table reads and switches
    std::vector<std::pair<int, int>> table_uses;  // (table, column) read here, in order
    std::map<std::pair<int, int>, int> table_label;
    std::map<size_t, std::vector<CaseRange>> cases;  // switch case values by flat line
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
    std::vector<Table> tables;
    std::vector<Macro> macros;
    std::vector<Expansion> expansions;
    std::map<std::string, int> file_index;   // by the key load_file uses
    std::vector<std::string> include_stack;  // code includes being read
    int code_reads = 0;
    std::string scratch_name;  // `scratch` for everyone
    Loc scratch_at;
    std::set<std::string> reported;  // each message once
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
    enum Mode { M_SOURCE, M_DECLS, M_CODE };  // a source, an include of declarations, of code
    struct Open {                             // a table or macro whose lines are being read
        char kind = 0;                        // 't' or 'm'; 0 none
        int index = -1;
        bool skip = false;  // read again by a code include: already known
        Loc at;
    };
    Open open;
    Loc code_origin;  // the include line that code being read goes beside
    bool read_source(const std::string& path, std::string& text, std::string& why);
    bool exists(const std::string& path);
    void load_file(const std::string& path, Mode mode, Loc from);
    void declaration_line(const SrcLine& ln, Mode mode);
    bool declare(std::map<std::string, Sym>& table, const std::string& name, Sym s);
    void predeclare();
    std::map<std::string, Sym>& scope_table(bool local);
    bool block_line(const SrcLine& ln);
    void table_row(const SrcLine& ln);

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
        bool punct_at(size_t k, const char* p) const
        {
            return peek(k).kind == T_PUNCT && peek(k).text == p;
        }
        bool word(const char* w) const { return peek().kind == T_IDENT && peek().text == w; }
        bool at_end() const { return peek().kind == T_END; }
        Loc loc() const
        {
            const Tok& t = peek();
            return t.file >= 0 ? Loc{t.file, t.line, t.col} : Loc{ln.file, ln.line, t.col};
        }
    };
    void expect_punct(Cur& c, const char* p);
    std::string expect_name(Cur& c, const char* what);
    void expect_end(Cur& c);
    void start_table(Cur& c, Loc l0, bool local);
    void start_macro(Cur& c, Loc l0);
    int new_expr(Expr e);
    int parse_expr(Cur& c, int scope, int level = 0);
    int parse_unary(Cur& c, int scope);

    // evaluation
    Sym* lookup(const std::string& n, int scope);
    bool eval(int e, int64_t& v, bool& used_label);
    bool eval_sym(Sym& s, Loc use, int64_t& v, bool& used_label);
    bool eval_number(Sym& s, int64_t& v);
    bool layout(Table& t);
    bool eval_cell(const Expr& e, int64_t& v, bool& used_label);
    void check_tables();

    // step 2
    void build(Program& p);
    void expand(Program& p, const SrcLine& ln, int depth, std::vector<SrcLine>& out);
    void statement(Program& p, Cur& c);
    bool switch_statement(Program& p, Cur& c, const std::string& w, Loc l);
    void switch_lookahead(Program& p, Block& b);
    void case_tests(Program& p, Block& b, Loc l, const std::vector<CaseRange>& values);
    Sym* scratch(Program& p);
    bool parse_table_ref(Cur& c, int scope, int& table, int& column);
    void emit_table_read(Program& p, Loc l, const Operand& o);
    void emit_tables(Program& p);
    Operand parse_operand(Cur& c, Program& p, bool allow_acc);
    int parse_cond(Cur& c, Program& p, std::vector<Cond>& pool);
    int parse_cond_and(Cur& c, Program& p, std::vector<Cond>& pool);
    int new_label(Program& p)
    {
        p.labels.push_back(-1);
        return (int)p.labels.size() - 1;
    }
    void place(Program& p, int label);
    void define_label(Program& p, const std::string& name, Loc l, bool local);
    std::string source_text(Loc l) const;
    int column_of(const Table& t, const std::string& name, Loc l);
    bool table_ref_at(const Cur& c) const;
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
    void emit_reg(Program& p, Loc l, Sym* r, int alu, int scratch_write = 0);
    void emit_imm(Program& p, Loc l, int64_t v, int alu);
    bool falls_through(const Program& p) const;
    void gen_cond(Program& p, Loc l, const std::vector<Cond>& pool, int n, bool want, int label);
    Block* innermost_loop(Program& p);
    Sym* parse_register(Cur& c, Program& p);

    // steps 3 and 4
    void number_programs();
    void encode(Program& p);
    void check_flow(Program& p);
    void check_calls(Program& p);
    void write_listing();
};

}  // namespace amcasm_impl
