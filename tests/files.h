// Whole files read and written, a scratch folder that goes with its owner,
// and a command's exit status: what most tests that touch disk need.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace testfiles {

inline std::string slurp(const std::string& path)
{
    std::stringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

inline void spit(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// -1 for a command ended by a signal.
inline int status_of(const std::string& cmd)
{
    int st = std::system(cmd.c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// Its status, and what it wrote to standard output in `out`.
inline int output_of(const std::string& cmd, std::string& out)
{
    out.clear();
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return -1;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
        out.append(buf, n);
    int st = pclose(p);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// Its status and what it wrote to standard error; standard output is dropped.
struct Outcome {
    int status;
    std::string err;
};
inline Outcome errors_of(const std::string& cmd)
{
    Outcome o;
    o.status = output_of("{ " + cmd + "; } 2>&1 >/dev/null", o.err);
    return o;
}

struct Scratch {
    std::string dir;
    Scratch()
    {
        char d[] = "/tmp/nwd-test-XXXXXX";
        dir = mkdtemp(d) ? d : "";
    }
    ~Scratch()
    {
        if (!dir.empty())
            std::system(("rm -rf " + dir).c_str());
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    std::string operator/(const std::string& name) const { return dir + "/" + name; }
};

// A scratch folder made the working one for as long as it lives: for code
// that reads and writes beside the game.
struct ScratchCwd : Scratch {
    std::string old;
    bool entered = false;
    ScratchCwd()
    {
        if (char* c = getcwd(nullptr, 0))
            old = c, free(c);
        entered = !dir.empty() && !old.empty() && chdir(dir.c_str()) == 0;
    }
    ~ScratchCwd()
    {
        if (entered && chdir(old.c_str()) != 0)
            std::abort();  // the rest of the run would write in the wrong place
    }
};

}  // namespace testfiles
