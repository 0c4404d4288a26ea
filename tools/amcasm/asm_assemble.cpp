// The assembler. Four steps over the whole set of sources:
//  1. read every file (and its includes) and collect declarations, so names
//     can be used before the line that declares them;
//  2. turn each program's lines into items (instructions with fields still
//     to be evaluated), expanding the structured forms; offsets are known
//     here because an instruction's length never depends on a value;
//  3. number the programs and evaluate every field into words;
//  4. check control flow for warnings and write the listing.
#include "tools/amcasm/asm_internal.h"

#include "engine/amc.h"
#include "engine/amc_ops.h"
#include "tools/amcasm/asm_names.h"

#include <sys/stat.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <tuple>

std::string asm_format(const AsmMessage& m)
{
    const char* kind = m.warning ? "warning" : "error";
    // Without a place in a source, the tool's own line: "amcasm: FILE: reason".
    if (m.file.empty())
        return std::string("amcasm: ") + (m.warning ? "warning: " : "") + m.text;
    return m.file + ":" + std::to_string(m.line) + ":" + std::to_string(m.col) + ": " + kind +
           ": " + m.text;
}

namespace amcasm_impl {

std::string strf(const char* fmt, ...)
{
    char buf[1024];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

// Longest first, so "<<" wins over "<".
const char* const asm_puncts[] = {"<<", ">>", "==", "!=", "<=", ">=", "&&", "||", "..", "(",
                                  ")",  ",",  ".",  ":",  "=",  "+",  "-",  "*",  "/",  "%",
                                  "&",  "|",  "^",  "~",  "<",  ">",  "[",  "]"};

bool ident_start(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool ident_char(char c) { return ident_start(c) || (c >= '0' && c <= '9'); }

int digit_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

// Splits one line into tokens; comments start with ';' or '#'.
void lex_line(const std::string& s, SrcLine& out)
{
    Loc at{out.file, out.line, 0};
    size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        at.col = (int)i + 1;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            i++;
            continue;
        }
        if (c == ';' || c == '#')
            break;
        Tok t;
        t.col = (int)i + 1;
        if (ident_start(c)) {
            size_t b = i;
            while (i < s.size() && ident_char(s[i]))
                i++;
            t.kind = T_IDENT;
            t.text = s.substr(b, i - b);
        } else if (c >= '0' && c <= '9') {
            int base = 10;
            size_t b = i;
            if (c == '0' && i + 1 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X'))
                base = 16, i += 2;
            else if (c == '0' && i + 1 < s.size() && (s[i + 1] == 'b' || s[i + 1] == 'B'))
                base = 2, i += 2;
            size_t digits = i;
            uint64_t v = 0;
            while (i < s.size() && (ident_char(s[i]))) {
                int d = digit_value(s[i]);
                if (d >= base)
                    throw Failure{at,
                                  strf("malformed number '%s'", s.substr(b, i + 1 - b).c_str())};
                v = v * (uint64_t)base + (uint64_t)d;
                if (v > 0xFFFFFFFFULL)
                    throw Failure{at, "number is too large"};
                i++;
            }
            if (i == digits)
                throw Failure{at, "number has no digits"};
            t.kind = T_NUM;
            t.num = (int64_t)v;
            t.text = s.substr(b, i - b);
        } else if (c == '\'') {
            size_t b = i++;
            if (i >= s.size())
                throw Failure{at, "unterminated character literal"};
            int v = (unsigned char)s[i++];
            if (v == '\\') {
                if (i >= s.size())
                    throw Failure{at, "unterminated character literal"};
                char e = s[i++];
                switch (e) {
                case 'n': v = '\n'; break;
                case 't': v = '\t'; break;
                case 'r': v = '\r'; break;
                case '0': v = 0; break;
                case '\\': v = '\\'; break;
                case '\'': v = '\''; break;
                case '"': v = '"'; break;
                case 'x': {
                    int d1 = i < s.size() ? digit_value(s[i]) : 99;
                    int d2 = i + 1 < s.size() ? digit_value(s[i + 1]) : 99;
                    if (d1 > 15 || d2 > 15)
                        throw Failure{at, "'\\x' needs two hex digits"};
                    v = d1 * 16 + d2;
                    i += 2;
                    break;
                }
                default: throw Failure{at, strf("unknown escape '\\%c'", e)};
                }
            }
            if (i >= s.size() || s[i] != '\'')
                throw Failure{at, "unterminated character literal"};
            i++;
            t.kind = T_NUM;
            t.num = v;
            t.text = s.substr(b, i - b);
        } else if (c == '"') {
            i++;
            while (i < s.size() && s[i] != '"') {
                if (s[i] == '\\' && i + 1 < s.size())
                    i++;
                t.text += s[i++];
            }
            if (i >= s.size())
                throw Failure{at, "unterminated string"};
            i++;
            t.kind = T_STR;
        } else {
            for (const char* p : asm_puncts) {
                size_t n = strlen(p);
                if (s.compare(i, n, p) == 0) {
                    t.kind = T_PUNCT;
                    t.text = p;
                    i += n;
                    break;
                }
            }
            if (t.kind != T_PUNCT) {
                if ((unsigned char)c < 32 || (unsigned char)c >= 127)
                    throw Failure{at, strf("unexpected byte 0x%02X", (unsigned char)c)};
                throw Failure{at, strf("unexpected character '%c'", c)};
            }
        }
        out.toks.push_back(std::move(t));
    }
    Tok end;
    end.col = (int)s.size() + 1;
    out.toks.push_back(end);
}

std::string describe(const Tok& t)
{
    switch (t.kind) {
    case T_END: return "end of line";
    case T_STR: return "a string";
    default: return "'" + t.text + "'";
    }
}

const char* sym_kind_name(SymKind k)
{
    switch (k) {
    case S_CONST: return "a constant";
    case S_PROGRAM: return "a program";
    case S_GLOBAL: return "a global";
    case S_REG: return "a register";
    case S_TABLE: return "a table";
    case S_MACRO: return "a macro";
    default: return "a label";
    }
}

const char* const asm_keywords[] = {
    "include", "const",  "global", "reg",   "program",  "unused", "word",    "if",
    "elif",    "else",   "endif",  "while", "endwhile", "loop",   "endloop", "continue",
    "call",    "return", "random", "none",  "acc",      "imm",    "not",
};

bool reserved(const std::string& n)
{
    for (const char* k : asm_keywords)
        if (n == k)
            return true;
    for (int i = 1; i <= AMC_OPCODE_MAX; i++)
        if (n == amc_op_info[i].name)
            return true;
    for (const char* a : amc_alu_names)
        if (n == a)
            return true;
    return false;
}

int alu_by_name(const std::string& n)
{
    for (int i = AMC_ALU_FIRST; i <= AMC_ALU_LAST; i++)
        if (n == amc_alu_names[i - AMC_ALU_FIRST])
            return i;
    return 0;
}

// Removes "." and "dir/.." so one file reached by two paths is one file.
std::string normalize_path(const std::string& p)
{
    std::vector<std::string> parts;
    bool abs = !p.empty() && p[0] == '/';
    size_t i = 0;
    while (i <= p.size()) {
        size_t j = p.find('/', i);
        if (j == std::string::npos)
            j = p.size();
        std::string s = p.substr(i, j - i);
        if (s == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (!abs)
                parts.push_back(s);
        } else if (!s.empty() && s != ".") {
            parts.push_back(s);
        }
        i = j + 1;
    }
    std::string out = abs ? "/" : "";
    for (size_t k = 0; k < parts.size(); k++)
        out += (k ? "/" : "") + parts[k];
    return out.empty() ? "." : out;
}

void Assembler::report(bool warning, Loc l, const std::string& text)
{
    // A table cell read by several programs, or a file included into several,
    // would say the same thing more than once.
    if (!reported.insert(strf("%d:%d:%d:%d:", warning, l.file, l.line, l.col) + text).second) {
        if (!warning)
            errors++;
        return;
    }
    AsmMessage m;
    if (l.file >= 0) {
        m.file = files[(size_t)l.file];
        m.line = l.line;
        m.col = l.col;
    }
    m.warning = warning;
    m.text = text;
    if (!warning)
        errors++;
    res.messages.push_back(std::move(m));
    message_locs.push_back(l);
}

std::string Assembler::where(const Loc& l) const
{
    if (l.file < 0)
        return "built in";
    return files[(size_t)l.file] + ":" + std::to_string(l.line);
}

bool Assembler::read_source(const std::string& path, std::string& text, std::string& why)
{
    if (opt.read) {
        why = "no such file";
        return opt.read(path, text);
    }
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        why = strerror(errno);
        return false;
    }
    struct stat st;
    bool ok = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode);
    if (!ok)
        why = "not a regular file";
    else if (st.st_size > ASM_MAX_SOURCE)
        ok = false, why = "larger than 16 MiB";
    if (ok) {
        text.resize((size_t)st.st_size);
        if (!text.empty() && fread(&text[0], 1, text.size(), f) != text.size())
            ok = false, why = "read failed";
    }
    fclose(f);
    return ok;
}

bool Assembler::exists(const std::string& path)
{
    if (opt.read) {
        std::string t;
        return opt.read(path, t);
    }
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void Assembler::predeclare()
{
    auto put = [&](const std::string& n, SymKind k, int v) {
        Sym s;
        s.kind = k;
        s.name = n;
        s.builtin = true;
        s.value = v;
        s.state = 2;
        globals[n] = s;
    };
    for (int i = 0; i < 32; i++) {
        put("r" + std::to_string(i), S_REG, i);
        put("g" + std::to_string(i), S_GLOBAL, i);
    }
    for (const AsmName& n : asm_reg_names)
        put(n.name, S_REG, n.number);
    for (const AsmName& n : asm_global_names)
        put(n.name, S_GLOBAL, n.number);
}

static bool same_place(const Loc& a, const Loc& b)
{
    return a.file == b.file && a.line == b.line && a.col == b.col;
}

// Shown in messages: a local label without its scope, a macro's label without
// the number of its use.
static std::string shown(const std::string& name)
{
    size_t at = name.find('@');
    if (at != std::string::npos)
        return name.substr(0, at);
    size_t dot = name.find('.');
    return dot == std::string::npos ? name : name.substr(dot);
}

// False when the very same line declared it before: a file included into
// several programs is read once for each.
bool Assembler::declare(std::map<std::string, Sym>& table, const std::string& name, Sym s)
{
    if (reserved(name))
        throw Failure{s.where, strf("'%s' is a reserved word", name.c_str())};
    auto g = globals.find(name);
    if (g != globals.end() && same_place(g->second.where, s.where))
        return false;
    auto l = table.find(name);
    if (l != table.end() && same_place(l->second.where, s.where))
        return false;
    if (g != globals.end()) {
        if (g->second.builtin)
            throw Failure{s.where, strf("'%s' is a built-in name", name.c_str())};
        throw Failure{s.where, strf("'%s' is already defined at %s", shown(name).c_str(),
                                    where(g->second.where).c_str())};
    }
    if (l != table.end())
        throw Failure{s.where, strf("'%s' is already defined at %s", shown(name).c_str(),
                                    where(l->second.where).c_str())};
    s.name = name;
    table[name] = s;
    return true;
}

// A source or an include of declarations is read once, however often it is
// included; an include of code is read again into each program that wants it.
void Assembler::load_file(const std::string& path, Mode mode, Loc from)
{
    std::string key = path;
    if (!opt.read) {
        char* rp = realpath(path.c_str(), nullptr);
        if (rp) {
            key = rp;
            free(rp);
        }
    } else {
        key = normalize_path(path);
    }
    if (mode != M_CODE && !seen.insert(key).second)
        return;
    if (mode == M_CODE) {
        if (std::find(include_stack.begin(), include_stack.end(), key) != include_stack.end())
            throw Failure{from, strf("\"%s\" includes itself", path.c_str())};
        if (include_stack.size() >= (size_t)ASM_MAX_INCLUDE_DEPTH)
            throw Failure{from, strf("includes nest more than %d deep", ASM_MAX_INCLUDE_DEPTH)};
        if (++code_reads > ASM_MAX_CODE_READS || cur->lines.size() > ASM_MAX_PROGRAM_LINES)
            throw Failure{from, "too much included code"};
    }
    std::string text, why;
    if (!read_source(path, text, why)) {
        error(from, strf("%s: cannot read: %s", path.c_str(), why.c_str()));
        return;
    }
    auto known = file_index.find(key);
    int fi = known != file_index.end() ? known->second : (int)files.size();
    bool fresh = known == file_index.end();
    if (fresh) {
        file_index[key] = fi;
        files.push_back(path);
        file_lines.emplace_back();
    }
    Program* outer = cur;
    Open outer_open = open;
    open = Open{};
    if (mode == M_SOURCE)
        cur = nullptr;
    include_stack.push_back(key);
    Loc origin = code_origin;
    if (mode == M_CODE && origin.file < 0)
        origin = from;  // the outermost include shows the words in the listing
    Loc outer_origin = code_origin;
    code_origin = mode == M_CODE ? origin : Loc{};
    size_t pos = 0;
    int lineno = 0;
    while (pos < text.size()) {
        size_t e = text.find('\n', pos);
        if (e == std::string::npos)
            e = text.size();
        std::string line = text.substr(pos, e - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        pos = e + 1;
        lineno++;
        if (fresh)
            file_lines[(size_t)fi].push_back(line);
        SrcLine ln;
        ln.file = fi;
        ln.line = lineno;
        ln.origin = code_origin;
        try {
            lex_line(line, ln);
            if (ln.toks.size() > 1)
                declaration_line(ln, mode);
        } catch (Failure& f) {
            error(f.loc, f.text);
            if (cur)
                cur->had_errors = true;
        }
    }
    if (open.kind)
        error(open.at, open.kind == 't' ? "'table' is never closed by 'endtable'"
                                        : "'macro' is never closed by 'endmacro'");
    include_stack.pop_back();
    code_origin = outer_origin;
    open = outer_open;
    cur = mode == M_SOURCE ? nullptr : outer;
}

void Assembler::expect_punct(Cur& c, const char* p)
{
    if (!c.punct(p))
        throw Failure{c.loc(), strf("expected '%s', found %s", p, describe(c.peek()).c_str())};
    c.next();
}

std::string Assembler::expect_name(Cur& c, const char* what)
{
    if (c.peek().kind != T_IDENT)
        throw Failure{c.loc(), strf("expected %s, found %s", what, describe(c.peek()).c_str())};
    return c.next().text;
}

void Assembler::expect_end(Cur& c)
{
    if (!c.at_end())
        throw Failure{c.loc(), strf("expected end of line, found %s", describe(c.peek()).c_str())};
}

// Step 1 for one line: declarations take effect now; a program's other lines
// are kept for step 2.
// The words that open a form at the start of a line without being reserved,
// so that older sources may use them as names.
static bool starts(const SrcLine& ln, const char* w)
{
    const Tok& t = ln.toks[0];
    const Tok& n = ln.toks[1];
    return t.kind == T_IDENT && t.text == w && !(n.kind == T_PUNCT && n.text == ":");
}

void Assembler::declaration_line(const SrcLine& ln, Mode mode)
{
    if (block_line(ln))
        return;
    bool included = mode != M_SOURCE;
    Cur c{ln};
    const Tok& t0 = c.peek();
    Loc l0 = c.loc();
    if (starts(ln, "table") && c.peek(1).kind == T_IDENT) {
        c.next();
        start_table(c, l0, cur != nullptr);
        return;
    }
    if (starts(ln, "macro") && c.peek(1).kind == T_IDENT) {
        c.next();
        start_macro(c, l0);
        return;
    }
    if (starts(ln, "endtable") || starts(ln, "endmacro"))
        throw Failure{l0, strf("'%s' without '%s'", t0.text.c_str(), t0.text.c_str() + 3)};
    if (starts(ln, "scratch") && c.peek(1).kind == T_IDENT) {
        c.next();
        Loc at = c.loc();
        std::string name = c.next().text;
        expect_end(c);
        std::string& into = cur ? cur->scratch_name : scratch_name;
        Loc& into_at = cur ? cur->scratch_at : scratch_at;
        if (!into.empty() && !same_place(into_at, at))
            throw Failure{at, strf("'scratch' is already given at %s", where(into_at).c_str())};
        into = name;
        into_at = at;
        return;
    }
    if (t0.kind == T_IDENT && t0.text == "include") {
        c.next();
        if (c.peek().kind != T_STR)
            throw Failure{c.loc(), "expected a file name in double quotes after 'include'"};
        std::string name = c.next().text;
        expect_end(c);
        const std::string& self = files[(size_t)ln.file];
        size_t slash = self.rfind('/');
        std::vector<std::string> tries;
        if (!name.empty() && name[0] == '/') {
            tries.push_back(name);
        } else {
            tries.push_back(slash == std::string::npos ? name : self.substr(0, slash + 1) + name);
            for (const auto& d : opt.include_dirs)
                tries.push_back(d.empty() ? name : d + (d.back() == '/' ? "" : "/") + name);
        }
        for (const auto& p : tries) {
            if (exists(p)) {
                load_file(p, cur ? M_CODE : M_DECLS, l0);
                return;
            }
        }
        throw Failure{l0, strf("cannot find include file \"%s\"", name.c_str())};
    }
    if (t0.kind == T_IDENT && (t0.text == "const" || t0.text == "global" || t0.text == "reg")) {
        c.next();
        Sym s;
        s.where = c.loc();
        std::string name = expect_name(c, "a name");
        expect_punct(c, "=");
        s.expr = parse_expr(c, -1);
        expect_end(c);
        s.kind = t0.text == "const" ? S_CONST : t0.text == "global" ? S_GLOBAL : S_REG;
        bool local = s.kind == S_REG && cur && mode != M_DECLS;
        declare(local ? cur->locals : globals, name, s);
        return;
    }
    if (t0.kind == T_IDENT && (t0.text == "program" || t0.text == "unused")) {
        if (included)
            throw Failure{l0, strf("'%s' cannot appear in an included file", t0.text.c_str())};
        c.next();
        auto p = std::make_unique<Program>();
        p->index = (int)progs.size();
        p->where = l0;
        p->number_expr = parse_expr(c, -1);
        if (t0.text == "program") {
            Sym s;
            s.kind = S_PROGRAM;
            s.where = c.loc();
            s.expr = p->number_expr;
            p->name = expect_name(c, "a program name");
            expect_end(c);
            declare(globals, p->name, s);
            cur = p.get();
        } else {
            p->unused = true;
            if (c.punct("..")) {
                c.next();
                p->to_expr = parse_expr(c, -1);
            }
            expect_end(c);
            cur = nullptr;
        }
        progs.push_back(std::move(p));
        return;
    }
    if (mode == M_DECLS)
        throw Failure{l0,
                      "a file included outside a program holds only declarations; include "
                      "code inside a program"};
    if (!cur)
        throw Failure{l0, "instructions must follow a 'program' line"};
    cur->lines.push_back(ln);
}

int Assembler::new_expr(Expr e)
{
    exprs.push_back(std::move(e));
    return (int)exprs.size() - 1;
}

// Precedence climbing, loosest first.
int Assembler::parse_expr(Cur& c, int scope, int level)
{
    static const char* const levels[][3] = {
        {"|", nullptr, nullptr}, {"^", nullptr, nullptr}, {"&", nullptr, nullptr},
        {"<<", ">>", nullptr},   {"+", "-", nullptr},     {"*", "/", "%"},
    };
    if (level == 6)
        return parse_unary(c, scope);
    int a = parse_expr(c, scope, level + 1);
    for (;;) {
        const char* op = nullptr;
        for (const char* o : levels[level])
            if (o && c.punct(o))
                op = o;
        if (!op)
            return a;
        Expr e;
        e.kind = E_BINARY;
        e.loc = c.loc();
        e.op = op;
        c.next();
        e.a = a;
        e.b = parse_expr(c, scope, level + 1);
        e.scope = scope;
        a = new_expr(e);
    }
}

int Assembler::parse_unary(Cur& c, int scope)
{
    struct Depth {
        int& d;
        explicit Depth(int& x) : d(x) { d++; }
        ~Depth() { d--; }
    } depth(parse_depth);
    Expr e;
    e.loc = c.loc();
    e.scope = scope;
    if (parse_depth > ASM_MAX_NESTING)
        throw Failure{e.loc, "expression nests too deeply"};
    const Tok& t = c.peek();
    if (c.punct("-") || c.punct("~") || c.punct("+")) {
        e.kind = E_UNARY;
        e.op = c.next().text;
        e.a = parse_unary(c, scope);
        return new_expr(e);
    }
    if (c.punct("(")) {
        c.next();
        int inner = parse_expr(c, scope);
        expect_punct(c, ")");
        return inner;
    }
    if (t.kind == T_NUM) {
        e.kind = E_NUM;
        e.num = c.next().num;
        return new_expr(e);
    }
    if (c.punct(".") && c.peek(1).kind == T_IDENT) {
        if (scope < 0)
            throw Failure{e.loc, "a local label ('.name') can only be used inside a program"};
        c.next();
        e.kind = E_NAME;
        e.op = progs[(size_t)scope]->local_scope + "." + c.next().text;
        return new_expr(e);
    }
    if (t.kind == T_IDENT && !reserved(t.text) && table_ref_at(c)) {
        e.kind = E_CELL;
        e.op = c.next().text;
        if (c.punct(".")) {
            c.next();
            e.field = c.next().text;
        }
        expect_punct(c, "[");
        e.a = parse_expr(c, scope);
        expect_punct(c, "]");
        return new_expr(e);
    }
    if (t.kind == T_IDENT && !reserved(t.text)) {
        e.kind = E_NAME;
        e.op = c.next().text;
        return new_expr(e);
    }
    throw Failure{e.loc, strf("expected a value, found %s", describe(t).c_str())};
}

Sym* Assembler::lookup(const std::string& n, int scope)
{
    if (scope >= 0) {
        auto& L = progs[(size_t)scope]->locals;
        auto i = L.find(n);
        if (i != L.end())
            return &i->second;
    }
    auto g = globals.find(n);
    return g == globals.end() ? nullptr : &g->second;
}

bool Assembler::eval_sym(Sym& s, Loc use, int64_t& v, bool& used_label)
{
    if (s.kind == S_REG || s.kind == S_GLOBAL) {
        error(use, strf("'%s' is %s; a value here can only use constants, labels and program names",
                        s.name.c_str(), sym_kind_name(s.kind)));
        return false;
    }
    if (s.kind == S_LABEL) {
        v = progs[(size_t)s.scope]->labels[(size_t)s.label];
        used_label = true;
        return true;
    }
    if (s.kind == S_TABLE || s.kind == S_MACRO) {
        error(use, strf("'%s' is %s; a value here can only use constants, labels and program names",
                        s.name.c_str(), sym_kind_name(s.kind)));
        return false;
    }
    if (s.table >= 0) {  // a row's name: its index
        Table& t = tables[(size_t)s.table];
        if (!layout(t))
            return false;
        v = (size_t)s.row < t.rows.size() ? t.row_index[(size_t)s.row]
            : t.rows.empty()              ? 0
                                          : t.row_index.back() + 1;
        return true;
    }
    if (s.state == 2) {
        v = s.value;
        return true;
    }
    if (s.state == 3)
        return false;
    if (s.state == 1) {
        error(s.where, strf("'%s' is defined in terms of itself", s.name.c_str()));
        s.state = 3;
        return false;
    }
    s.state = 1;
    bool dummy = false;
    bool ok = eval(s.expr, s.value, dummy);
    if (s.state == 1)
        s.state = ok ? 2 : 3;
    v = s.value;
    return s.state == 2;
}

// The number of a register or global: 0..31.
bool Assembler::eval_number(Sym& s, int64_t& v)
{
    if (s.state == 2) {
        v = s.value;
        return true;
    }
    if (s.state == 3)
        return false;
    if (s.state == 1) {
        error(s.where, strf("'%s' is defined in terms of itself", s.name.c_str()));
        s.state = 3;
        return false;
    }
    s.state = 1;
    bool dummy = false;
    int64_t n = 0;
    bool ok = eval(s.expr, n, dummy);
    if (ok && (n < 0 || n > 31)) {
        error(exprs[(size_t)s.expr].loc,
              strf("%s number must be 0..31, not %lld", s.kind == S_REG ? "register" : "global",
                   (long long)n));
        ok = false;
    }
    s.value = n;
    s.state = ok ? 2 : 3;
    v = n;
    return ok;
}

bool Assembler::eval(int ei, int64_t& v, bool& used_label)
{
    struct Depth {
        int& d;
        explicit Depth(int& x) : d(x) { d++; }
        ~Depth() { d--; }
    } depth(eval_depth);
    const Expr& e = exprs[(size_t)ei];
    if (eval_depth > ASM_MAX_EVAL_DEPTH) {
        error(e.loc, "expression nests too deeply");
        return false;
    }
    switch (e.kind) {
    case E_NUM: v = e.num; return true;
    case E_NAME: {
        Sym* s = lookup(e.op, e.scope);
        if (!s) {
            error(e.loc, strf("undefined name '%s'", shown(e.op).c_str()));
            return false;
        }
        return eval_sym(*s, e.loc, v, used_label);
    }
    case E_CELL: return eval_cell(e, v, used_label);
    case E_UNARY: {
        int64_t a;
        if (!eval(e.a, a, used_label))
            return false;
        uint64_t u = (uint64_t)a;
        v = e.op == "-" ? (int64_t)(0 - u) : e.op == "~" ? (int64_t)~u : a;
        return true;
    }
    case E_BINARY: {
        int64_t a, b;
        bool ok_a = eval(e.a, a, used_label);
        bool ok_b = eval(e.b, b, used_label);
        if (!ok_a || !ok_b)
            return false;
        uint64_t ua = (uint64_t)a, ub = (uint64_t)b;
        const std::string& o = e.op;
        if (o == "+")
            v = (int64_t)(ua + ub);
        else if (o == "-")
            v = (int64_t)(ua - ub);
        else if (o == "*")
            v = (int64_t)(ua * ub);
        else if (o == "&")
            v = a & b;
        else if (o == "|")
            v = a | b;
        else if (o == "^")
            v = a ^ b;
        else if (o == "/" || o == "%") {
            if (b == 0) {
                error(e.loc, "division by zero");
                return false;
            }
            if (b == -1)
                v = o == "/" ? (int64_t)(0 - ua) : 0;
            else
                v = o == "/" ? a / b : a % b;
        } else {
            if (b < 0 || b > 63) {
                error(e.loc, strf("shift by %lld is out of range (0..63)", (long long)b));
                return false;
            }
            v = o == "<<" ? (int64_t)(ua << b) : a >> b;
        }
        return true;
    }
    }
    return false;
}

// ---------------------------------------------------------------- step 2

void Assembler::place(Program& p, int label)
{
    p.labels[(size_t)label] = p.size;
    p.label_here = p.size;
}

// `.name` labels belong to the label before them; a macro's own labels do
// not start a new scope.
void Assembler::define_label(Program& p, const std::string& name, Loc l, bool local)
{
    Sym s;
    s.kind = S_LABEL;
    s.where = l;
    s.label = new_label(p);
    s.scope = p.index;
    declare(p.locals, name, s);
    place(p, s.label);
    if (!local && name.find('@') == std::string::npos)
        p.local_scope = name;
}

std::string Assembler::source_text(Loc l) const
{
    if (l.file < 0 || (size_t)l.line > file_lines[(size_t)l.file].size() || l.col < 1)
        return "";
    std::string t = file_lines[(size_t)l.file][(size_t)l.line - 1];
    t = t.substr(std::min(t.size(), (size_t)l.col - 1));
    size_t cut = t.find_first_of(";#");
    if (cut != std::string::npos)
        t.resize(cut);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t'))
        t.pop_back();
    return t;
}

Item& Assembler::add(Program& p, Item it)
{
    if (it.list.file == -1)
        it.list = p.list_at.file >= 0 ? p.list_at : it.loc;
    it.offset = p.size;
    p.size += (int)it.f.size();
    p.items.push_back(std::move(it));
    return p.items.back();
}

void Assembler::emit_simple(Program& p, Loc l, int op)
{
    Item it;
    it.loc = l;
    it.op = op;
    it.f.push_back(fixed(op));
    add(p, it);
}

void Assembler::emit_alu(Program& p, Loc l, const Operand& o, int alu)
{
    if (alu == ALU_STORE && o.kind == O_IMM && exprs[(size_t)o.expr].kind == E_CELL)
        throw Failure{o.loc, "a table cannot be written: its cells are constants"};
    Item it;
    it.loc = l;
    Field f;
    switch (o.kind) {
    case O_IMM:
    case O_RANDOM:
        it.op = o.kind == O_IMM ? OP_IMM : OP_RANDOM;
        it.f.push_back(fixed(it.op));
        f.kind = F_WORD;
        f.expr = o.expr;
        it.f.push_back(f);
        break;
    case O_REG:
    case O_GLOBAL:
        it.op = o.kind == O_REG ? OP_REG : OP_GLOBAL;
        it.f.push_back(fixed(it.op));
        f.kind = F_REGNO;
        f.sym = o.base;
        it.f.push_back(f);
        for (Sym* r : o.chain) {
            it.f.push_back(fixed(AMC_INDIRECT));
            f.sym = r;
            it.f.push_back(f);
        }
        break;
    case O_ACC: return;  // the value is already in the accumulator
    case O_TABLE:
        if (alu != ALU_LOAD)
            throw Failure{o.loc, strf("a table read by a register can only be loaded: 'load' it "
                                      "first, then '%s' what you need",
                                      amc_alu_names[alu - AMC_ALU_FIRST])};
        emit_table_read(p, l, o);
        return;
    }
    it.f.push_back(fixed(alu));
    add(p, it);
}

void Assembler::emit_jump(Program& p, Loc l, int op, int label, bool generated)
{
    Item it;
    it.loc = l;
    it.op = op;
    it.generated = generated;
    it.f.push_back(fixed(op));
    Field f;
    f.kind = F_LABEL;
    f.label = label;
    it.f.push_back(f);
    add(p, it);
}

// False when the last instruction never continues with the next word and
// no label has been placed after it: a join jump there would be dead.
bool Assembler::falls_through(const Program& p) const
{
    if (p.items.empty() || p.label_here == p.size)
        return true;
    // `set_handler` goes on at its target, the next word unless another is
    // given: it counts as going on.
    int op = p.items.back().op;
    return !amc_opcode_known(op) || op == OP_SET_HANDLER || !(amc_op_info[op].flow & AMC_NO_NEXT);
}

Sym* Assembler::parse_register(Cur& c, Program& p)
{
    Loc l = c.loc();
    std::string n = expect_name(c, "a register");
    Sym* s = lookup(n, p.index);
    if (!s)
        throw Failure{l, strf("undefined name '%s'", n.c_str())};
    if (s->kind != S_REG)
        throw Failure{l, strf("'%s' is %s, not a register", n.c_str(), sym_kind_name(s->kind))};
    return s;
}

Operand Assembler::parse_operand(Cur& c, Program& p, bool allow_acc)
{
    Operand o;
    o.loc = c.loc();
    int scope = p.index;
    if (c.word("random")) {
        c.next();
        o.kind = O_RANDOM;
        o.expr = parse_expr(c, scope);
        return o;
    }
    if (c.word("acc")) {
        if (!allow_acc)
            throw Failure{o.loc, "'acc' can only be the left side of a condition"};
        c.next();
        o.kind = O_ACC;
        return o;
    }
    if (table_ref_at(c)) {
        size_t back = c.i;
        parse_table_ref(c, scope, o.table, o.column);
        Sym* s = c.peek().kind == T_IDENT ? lookup(c.peek().text, scope) : nullptr;
        if (c.word("acc") || c.word("random") || (s && (s->kind == S_REG || s->kind == S_GLOBAL))) {
            o.kind = O_TABLE;
            o.index.push_back(parse_operand(c, p, true));
            expect_punct(c, "]");
            static const char* const arith[] = {"+", "-", "*", "/", "%", "|", "^", "<<", ">>"};
            for (const char* a : arith)
                if (c.punct(a))
                    throw Failure{c.loc(),
                                  "a table read by a register cannot be part of an "
                                  "expression: 'load' it first"};
            return o;
        }
        c.i = back;  // a constant row: the cell is a constant
    }
    if (c.peek().kind == T_IDENT) {
        Sym* s = lookup(c.peek().text, scope);
        if (s && (s->kind == S_REG || s->kind == S_GLOBAL)) {
            c.next();
            o.kind = s->kind == S_REG ? O_REG : O_GLOBAL;
            o.base = s;
            while (c.punct(".")) {
                c.next();
                o.chain.push_back(parse_register(c, p));
            }
            static const char* const arith[] = {"+", "-", "*", "/", "%", "|", "^", "<<", ">>"};
            for (const char* a : arith)
                if (c.punct(a))
                    throw Failure{o.loc,
                                  strf("'%s' is %s; a value here can only use constants, labels "
                                       "and program names",
                                       s->name.c_str(), sym_kind_name(s->kind))};
            return o;
        }
    }
    o.kind = O_IMM;
    o.expr = parse_expr(c, scope);
    return o;
}

int Assembler::parse_cond(Cur& c, Program& p, std::vector<Cond>& pool)
{
    int a = parse_cond_and(c, p, pool);
    while (c.punct("||")) {
        c.next();
        Cond n;
        n.kind = C_OR;
        n.a = a;
        n.b = parse_cond_and(c, p, pool);
        pool.push_back(n);
        a = (int)pool.size() - 1;
    }
    return a;
}

int Assembler::parse_cond_and(Cur& c, Program& p, std::vector<Cond>& pool)
{
    auto term = [&]() {
        Cond t;
        if (c.word("not")) {
            c.next();
            t.negate = true;
        }
        t.l = parse_operand(c, p, true);
        static const char* const cmps[] = {"==", "!=", "<=", ">=", "<", ">", "&"};
        for (const char* k : cmps) {
            if (c.punct(k)) {
                c.next();
                t.cmp = k;
                t.r = parse_operand(c, p, false);
                break;
            }
        }
        pool.push_back(t);
        if (pool.size() > 2 * ASM_MAX_TERMS)
            throw Failure{t.l.loc, strf("a condition has at most %d terms", ASM_MAX_TERMS)};
        return (int)pool.size() - 1;
    };
    int a = term();
    while (c.punct("&&")) {
        c.next();
        Cond n;
        n.kind = C_AND;
        n.a = a;
        n.b = term();
        pool.push_back(n);
        a = (int)pool.size() - 1;
    }
    return a;
}

// Emits code that jumps to `label` when the condition equals `want` and
// falls through otherwise; && and || short-circuit.
void Assembler::gen_cond(Program& p, Loc l, const std::vector<Cond>& pool, int n, bool want,
                         int label)
{
    const Cond& k = pool[(size_t)n];
    if (k.kind != C_TERM) {
        bool join_on = k.kind == C_OR;  // || is true as soon as one side is
        if (join_on == want) {
            gen_cond(p, l, pool, k.a, want, label);
            gen_cond(p, l, pool, k.b, want, label);
        } else {
            int skip = new_label(p);
            gen_cond(p, l, pool, k.a, !want, skip);
            gen_cond(p, l, pool, k.b, want, label);
            place(p, skip);
        }
        return;
    }
    int alu = 0;
    bool inverted = false;  // the ALU result is the negation of the condition
    if (k.cmp == ">")
        alu = ALU_GT;
    else if (k.cmp == "<")
        alu = ALU_LT;
    else if (k.cmp == "==")
        alu = ALU_EQ;
    else if (k.cmp == "!=")
        alu = ALU_NE;
    else if (k.cmp == ">=")
        alu = ALU_LT, inverted = true;
    else if (k.cmp == "<=")
        alu = ALU_GT, inverted = true;
    else if (k.cmp == "&")
        alu = ALU_AND;
    emit_alu(p, l, k.l, ALU_LOAD);
    if (alu)
        emit_alu(p, l, k.r, alu);
    bool jump_on_true = (want != k.negate) != inverted;
    emit_jump(p, l, jump_on_true ? OP_JUMP_IF_TRUE : OP_JUMP_IF_ZERO, label);
}

Block* Assembler::innermost_loop(Program& p)
{
    for (auto b = p.blocks.rbegin(); b != p.blocks.rend(); ++b)
        if (b->kind == B_WHILE || b->kind == B_LOOP)
            return &*b;
    return nullptr;
}

void Assembler::statement(Program& p, Cur& c)
{
    for (;;) {
        Loc l = c.loc();
        if (c.peek().kind == T_IDENT && c.punct_at(1, ":")) {
            define_label(p, c.next().text, l, false);
            c.next();
        } else if (c.punct(".") && c.peek(1).kind == T_IDENT && c.punct_at(2, ":")) {
            c.next();
            define_label(p, p.local_scope + "." + c.next().text, l, true);
            c.next();
        } else {
            break;
        }
    }
    if (c.at_end())
        return;
    Loc l = c.loc();
    if (c.peek().kind != T_IDENT)
        throw Failure{l, strf("expected an instruction, found %s", describe(c.peek()).c_str())};
    const std::string w = c.next().text;
    int scope = p.index;
    if (!p.blocks.empty() && p.blocks.back().kind == B_SWITCH && !p.blocks.back().in_case &&
        w != "case" && w != "default" && w != "endswitch")
        throw Failure{l, "only 'case' or 'default' can follow 'switch'"};
    if (switch_statement(p, c, w, l))
        return;

    if (int alu = alu_by_name(w)) {
        Operand o = parse_operand(c, p, false);
        expect_end(c);
        emit_alu(p, l, o, alu);
        return;
    }
    auto target_field = [&]() {
        Field f;
        f.kind = F_TARGET;
        f.expr = parse_expr(c, scope);
        return f;
    };
    std::vector<Cond> pool;
    if (w == "break" && (c.at_end() || c.word("if"))) {
        Block* b = innermost_loop(p);
        if (!b)
            throw Failure{l, "'break' outside a loop"};
        int end = b->end;
        if (c.word("if")) {
            c.next();
            int n = parse_cond(c, p, pool);
            expect_end(c);
            gen_cond(p, l, pool, n, true, end);
        } else {
            emit_jump(p, l, OP_JUMP, end);
        }
        return;
    }
    if (w == "continue") {
        Block* b = innermost_loop(p);
        if (!b)
            throw Failure{l, "'continue' outside a loop"};
        int top = b->top;
        if (c.word("if")) {
            c.next();
            int n = parse_cond(c, p, pool);
            expect_end(c);
            gen_cond(p, l, pool, n, true, top);
        } else {
            expect_end(c);
            emit_jump(p, l, OP_JUMP, top);
        }
        return;
    }
    if (w == "jump" || w == "break" || w == "jump_if_zero" || w == "jump_if_true" ||
        w == "break_if_true") {
        Item it;
        it.loc = l;
        it.op = w == "jump"           ? OP_JUMP
                : w == "break"        ? OP_BREAK
                : w == "jump_if_zero" ? OP_JUMP_IF_ZERO
                : w == "jump_if_true" ? OP_JUMP_IF_TRUE
                                      : OP_BREAK_IF_TRUE;
        it.f.push_back(fixed(it.op));
        it.f.push_back(target_field());
        expect_end(c);
        add(p, it);
        return;
    }
    if (w == "resume" || w == "resume_if_true" || w == "end" || w == "yield") {
        expect_end(c);
        emit_simple(p, l,
                    w == "resume"           ? OP_RESUME
                    : w == "resume_if_true" ? OP_RESUME_IF_TRUE
                    : w == "end"            ? OP_END
                                            : OP_YIELD);
        return;
    }
    if (w == "push" || w == "spawn" || w == "move") {
        int op = w == "push" ? OP_PUSH : w == "spawn" ? OP_SPAWN : OP_MOVE;
        std::vector<Operand> args;
        if (!c.at_end()) {
            args.push_back(parse_operand(c, p, false));
            while (c.punct(",")) {
                c.next();
                args.push_back(parse_operand(c, p, false));
            }
        }
        expect_end(c);
        if (op == OP_PUSH && args.size() > 1)
            throw Failure{l, "'push' takes one value"};
        if (op == OP_MOVE && !args.empty() && args.size() != 3)
            throw Failure{l, "'move' takes dx, dy and a duration, or nothing"};
        if (args.size() > AMC_ARGS)
            throw Failure{l, strf("at most %d values fit the argument stack", AMC_ARGS)};
        for (size_t i = 0; i < args.size(); i++) {
            emit_alu(p, l, args[i], ALU_LOAD);
            if (i + 1 < args.size())
                emit_simple(p, l, OP_PUSH);
        }
        emit_simple(p, l, op);
        return;
    }
    if (w == "set_handler") {
        Item it;
        it.loc = l;
        it.op = OP_SET_HANDLER;
        it.f.push_back(fixed(OP_SET_HANDLER));
        Field handler;
        if (c.word("none")) {
            c.next();
            handler = fixed(AMC_HANDLER_NONE);
        } else {
            handler = target_field();
        }
        Field target = fixed(p.size + 3);
        if (c.punct(",")) {
            c.next();
            target = target_field();
        }
        expect_end(c);
        it.f.push_back(target);
        it.f.push_back(handler);
        add(p, it);
        return;
    }
    if (w == "set_reg") {
        Item it;
        it.loc = l;
        it.op = OP_SET_REG;
        it.f.push_back(fixed(OP_SET_REG));
        Field r;
        r.kind = F_REGNO;
        r.sym = parse_register(c, p);
        it.f.push_back(r);
        expect_punct(c, ",");
        Field v;
        v.kind = F_WORD;
        v.expr = parse_expr(c, scope);
        it.f.push_back(v);
        expect_end(c);
        add(p, it);
        return;
    }
    if (w == "jump_reg" || w == "return") {
        Item it;
        it.loc = l;
        it.op = OP_JUMP_REG;
        it.f.push_back(fixed(OP_JUMP_REG));
        Field r;
        r.kind = F_REGNO;
        r.sym = w == "return" && c.at_end() ? &globals["ret"] : parse_register(c, p);
        it.f.push_back(r);
        expect_end(c);
        it.is_return = w == "return";
        it.text = source_text(l);
        add(p, it);
        return;
    }
    if (w == "call") {
        Field target = target_field();
        Field r;
        r.kind = F_REGNO;
        r.sym = &globals["ret"];
        if (c.punct(",")) {
            c.next();
            r.sym = parse_register(c, p);
        }
        expect_end(c);
        Item set;
        set.loc = l;
        set.op = OP_SET_REG;
        set.f.push_back(fixed(OP_SET_REG));
        set.f.push_back(r);
        set.f.push_back(fixed(p.size + 5));
        set.f[2].root = true;  // the return lands here
        set.call_set = true;
        set.text = source_text(l);
        add(p, set);
        Item j;
        j.loc = l;
        j.op = OP_JUMP;
        j.f.push_back(fixed(OP_JUMP));
        j.f.push_back(target);
        j.call_jump = true;
        add(p, j);
        p.label_here = p.size;  // the return lands here
        return;
    }
    if (w == "word") {
        for (;;) {
            Item it;
            it.loc = c.loc();
            Field f;
            f.kind = F_WORD;
            f.expr = parse_expr(c, scope);
            it.f.push_back(f);
            add(p, it);
            if (!c.punct(","))
                break;
            c.next();
        }
        expect_end(c);
        return;
    }
    if (w == "if") {
        int n = parse_cond(c, p, pool);
        expect_end(c);
        Block b{B_IF, l};
        b.end = new_label(p);
        b.next = new_label(p);
        gen_cond(p, l, pool, n, false, b.next);
        p.blocks.push_back(b);
        return;
    }
    if (w == "elif" || w == "else") {
        bool is_elif = w == "elif";
        if (w == "else" && c.word("if")) {
            c.next();
            is_elif = true;
        }
        if (p.blocks.empty() || p.blocks.back().kind != B_IF)
            throw Failure{l, strf("'%s' without 'if'", w.c_str())};
        if (p.blocks.back().has_else)
            throw Failure{l, strf("'%s' after 'else'", is_elif ? "elif" : "else")};
        int n = -1;
        if (is_elif)
            n = parse_cond(c, p, pool);
        expect_end(c);
        Block& b = p.blocks.back();
        if (falls_through(p))
            emit_jump(p, l, OP_JUMP, b.end, true);
        place(p, b.next);
        if (is_elif) {
            b.next = new_label(p);
            gen_cond(p, l, pool, n, false, b.next);
        } else {
            b.next = -1;
            b.has_else = true;
        }
        return;
    }
    if (w == "endif" || w == "endwhile" || w == "endloop") {
        expect_end(c);
        BlockKind k = w == "endif" ? B_IF : w == "endwhile" ? B_WHILE : B_LOOP;
        const char* opener = k == B_IF ? "if" : k == B_WHILE ? "while" : "loop";
        if (p.blocks.empty() || p.blocks.back().kind != k)
            throw Failure{l, strf("'%s' without '%s'", w.c_str(), opener)};
        Block b = p.blocks.back();
        p.blocks.pop_back();
        if (k == B_IF) {
            if (b.next >= 0)
                place(p, b.next);
        } else if (falls_through(p)) {
            emit_jump(p, l, OP_JUMP, b.top, true);
        }
        place(p, b.end);
        return;
    }
    if (w == "while" || w == "loop") {
        Block b{w == "while" ? B_WHILE : B_LOOP, l};
        b.top = new_label(p);
        b.end = new_label(p);
        place(p, b.top);
        if (w == "while") {
            int n = parse_cond(c, p, pool);
            expect_end(c);
            gen_cond(p, l, pool, n, false, b.end);
        } else {
            expect_end(c);
        }
        p.blocks.push_back(b);
        return;
    }
    if (w == "program" || w == "unused" || w == "include" || w == "const" || w == "global" ||
        w == "reg")
        throw Failure{l, strf("'%s' must start its line", w.c_str())};
    throw Failure{l, strf("unknown instruction '%s'", w.c_str())};
}

void Assembler::build(Program& p)
{
    int before = p.had_errors ? -1 : errors;
    for (const SrcLine& ln : p.lines) {
        try {
            expand(p, ln, 0, p.flat);
        } catch (Failure& f) {
            error(f.loc, f.text);
        }
    }
    for (p.at = 0; p.at < p.flat.size(); p.at++) {
        const SrcLine& ln = p.flat[p.at];
        p.list_at = ln.origin.file >= 0 ? ln.origin : Loc{ln.file, ln.line, 0};
        Cur c{ln};
        try {
            statement(p, c);
        } catch (Failure& f) {
            // A fault of the macro's own text: say where it was used.
            if (ln.expansion >= 0 && f.loc.file == ln.file && f.loc.line == ln.line) {
                const Expansion& x = expansions[(size_t)ln.expansion];
                f.text += strf(" (in macro '%s' used at %s)", macros[(size_t)x.macro].name.c_str(),
                               where(x.at).c_str());
            }
            error(f.loc, f.text);
        }
    }
    for (const Block& b : p.blocks) {
        const char* names[] = {"if", "while", "loop", "switch"};
        const char* ends[] = {"endif", "endwhile", "endloop", "endswitch"};
        error(b.loc, strf("'%s' is never closed by '%s'", names[b.kind], ends[b.kind]));
    }
    p.code_size = p.size;
    emit_tables(p);
    if (p.size > p.code_size && p.size > 32768)
        error(p.where, strf("the table cells of program '%s' end at word %d, past 32767 where a "
                            "jump can reach",
                            p.name.c_str(), p.size - 1));
    p.had_errors = errors != before;
}

// ---------------------------------------------------------------- step 3

void Assembler::number_programs()
{
    std::map<int, Program*> by_number;
    for (auto& up : progs) {
        Program& p = *up;
        int64_t n, m;
        bool dummy = false;
        if (!eval(p.number_expr, n, dummy))
            continue;
        m = n;
        if (p.to_expr >= 0 && !eval(p.to_expr, m, dummy))
            continue;
        if (n < 0 || n >= AMC_MAX_PROGRAMS || m < n || m >= AMC_MAX_PROGRAMS) {
            error(p.where, n == m ? strf("program number %lld is out of range (0..%d)",
                                         (long long)n, AMC_MAX_PROGRAMS - 1)
                                  : strf("program numbers %lld..%lld are not a range within 0..%d",
                                         (long long)n, (long long)m, AMC_MAX_PROGRAMS - 1));
            continue;
        }
        p.number = (int)n;
        p.number_to = (int)m;
        for (int k = (int)n; k <= (int)m; k++) {
            auto [it, fresh] = by_number.emplace(k, &p);
            if (!fresh) {
                Program* q = it->second;
                error(p.where, strf("program number %d is already used by %s at %s", k,
                                    q->unused ? "'unused'" : ("'" + q->name + "'").c_str(),
                                    where(q->where).c_str()));
            }
        }
    }
    int expect = 0;
    for (auto& [n, p] : by_number) {
        if (n > expect) {
            error(p->where, expect + 1 == n ? strf("program number %d is missing: numbers must run "
                                                   "0, 1, 2, ... without gaps",
                                                   expect)
                                            : strf("program numbers %d..%d are missing: numbers "
                                                   "must run 0, 1, 2, ... without gaps",
                                                   expect, n - 1));
        }
        expect = n + 1;
    }
}

void Assembler::encode(Program& p)
{
    if (p.size == 0 && !p.had_errors)
        error(p.where, strf("program '%s' has no instructions", p.name.c_str()));
    if (p.size > 65535)
        error(p.where,
              strf("program '%s' is %d words long; at most 65535 fit", p.name.c_str(), p.size));
    for (Item& it : p.items) {
        for (Field& f : it.f) {
            int64_t v = f.value;
            bool used_label = false;
            switch (f.kind) {
            case F_FIXED: break;
            case F_LABEL: v = (int16_t)(uint16_t)(p.labels[(size_t)f.label] + f.addend); break;
            case F_REGNO:
                if (!eval_number(*f.sym, v))
                    v = 0;
                break;
            case F_WORD:
            case F_TARGET: {
                Loc at = exprs[(size_t)f.expr].loc;
                if (!eval(f.expr, v, used_label)) {
                    v = 0;
                    break;
                }
                if (v < -32768 || v > 65535) {
                    error(at, strf("value %lld does not fit in a 16-bit word", (long long)v));
                    v = 0;
                } else if (f.kind == F_TARGET && used_label && v > 32767) {
                    error(at, strf("a jump cannot reach word %lld (at most 32767)", (long long)v));
                }
                if (used_label)
                    f.root = true;
                break;
            }
            }
            f.value = v;
            it.words.push_back((uint16_t)v);
            if (f.root && f.kind != F_TARGET)
                p.roots.push_back((int)v);
        }
    }
}

// ---------------------------------------------------------------- step 4

void Assembler::check_flow(Program& p)
{
    const int n = p.size;
    std::vector<int> start(n > 0 ? (size_t)n : 0, -1);
    for (size_t i = 0; i < p.items.size(); i++)
        start[(size_t)p.items[i].offset] = (int)i;
    // Where each instruction may go next: the word after it, unless it never
    // goes on there, and its target and handler words.
    auto succ = [&](const Item& it, std::vector<int>& out, bool& next) {
        int op = it.op;
        next = (amc_opcode_known(op) && !(amc_op_info[op].flow & AMC_NO_NEXT)) ||
               it.flow_next;  // a table read comes back after its jump
        for (int l : it.flow_labels)
            out.push_back(p.labels[(size_t)l]);
        for (int i = 0; amc_opcode_known(op) && i < 2; i++) {
            const AmcArg kind = amc_op_info[op].arg[i];
            const uint16_t word = it.words.size() > (size_t)i + 1 ? it.words[(size_t)i + 1] : 0;
            if (kind == ARG_TARGET || (kind == ARG_HANDLER && word != AMC_HANDLER_NONE))
                out.push_back((int16_t)word);
        }
    };
    for (const Item& it : p.items) {
        std::vector<int> t;
        bool next;
        succ(it, t, next);
        for (int v : t) {
            if (v < 0 || v >= n)
                warn(it.loc, strf("jump target %d is outside the program (0..%d)", v, n - 1));
            else if (start[(size_t)v] < 0)
                warn(it.loc, strf("jump target %d is inside an instruction", v));
        }
    }
    std::vector<char> seen(p.items.size(), 0);
    std::vector<int> work;
    auto visit = [&](int off) {
        if (off >= 0 && off < n && start[(size_t)off] >= 0 && !seen[(size_t)start[(size_t)off]]) {
            seen[(size_t)start[(size_t)off]] = 1;
            work.push_back(start[(size_t)off]);
        }
    };
    visit(0);
    for (int r : p.roots)
        visit(r);
    while (!work.empty()) {
        const Item& it = p.items[(size_t)work.back()];
        work.pop_back();
        std::vector<int> t;
        bool next;
        succ(it, t, next);
        int after = it.offset + (int)it.words.size();
        // Table cells after the code are no place to arrive at by falling.
        if (next && after >= p.code_size) {
            if (it.op == OP_YIELD || it.op == OP_MOVE)
                warn(it.loc,
                     strf("the turn after this '%s' would start past the end of the program",
                          amc_op_info[it.op].name));
            else
                warn(it.loc, "execution can run off the end of the program");
        }
        if (next && after < p.code_size)
            t.push_back(after);
        for (int v : t)
            visit(v);
    }
    bool in_dead = false;
    for (size_t i = 0; i < p.items.size(); i++) {
        const Item& it = p.items[i];
        bool dead = !seen[i] && it.op != 0;
        if (dead && !in_dead && !it.generated)
            warn(it.loc, "unreachable code");
        in_dead = dead && !it.generated ? true : dead && in_dead;
        if (!dead)
            in_dead = false;
    }
}

void Assembler::write_listing()
{
    std::map<std::pair<int, int>, std::vector<const Item*>> at;
    std::map<std::pair<int, int>, const Program*> header;
    std::map<std::pair<int, int>, std::vector<const Program*>> trailer;  // table cells
    for (size_t i = 0; i < progs.size(); i++) {
        const Program* up = progs[i].get();
        header[{up->where.file, up->where.line}] = up;
        for (const Item& it : up->items)
            if (it.list.file >= 0)
                at[{it.list.file, it.list.line}].push_back(&it);
        int last = (int)file_lines[(size_t)up->where.file].size();
        if (i + 1 < progs.size() && progs[i + 1]->where.file == up->where.file)
            last = progs[i + 1]->where.line - 1;
        if (up->code_size < up->size)
            trailer[{up->where.file, last}].push_back(up);
    }
    std::string& o = res.listing;
    for (size_t f = 0; f < files.size(); f++) {
        o += "; " + files[f] + "\n";
        for (size_t l = 0; l < file_lines[f].size(); l++) {
            std::pair<int, int> key{(int)f, (int)l + 1};
            auto h = header.find(key);
            if (h != header.end() && !h->second->unused)
                o += strf(";   program %d '%s', %d words\n", h->second->number,
                          h->second->name.c_str(), h->second->size);
            std::vector<uint16_t> words;
            int first = -1;
            auto a = at.find(key);
            if (a != at.end()) {
                first = a->second.front()->offset;
                for (const Item* it : a->second)
                    words.insert(words.end(), it->words.begin(), it->words.end());
            }
            // Six words to a row; long expansions continue on further rows.
            size_t k = 0;
            do {
                size_t row = std::min<size_t>(6, words.size() - k);
                std::string ws;
                for (size_t j = 0; j < row; j++)
                    ws += strf("%s%d", j ? " " : "", (int16_t)words[k + j]);
                std::string off = row ? strf("%5d", first + (int)k) : "     ";
                std::string text = k == 0 ? file_lines[f][l] : "";
                std::string line = strf("%5zu %s  %-36s", l + 1, off.c_str(), ws.c_str()) + text;
                while (!line.empty() && line.back() == ' ')
                    line.pop_back();
                o += line + "\n";
                k += row;
            } while (k < words.size());
            auto t = trailer.find(key);
            if (t == trailer.end())
                continue;
            for (const Program* tp : t->second) {
                o += strf(";   table cells of program %d '%s'\n", tp->number, tp->name.c_str());
                for (size_t i = 0; i + 2 < tp->items.size(); i++) {
                    if (tp->items[i].note.empty())
                        continue;
                    std::string ws;
                    for (size_t j = i; j < i + 3; j++)
                        for (uint16_t w : tp->items[j].words)
                            ws += strf("%s%d", ws.empty() ? "" : " ", (int16_t)w);
                    o += strf("      %5d  %-36s; %s\n", tp->items[i].offset, ws.c_str(),
                              tp->items[i].note.c_str());
                }
            }
        }
    }
}

// Messages are found step by step; they read best in source order.
void Assembler::sort_messages()
{
    std::vector<size_t> order(res.messages.size());
    for (size_t i = 0; i < order.size(); i++)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const Loc &x = message_locs[a], &y = message_locs[b];
        return std::tie(x.file, x.line, x.col) < std::tie(y.file, y.line, y.col);
    });
    std::vector<AsmMessage> sorted;
    for (size_t i : order)
        sorted.push_back(std::move(res.messages[i]));
    res.messages = std::move(sorted);
}

void Assembler::run(const std::vector<std::string>& sources)
{
    run_steps(sources);
    sort_messages();
}

void Assembler::run_steps(const std::vector<std::string>& sources)
{
    predeclare();
    for (const auto& s : sources)
        load_file(s, M_SOURCE, Loc{});
    // Labels are declared later; a clash with a global name is checked there.
    for (auto& up : progs)
        for (auto& [name, s] : up->locals)
            if (globals.count(name))
                error(s.where, strf("'%s' is already defined at %s", name.c_str(),
                                    where(globals[name].where).c_str()));
    for (auto& up : progs)
        if (!up->unused)
            build(*up);
    number_programs();
    // Declarations nothing uses still deserve their errors.
    auto check_all = [&](std::map<std::string, Sym>& table) {
        for (auto& [name, s] : table) {
            int64_t v;
            bool dummy = false;
            if (s.builtin || s.kind == S_LABEL || s.kind == S_TABLE || s.kind == S_MACRO)
                continue;
            if (s.kind == S_CONST || s.kind == S_PROGRAM)
                eval_sym(s, s.where, v, dummy);
            else
                eval_number(s, v);
        }
    };
    check_all(globals);
    for (auto& up : progs)
        check_all(up->locals);
    check_tables();
    for (auto& up : progs)
        if (!up->unused)
            encode(*up);
    if (errors == 0)
        for (auto& up : progs)
            if (!up->unused) {
                check_flow(*up);
                check_calls(*up);
            }
    if (errors == 0 && opt.listing)
        write_listing();
    res.ok = errors == 0;
    res.files = files;
    if (!res.ok)
        return;
    std::map<int, const Program*> order;
    for (auto& up : progs)
        for (int k = up->number; k <= up->number_to; k++)
            order[k] = up.get();
    for (auto& [n, p] : order) {
        AsmProgramOut out;
        out.number = n;
        if (p->unused) {
            out.words = {(uint16_t)OP_END};
        } else {
            out.name = p->name;
            for (const Item& it : p->items)
                out.words.insert(out.words.end(), it.words.begin(), it.words.end());
        }
        res.programs.push_back(std::move(out));
    }
}

}  // namespace amcasm_impl

AsmResult asm_assemble(const std::vector<std::string>& sources, const AsmOptions& opt)
{
    AsmResult r;
    amcasm_impl::Assembler a(opt, r);
    a.run(sources);
    return r;
}
