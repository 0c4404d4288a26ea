// The forms built on top of the plain assembler: macros, tables, `switch`,
// the scratch register both of the latter jump through, and the check that
// every routine returns through the register its `call` used.
#include "tools/amcasm/asm_internal.h"

#include "engine/amc_ops.h"

#include <algorithm>

namespace amcasm_impl {

// Words that open or close a form where a line starts. They are not
// reserved, so that older sources may keep them as names, but a macro
// cannot take them.
static const char* const form_words[] = {"switch",   "case",  "default",  "endswitch", "table",
                                         "endtable", "macro", "endmacro", "scratch"};

std::map<std::string, Sym>& Assembler::scope_table(bool local)
{
    return local && cur ? cur->locals : globals;
}

// ---------------------------------------------------------------- step 1

// Lines inside `table` … `endtable` and `macro` … `endmacro`.
bool Assembler::block_line(const SrcLine& ln)
{
    if (!open.kind)
        return false;
    const Tok& t = ln.toks[0];
    const Tok& n = ln.toks[1];
    bool word_alone = t.kind == T_IDENT && !(n.kind == T_PUNCT && n.text == ":");
    const char* end = open.kind == 't' ? "endtable" : "endmacro";
    if (word_alone && t.text == end) {
        Cur c{ln};
        c.next();
        open = Open{};
        expect_end(c);
        return true;
    }
    if (open.skip)
        return true;
    if (open.kind == 'm') {
        if (word_alone && t.text == "macro")
            throw Failure{Cur{ln}.loc(), "a macro cannot be defined inside another"};
        macros[(size_t)open.index].body.push_back(ln);
        return true;
    }
    table_row(ln);
    return true;
}

void Assembler::start_table(Cur& c, Loc l0, bool local)
{
    Sym s;
    s.kind = S_TABLE;
    s.where = c.loc();
    std::string name = expect_name(c, "a table name");
    Table t;
    t.name = name;
    t.where = s.where;
    t.scope = local && cur ? cur->index : -1;
    if (c.punct(":")) {
        c.next();
        for (;;) {
            Loc at = c.loc();
            std::string col = expect_name(c, "a column name");
            if (std::find(t.columns.begin(), t.columns.end(), col) != t.columns.end())
                throw Failure{
                    at, strf("table '%s' already has a column '%s'", name.c_str(), col.c_str())};
            t.columns.push_back(col);
            if (!c.punct(","))
                break;
            c.next();
        }
    }
    expect_end(c);
    s.table = (int)tables.size();
    open.kind = 't';
    open.at = l0;
    if (!declare(scope_table(local), name, s)) {
        open.skip = true;
        return;
    }
    open.index = s.table;
    tables.push_back(std::move(t));
}

// One line of a table: `name:` gives the next row a name, `[index]` its
// index; then the values of one row, or of one row each in a table of one
// column.
void Assembler::table_row(const SrcLine& ln)
{
    Table& t = tables[(size_t)open.index];
    Cur c{ln};
    while (c.peek().kind == T_IDENT && c.peek(1).kind == T_PUNCT && c.peek(1).text == ":") {
        Sym s;
        s.kind = S_CONST;
        s.where = c.loc();
        s.table = open.index;
        s.row = (int)t.rows.size();
        std::string name = c.next().text;
        c.next();
        declare(scope_table(t.scope >= 0), name, s);
    }
    if (c.at_end())
        return;
    TableRow row;
    row.loc = c.loc();
    Loc start = row.loc;
    if (c.punct("[")) {
        c.next();
        row.index_expr = parse_expr(c, t.scope);
        expect_punct(c, "]");
    }
    size_t width = t.columns.size() > 1 ? t.columns.size() : 1;
    for (;;) {
        row.values.push_back(parse_expr(c, t.scope));
        if (row.values.size() == width && width == 1) {
            t.rows.push_back(row);
            row.values.clear();
            row.index_expr = -1;
        }
        if (!c.punct(","))
            break;
        c.next();
        row.loc = c.loc();
    }
    expect_end(c);
    if (width > 1) {
        if (row.values.size() != width)
            throw Failure{start, strf("a row of table '%s' needs %zu values, not %zu",
                                      t.name.c_str(), width, row.values.size())};
        row.loc = start;
        t.rows.push_back(row);
    }
}

void Assembler::start_macro(Cur& c, Loc l0)
{
    Sym s;
    s.kind = S_MACRO;
    s.where = c.loc();
    std::string name = expect_name(c, "a macro name");
    for (const char* w : form_words)
        if (name == w)
            throw Failure{s.where, strf("'%s' cannot name a macro", name.c_str())};
    Macro m;
    m.name = name;
    m.where = s.where;
    while (!c.at_end()) {
        Loc at = c.loc();
        std::string param = expect_name(c, "a parameter name");
        if (std::find(m.params.begin(), m.params.end(), param) != m.params.end())
            throw Failure{
                at, strf("macro '%s' already has a parameter '%s'", name.c_str(), param.c_str())};
        m.params.push_back(param);
        if (c.at_end())
            break;
        expect_punct(c, ",");
    }
    s.macro = (int)macros.size();
    open.kind = 'm';
    open.at = l0;
    if (!declare(globals, name, s)) {
        open.skip = true;
        return;
    }
    open.index = s.macro;
    macros.push_back(std::move(m));
}

// ---------------------------------------------------------------- tables

int Assembler::column_of(const Table& t, const std::string& name, Loc l)
{
    if (name.empty()) {
        if (t.columns.size() > 1)
            throw Failure{
                l, strf("table '%s' has %zu columns: name one, as %s.%s[row]", t.name.c_str(),
                        t.columns.size(), t.name.c_str(), t.columns[0].c_str())};
        return 0;
    }
    for (size_t i = 0; i < t.columns.size(); i++)
        if (t.columns[i] == name)
            return (int)i;
    throw Failure{l, strf("table '%s' has no column '%s'", t.name.c_str(), name.c_str())};
}

// Gives every row its index: the one in `[ ]`, else one more than the row
// before (the first row: 0).
bool Assembler::layout(Table& t)
{
    if (t.state == 2)
        return true;
    if (t.state != 0) {
        if (t.state == 1)
            error(t.where,
                  strf("the rows of table '%s' are numbered in terms of itself", t.name.c_str()));
        t.state = 3;
        return false;
    }
    t.state = 1;
    bool ok = true;
    int64_t next = 0, lo = 0, hi = -1;
    t.row_index.clear();
    for (const TableRow& r : t.rows) {
        int64_t i = next;
        bool used_label = false;
        if (r.index_expr >= 0) {
            if (!eval(r.index_expr, i, used_label)) {
                ok = false;
                i = next;
            } else if (used_label || i < -32768 || i > 32767) {
                error(exprs[(size_t)r.index_expr].loc,
                      used_label ? "a row index cannot be a label"
                                 : strf("row index %lld is outside -32768..32767", (long long)i));
                ok = false;
                i = next;
            }
        }
        t.row_index.push_back(i);
        lo = t.row_index.size() == 1 ? i : std::min(lo, i);
        hi = t.row_index.size() == 1 ? i : std::max(hi, i);
        next = i + 1;
    }
    if (t.state == 3)
        return false;
    if (hi - lo + 1 > ASM_MAX_TABLE_ROWS) {
        error(t.where, strf("table '%s' spans %lld rows; at most %d fit", t.name.c_str(),
                            (long long)(hi - lo + 1), ASM_MAX_TABLE_ROWS));
        t.state = 3;
        return false;
    }
    t.first = lo;
    t.at.assign((size_t)(hi - lo + 1), -1);
    for (size_t r = 0; r < t.rows.size(); r++) {
        int& slot = t.at[(size_t)(t.row_index[r] - lo)];
        if (slot >= 0) {
            error(t.rows[r].loc,
                  strf("row %lld of table '%s' is already given at %s", (long long)t.row_index[r],
                       t.name.c_str(), where(t.rows[(size_t)slot].loc).c_str()));
            ok = false;
        }
        slot = (int)r;
    }
    t.state = ok ? 2 : 3;
    return ok;
}

bool Assembler::eval_cell(const Expr& e, int64_t& v, bool& used_label)
{
    Sym* s = lookup(e.op, e.scope);
    if (!s) {
        error(e.loc, strf("undefined name '%s'", e.op.c_str()));
        return false;
    }
    if (s->kind != S_TABLE) {
        error(e.loc, strf("'%s' is %s, not a table", e.op.c_str(), sym_kind_name(s->kind)));
        return false;
    }
    Table& t = tables[(size_t)s->table];
    int col;
    try {
        col = column_of(t, e.field, e.loc);
    } catch (Failure& f) {
        error(f.loc, f.text);
        return false;
    }
    int64_t i;
    bool row_label = false;
    if (!layout(t) || !eval(e.a, i, row_label))
        return false;
    if (row_label) {
        error(exprs[(size_t)e.a].loc, "a row index cannot be a label");
        return false;
    }
    if (i < t.first || i >= t.first + (int64_t)t.at.size()) {
        error(exprs[(size_t)e.a].loc, t.at.empty()
                                          ? strf("table '%s' has no rows", t.name.c_str())
                                          : strf("row %lld is outside table '%s' (rows %lld..%lld)",
                                                 (long long)i, t.name.c_str(), (long long)t.first,
                                                 (long long)(t.first + (int64_t)t.at.size() - 1)));
        return false;
    }
    int r = t.at[(size_t)(i - t.first)];
    if (r < 0) {
        v = 0;  // a row left out between two given ones
        return true;
    }
    return eval(t.rows[(size_t)r].values[(size_t)col], v, used_label);
}

// Every value must fit a word, read or not.
void Assembler::check_tables()
{
    for (Table& t : tables) {
        if (!layout(t))
            continue;
        for (const TableRow& r : t.rows) {
            for (int e : r.values) {
                int64_t v;
                bool used_label = false;
                if (eval(e, v, used_label) && (v < -32768 || v > 65535))
                    error(exprs[(size_t)e].loc,
                          strf("value %lld does not fit in a 16-bit word", (long long)v));
            }
        }
    }
}

bool Assembler::table_ref_at(const Cur& c) const
{
    auto is = [&](size_t k, const char* p) {
        return c.peek(k).kind == T_PUNCT && c.peek(k).text == p;
    };
    return c.peek().kind == T_IDENT &&
           (is(1, "[") || (is(1, ".") && c.peek(2).kind == T_IDENT && is(3, "[")));
}

// `name[`, `name.column[`: up to and including the bracket.
bool Assembler::parse_table_ref(Cur& c, int scope, int& table, int& column)
{
    Loc l = c.loc();
    std::string name = c.next().text;
    std::string field;
    if (c.punct(".")) {
        c.next();
        field = c.next().text;
    }
    expect_punct(c, "[");
    Sym* s = lookup(name, scope);
    if (!s)
        throw Failure{l, strf("undefined name '%s'", name.c_str())};
    if (s->kind != S_TABLE)
        throw Failure{l, strf("'%s' is %s, not a table", name.c_str(), sym_kind_name(s->kind))};
    table = s->table;
    column = column_of(tables[(size_t)table], field, l);
    return true;
}

Sym* Assembler::scratch(Program& p)
{
    if (p.scratch)
        return p.scratch;
    const std::string& name = p.scratch_name.empty() ? scratch_name : p.scratch_name;
    Loc at = p.scratch_name.empty() ? scratch_at : p.scratch_at;
    if (name.empty())
        return p.scratch = &globals["ret"];
    Sym* s = lookup(name, p.index);
    if (!s || s->kind != S_REG)
        throw Failure{at, s ? strf("'scratch' needs a register; '%s' is %s", name.c_str(),
                                   sym_kind_name(s->kind))
                            : strf("undefined name '%s'", name.c_str())};
    return p.scratch = s;
}

void Assembler::emit_reg(Program& p, Loc l, Sym* r, int alu, int scratch_write)
{
    Item it;
    it.loc = l;
    it.op = OP_REG;
    it.f.push_back(fixed(OP_REG));
    Field f;
    f.kind = F_REGNO;
    f.sym = r;
    it.f.push_back(f);
    it.f.push_back(fixed(alu));
    it.scratch_write = scratch_write;
    add(p, it);
}

void Assembler::emit_imm(Program& p, Loc l, int64_t v, int alu)
{
    Item it;
    it.loc = l;
    it.op = OP_IMM;
    it.f.push_back(fixed(OP_IMM));
    it.f.push_back(fixed(v));
    it.f.push_back(fixed(alu));
    add(p, it);
}

// `load T.c[i]`: jump into row i's cell of column c with the return offset
// in the accumulator; the cell keeps it in the scratch register, loads the
// value and jumps back.
//     load i / mul 8 / add CELLS - 8*first / store R / load BACK / jump_reg R
// BACK:
void Assembler::emit_table_read(Program& p, Loc l, const Operand& o)
{
    Sym* r = scratch(p);
    const Operand& index = o.index[0];
    if (index.kind != O_ACC)
        emit_alu(p, l, index, ALU_LOAD);
    Table& t = tables[(size_t)o.table];
    layout(t);
    auto key = std::make_pair(o.table, o.column);
    auto known = p.table_label.find(key);
    int cells = known != p.table_label.end() ? known->second : new_label(p);
    if (known == p.table_label.end()) {
        p.table_label[key] = cells;
        p.table_uses.push_back(key);
    }
    emit_imm(p, l, ASM_CELL_WORDS, ALU_MUL);
    Item base;
    base.loc = l;
    base.op = OP_IMM;
    base.f.push_back(fixed(OP_IMM));
    Field f;
    f.kind = F_LABEL;
    f.label = cells;
    f.addend = -ASM_CELL_WORDS * t.first;
    base.f.push_back(f);
    base.f.push_back(fixed(ALU_ADD));
    add(p, base);
    emit_reg(p, l, r, ALU_STORE, 1);
    int back = new_label(p);
    Item ret = base;
    ret.f[1].label = back;
    ret.f[1].addend = 0;
    ret.f[2] = fixed(ALU_LOAD);
    add(p, ret);
    Item jump;
    jump.loc = l;
    jump.op = OP_JUMP_REG;
    jump.f.push_back(fixed(OP_JUMP_REG));
    Field rf;
    rf.kind = F_REGNO;
    rf.sym = r;
    jump.f.push_back(rf);
    jump.flow_next = true;
    add(p, jump);
    place(p, back);
}

// The cells of every column the program reads by a register, after its code.
void Assembler::emit_tables(Program& p)
{
    if (p.table_uses.empty())
        return;
    Sym* r;
    try {
        r = scratch(p);
    } catch (Failure& f) {
        error(f.loc, f.text);
        return;
    }
    for (auto [ti, col] : p.table_uses) {
        Table& t = tables[(size_t)ti];
        place(p, p.table_label[{ti, col}]);
        for (size_t k = 0; k < t.at.size(); k++) {
            int row = t.at[k];
            Loc l = row >= 0 ? t.rows[(size_t)row].loc : t.where;
            size_t first = p.items.size();
            emit_reg(p, l, r, ALU_STORE);
            Item it;
            it.loc = l;
            it.op = OP_IMM;
            it.f.push_back(fixed(OP_IMM));
            Field v = fixed(0);
            if (row >= 0) {
                v.kind = F_WORD;
                v.expr = t.rows[(size_t)row].values[(size_t)col];
            }
            it.f.push_back(v);
            it.f.push_back(fixed(ALU_LOAD));
            add(p, it);
            Item back;
            back.loc = l;
            back.op = OP_JUMP_REG;
            back.f.push_back(fixed(OP_JUMP_REG));
            back.f.push_back(p.items[first].f[1]);
            add(p, back);
            for (size_t i = first; i < p.items.size(); i++) {
                p.items[i].generated = true;
                p.items[i].list = Loc{-2, 0, 0};
            }
            std::string col_name = t.columns.empty() ? "" : "." + t.columns[(size_t)col];
            p.items[first].note =
                strf("%s%s[%lld]", t.name.c_str(), col_name.c_str(), (long long)(t.first + k));
        }
    }
}

// ---------------------------------------------------------------- macros

// Splices the lines of every macro used into the program's lines.
void Assembler::expand(Program& p, const SrcLine& ln, int depth, std::vector<SrcLine>& out)
{
    const std::vector<Tok>& t = ln.toks;
    auto is = [&](size_t k, const char* s) {
        return k < t.size() && t[k].kind == T_PUNCT && t[k].text == s;
    };
    size_t k = 0;
    for (;;) {
        if (t[k].kind == T_IDENT && is(k + 1, ":"))
            k += 2;
        else if (is(k, ".") && k + 1 < t.size() && t[k + 1].kind == T_IDENT && is(k + 2, ":"))
            k += 3;
        else
            break;
    }
    auto g = t[k].kind == T_IDENT ? globals.find(t[k].text) : globals.end();
    if (g == globals.end() || g->second.kind != S_MACRO) {
        out.push_back(ln);
        return;
    }
    const Macro& m = macros[(size_t)g->second.macro];
    Loc use = Cur{ln, k}.loc();
    if (k > 0) {  // the labels before the macro's name stay on a line of their own
        SrcLine labels = ln;
        labels.toks.assign(t.begin(), t.begin() + (long)k);
        labels.toks.push_back(t.back());
        out.push_back(labels);
    }
    if (out.size() > ASM_MAX_PROGRAM_LINES)
        throw Failure{use, strf("macro '%s' makes the program longer than %zu lines",
                                m.name.c_str(), ASM_MAX_PROGRAM_LINES)};
    if (depth >= ASM_MAX_MACRO_DEPTH)
        throw Failure{use, strf("macro '%s' is used inside itself, or macros nest more than %d "
                                "deep",
                                m.name.c_str(), ASM_MAX_MACRO_DEPTH)};
    std::vector<std::vector<Tok>> args;
    int nest = 0;
    for (size_t i = k + 1; t[i].kind != T_END; i++) {
        const Tok& a = t[i];
        if (args.empty())
            args.emplace_back();
        if (a.kind == T_PUNCT && nest == 0 && a.text == ",") {
            if (args.back().empty())
                throw Failure{Cur{ln, i}.loc(), "a value is missing before ','"};
            args.emplace_back();
            continue;
        }
        if (a.kind == T_PUNCT && (a.text == "(" || a.text == "["))
            nest++;
        if (a.kind == T_PUNCT && (a.text == ")" || a.text == "]"))
            nest--;
        Tok moved = a;
        if (moved.file < 0) {
            moved.file = ln.file;
            moved.line = ln.line;
        }
        args.back().push_back(moved);
    }
    if (!args.empty() && args.back().empty())
        throw Failure{Cur{ln, t.size() - 1}.loc(), "a value is missing after ','"};
    if (args.size() != m.params.size())
        throw Failure{use, strf("macro '%s' takes %zu value%s, not %zu", m.name.c_str(),
                                m.params.size(), m.params.size() == 1 ? "" : "s", args.size())};
    int id = (int)expansions.size();
    expansions.push_back(Expansion{g->second.macro, use});
    // Labels of the body belong to this use alone.
    std::set<std::string> own;
    for (const SrcLine& b : m.body)
        for (size_t i = 0; i + 1 < b.toks.size() && b.toks[i].kind == T_IDENT &&
                           b.toks[i + 1].kind == T_PUNCT && b.toks[i + 1].text == ":";
             i += 2)
            own.insert(b.toks[i].text);
    for (const SrcLine& b : m.body) {
        SrcLine e = b;
        e.origin = ln.origin.file >= 0 ? ln.origin : Loc{ln.file, ln.line, 0};
        e.expansion = id;
        e.toks.clear();
        for (size_t i = 0; i < b.toks.size(); i++) {
            const Tok& bt = b.toks[i];
            bool after_dot = i > 0 && b.toks[i - 1].kind == T_PUNCT && b.toks[i - 1].text == ".";
            if (bt.kind == T_IDENT && !after_dot) {
                auto param = std::find(m.params.begin(), m.params.end(), bt.text);
                if (param != m.params.end()) {
                    const auto& a = args[(size_t)(param - m.params.begin())];
                    e.toks.insert(e.toks.end(), a.begin(), a.end());
                    continue;
                }
                if (own.count(bt.text)) {
                    Tok renamed = bt;
                    renamed.text += "@" + std::to_string(id);
                    e.toks.push_back(renamed);
                    continue;
                }
            }
            e.toks.push_back(bt);
        }
        expand(p, e, depth + 1, out);
    }
}

// ---------------------------------------------------------------- switch

// `switch` looks ahead at its own `case` lines: their values decide
// between a jump table and a chain of tests.
void Assembler::switch_lookahead(Program& p, Block& b)
{
    std::vector<CaseRange> all;
    std::vector<size_t> lines;  // this switch's case lines
    int depth = 0;
    for (size_t j = p.at + 1; j < p.flat.size(); j++) {
        const SrcLine& ln = p.flat[j];
        Cur c{ln};
        while (c.peek().kind == T_IDENT && c.punct_at(1, ":"))
            c.next(), c.next();
        while (c.punct(".") && c.peek(1).kind == T_IDENT && c.punct_at(2, ":"))
            c.next(), c.next(), c.next();
        if (c.peek().kind != T_IDENT)
            continue;
        const std::string& w = c.peek().text;
        if (w == "switch")
            depth++;
        if (w == "endswitch" && depth-- == 0)
            break;
        if (depth != 0 || w != "case")
            continue;
        c.next();
        lines.push_back(j);
        std::vector<CaseRange>& mine = p.cases[j];
        try {
            for (;;) {
                CaseRange r;
                r.loc = c.loc();
                int from = parse_expr(c, p.index), to = from;
                if (c.punct("..")) {
                    c.next();
                    to = parse_expr(c, p.index);
                }
                bool used_label = false, ok = eval(from, r.lo, used_label);
                ok = ok && eval(to, r.hi, used_label);
                if (ok && used_label)
                    throw Failure{r.loc, "a case value cannot be a label"};
                if (ok && (r.lo < -32768 || r.lo > 65535 || r.hi < -32768 || r.hi > 65535))
                    throw Failure{r.loc, "a case value must fit in a 16-bit word"};
                // Compared as the interpreter does: 0xFFFF is -1.
                r.lo = (int16_t)(uint16_t)r.lo;
                r.hi = (int16_t)(uint16_t)r.hi;
                if (ok && r.lo > r.hi)
                    throw Failure{r.loc, strf("the range %lld .. %lld is empty", (long long)r.lo,
                                              (long long)r.hi)};
                for (const CaseRange& o : all)
                    if (ok && r.lo <= o.hi && o.lo <= r.hi)
                        throw Failure{r.loc,
                                      strf("case value %lld is already handled at %s",
                                           (long long)std::max(r.lo, o.lo), where(o.loc).c_str())};
                if (ok) {
                    mine.push_back(r);
                    all.push_back(r);
                }
                if (!c.punct(","))
                    break;
                c.next();
            }
            expect_end(c);
        } catch (Failure& f) {
            error(f.loc, f.text);
        }
    }
    int64_t count = 0, lo = 0, hi = 0;
    for (const CaseRange& r : all) {
        count += r.hi - r.lo + 1;
        lo = &r == &all[0] ? r.lo : std::min(lo, r.lo);
        hi = &r == &all[0] ? r.hi : std::max(hi, r.hi);
    }
    auto size_for = [&](int64_t from) {
        int64_t size = 1;
        while (size < hi - from + 1)
            size *= 2;
        return size;
    };
    // Five values or more: a chain would test three times on average, one
    // test costing three instructions; the table costs nine or ten.
    auto fits = [&](int64_t size) { return size <= ASM_MAX_SWITCH_SPAN && size <= 4 * count; };
    if (lo > 0 && fits(size_for(0)))
        lo = 0;  // saves subtracting lo
    int64_t size = size_for(lo);
    b.jump_table = count >= 5 && fits(size);
    if (!b.jump_table)
        return;
    Sym* r = scratch(p);
    Loc l = b.loc;
    b.dflt = new_label(p);
    std::map<int64_t, int> target;
    for (size_t j : lines) {
        int label = new_label(p);
        b.case_label[j] = label;
        for (const CaseRange& v : p.cases[j])
            for (int64_t x = v.lo; x <= v.hi; x++)
                target[x] = label;
    }
    //     load v / sub lo / and ~(size-1) / jump_if_true DEFAULT
    //     add v / mul 2 / add TABLE - 2*lo / store R / jump_reg R
    // TABLE: jump CASE … (size of them)
    emit_alu(p, l, b.value, ALU_LOAD);
    if (lo != 0)
        emit_imm(p, l, lo, ALU_SUB);
    emit_imm(p, l, ~(size - 1) & 0xFFFF, ALU_AND);
    emit_jump(p, l, OP_JUMP_IF_TRUE, b.dflt);
    emit_alu(p, l, b.value, ALU_ADD);
    emit_imm(p, l, 2, ALU_MUL);
    int table = new_label(p);
    Item base;
    base.loc = l;
    base.op = OP_IMM;
    base.f.push_back(fixed(OP_IMM));
    Field f;
    f.kind = F_LABEL;
    f.label = table;
    f.addend = -2 * lo;
    base.f.push_back(f);
    base.f.push_back(fixed(ALU_ADD));
    add(p, base);
    emit_reg(p, l, r, ALU_STORE, 2);
    Item jump;
    jump.loc = l;
    jump.op = OP_JUMP_REG;
    jump.f.push_back(fixed(OP_JUMP_REG));
    Field rf;
    rf.kind = F_REGNO;
    rf.sym = r;
    jump.f.push_back(rf);
    jump.flow_labels.push_back(b.dflt);
    for (auto& [j, label] : b.case_label)
        jump.flow_labels.push_back(label);
    add(p, jump);
    place(p, table);
    for (int64_t x = lo; x < lo + size; x++) {
        auto t = target.find(x);
        emit_jump(p, l, OP_JUMP, t == target.end() ? b.dflt : t->second, true);
    }
}

// A case of a switch without a jump table: the same tests as `if v == a`,
// `elif v == b`, … with `a .. b` as `v >= a && v <= b`.
void Assembler::case_tests(Program& p, Block& b, Loc l, const std::vector<CaseRange>& values)
{
    int body = new_label(p);
    for (size_t i = 0; i < values.size(); i++) {
        const CaseRange& v = values[i];
        bool last = i + 1 == values.size();
        emit_alu(p, l, b.value, ALU_LOAD);
        if (v.lo == v.hi) {
            emit_imm(p, l, v.lo, ALU_EQ);
            emit_jump(p, l, last ? OP_JUMP_IF_ZERO : OP_JUMP_IF_TRUE, last ? b.next : body);
            continue;
        }
        int skip = last ? b.next : new_label(p);
        emit_imm(p, l, v.lo, ALU_LT);
        emit_jump(p, l, OP_JUMP_IF_TRUE, skip);
        emit_alu(p, l, b.value, ALU_LOAD);
        emit_imm(p, l, v.hi, ALU_GT);
        emit_jump(p, l, last ? OP_JUMP_IF_TRUE : OP_JUMP_IF_ZERO, last ? b.next : body);
        if (!last)
            place(p, skip);
    }
    if (values.empty())
        emit_jump(p, l, OP_JUMP, b.next, true);  // a case whose values were wrong
    place(p, body);
}

bool Assembler::switch_statement(Program& p, Cur& c, const std::string& w, Loc l)
{
    if (w == "switch") {
        Block b{B_SWITCH, l};
        b.end = new_label(p);
        b.value.kind = O_ACC;
        try {
            Operand v = parse_operand(c, p, true);
            expect_end(c);
            if (v.kind == O_REG || v.kind == O_GLOBAL) {
                b.value = v;
            } else {  // computed once, kept in the scratch register for the tests
                emit_alu(p, l, v, ALU_LOAD);
                emit_reg(p, l, scratch(p), ALU_STORE, 2);
                b.value.kind = O_REG;
                b.value.base = scratch(p);
            }
            switch_lookahead(p, b);
        } catch (Failure&) {
            b.jump_table = false;  // its cases are still its own, not errors of their own
            p.blocks.push_back(b);
            throw;
        }
        p.blocks.push_back(b);
        return true;
    }
    if (w != "case" && w != "default" && w != "endswitch")
        return false;
    if (p.blocks.empty() || p.blocks.back().kind != B_SWITCH)
        throw Failure{l, strf("'%s' without 'switch'", w.c_str())};
    Block& b = p.blocks.back();
    if (w == "endswitch") {
        expect_end(c);
        if (b.jump_table && !b.has_else)
            place(p, b.dflt);
        else if (!b.jump_table && b.next >= 0)
            place(p, b.next);
        place(p, b.end);
        p.blocks.pop_back();
        return true;
    }
    if (b.has_else)
        throw Failure{l, strf("'%s' after 'default'", w.c_str())};
    if (b.in_case && falls_through(p))
        emit_jump(p, l, OP_JUMP, b.end, true);
    b.in_case = true;
    if (w == "default") {
        expect_end(c);
        b.has_else = true;
        if (b.jump_table) {
            place(p, b.dflt);
        } else {
            if (b.next >= 0)
                place(p, b.next);
            b.next = -1;
        }
        return true;
    }
    // The values were read and checked by the look-ahead.
    auto values = p.cases.find(p.at);
    if (b.jump_table) {
        auto label = b.case_label.find(p.at);
        place(p, label != b.case_label.end() ? label->second : new_label(p));
    } else {
        if (b.next >= 0)
            place(p, b.next);
        b.next = new_label(p);
        case_tests(p, b, l, values != p.cases.end() ? values->second : std::vector<CaseRange>{});
    }
    return true;
}

// ---------------------------------------------------------------- step 4

// Follows each routine from its entry to its returns. They must go back
// through the register that its `call` set, and nothing on the way may
// overwrite that register: not another `call` through it, not a table read
// or switch that jumps through it.
void Assembler::check_calls(Program& p)
{
    const int n = p.code_size;
    std::vector<int> start((size_t)std::max(n, 0), -1);
    for (size_t i = 0; i < p.items.size(); i++)
        if (p.items[i].offset < n)
            start[(size_t)p.items[i].offset] = (int)i;
    std::set<std::pair<int, int>> done;
    std::set<size_t> blamed;
    for (size_t ci = 0; ci + 1 < p.items.size(); ci++) {
        const Item& call = p.items[ci];
        if (!call.call_set)
            continue;
        int reg = call.words[1];
        int entry = (int16_t)p.items[ci + 1].words[1];
        if (!done.insert({entry, reg}).second)
            continue;
        std::string reg_name = call.f[1].sym->name;
        std::string call_at = where(call.loc);
        std::vector<char> seen(p.items.size(), 0);
        std::vector<int> work;
        auto visit = [&](int off) {
            if (off >= 0 && off < n && start[(size_t)off] >= 0 &&
                !seen[(size_t)start[(size_t)off]]) {
                seen[(size_t)start[(size_t)off]] = 1;
                work.push_back(start[(size_t)off]);
            }
        };
        visit(entry);
        while (!work.empty()) {
            size_t k = (size_t)work.back();
            work.pop_back();
            const Item& it = p.items[k];
            int after = it.offset + (int)it.words.size();
            if (it.is_return) {
                if (it.words[1] != reg && blamed.insert(k).second)
                    error(it.loc, strf("'%s' does not match '%s' at %s: a routine must return "
                                       "through the register its call used",
                                       it.text.c_str(), call.text.c_str(), call_at.c_str()));
                continue;
            }
            if (it.call_set && it.words[1] == reg && k != ci && blamed.insert(k).second)
                error(it.loc,
                      strf("'%s' overwrites '%s', which holds the return offset of '%s' "
                           "at %s: use another register for one of them",
                           it.text.c_str(), reg_name.c_str(), call.text.c_str(), call_at.c_str()));
            if (it.scratch_write && it.words[1] == reg && blamed.insert(k).second)
                error(it.loc, strf("this %s jumps through '%s', which holds the return offset "
                                   "of '%s' at %s: give it another register with 'scratch'",
                                   it.scratch_write == 1 ? "table read" : "switch",
                                   reg_name.c_str(), call.text.c_str(), call_at.c_str()));
            switch (it.op) {
            case OP_JUMP_REG:
                if (it.flow_next)
                    visit(after);
                for (int l : it.flow_labels)
                    visit(p.labels[(size_t)l]);
                break;  // else a jump the assembler cannot follow
            case OP_END:
            case OP_RESUME: break;
            case OP_JUMP: visit(it.call_jump ? after : (int16_t)it.words[1]); break;
            case OP_BREAK: visit((int16_t)it.words[1]); break;
            case OP_JUMP_IF_ZERO:
            case OP_JUMP_IF_TRUE:
            case OP_BREAK_IF_TRUE:
                visit((int16_t)it.words[1]);
                visit(after);
                break;
            case OP_SET_HANDLER: visit((int16_t)it.words[1]); break;
            case 0: break;  // data
            default: visit(after);
            }
        }
    }
}

}  // namespace amcasm_impl
