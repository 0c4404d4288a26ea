#include "audio/music.h"

#include <aldumb.h>
#include <allegro.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "audio/modcheck.h"
#include "audio/state.h"
#include "audio/volume.h"
#include "engine/diag.h"
#include "fileio/fileio.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define NWD_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define NWD_SANITIZED 1
#endif

namespace {

constexpr int PROBE_MS = 3000;
#ifndef NWD_SANITIZED
constexpr rlim_t PROBE_MEMORY = rlim_t(1) << 30;
#endif

void on_switch_out() { audio.window_out.store(true); }
void on_switch_in() { audio.window_out.store(false); }

float player_volume() { return audio.music_volume / 256.0f; }

void release(MusicSlot& s)
{
    if (s.module)
        audio.music_ops->unload(s.module);
    s.module = nullptr;
}

// At exit, after the last poll. A player still running (a run that ended
// without the shutdown sequence) keeps its module: it still reads it.
void release_cache()
{
    if (audio.player)
        return;
    for (MusicSlot& s : audio.music_slots)
        release(s);
}

}  // namespace

const MusicOps dumb_music_ops = {music_load_module, unload_duh,    al_start_duh, al_stop_duh,
                                 al_pause_duh,      al_resume_duh, al_poll_duh,  al_duh_set_volume};

namespace {

// The quick readers: the plain ones first play the whole song through to
// time it, which a damaged file can stretch to minutes and hundreds of
// megabytes.
DUH* read_module(const void* data, long size)
{
    DUH* (*const readers[])(DUMBFILE*) = {dumb_read_it_quick, dumb_read_xm_quick,
                                          dumb_read_s3m_quick, dumb_read_mod_quick};
    for (auto read : readers) {
        DUMBFILE* f = dumbfile_open_memory(static_cast<const char*>(data), size);
        if (!f)
            return nullptr;
        DUH* d = read(f);
        dumbfile_close(f);
        if (d)
            return d;
    }
    return nullptr;
}

// Whether the readers get through `data` and a moment of it plays, tried in
// a child process within PROBE_MS and PROBE_MEMORY: the readers trust what
// a file says, and a damaged one can crash them or run away with time and
// memory. Only the child pays for that; the same bytes then load here.
bool module_survives(const void* data, long size)
{
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGALRM})
            std::signal(sig, SIG_DFL);
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0)
            dup2(null, 2);
#ifndef NWD_SANITIZED  // sanitizers reserve more address space than any cap
        rlimit cap{PROBE_MEMORY, PROBE_MEMORY};
        setrlimit(RLIMIT_AS, &cap);
#endif
        alarm(PROBE_MS / 1000 + 1);
        DUH* d = read_module(data, size);
        if (!d)
            _exit(1);
        DUH_SIGRENDERER* r = duh_start_sigrenderer(d, 0, 2, 0);
        static short out[2 * 4096];
        for (int i = 0; r && i < 6; i++)
            duh_render(r, 16, 0, 1.0f, 65536.0f / 22050, 4096, out);
        _exit(r ? 0 : 1);
    }
    int status = 0;
    for (int waited = 0;; waited += 5) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (done < 0)
            return false;
        if (waited >= PROBE_MS) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return false;
        }
        usleep(5000);
    }
}

}  // namespace

DUH* music_load_module_bytes(const void* data, long size)
{
    // The structure first, here and at once; only what passes is tried in
    // the probe's own process.
    if (size <= 0 || module_check(static_cast<const uint8_t*>(data), (size_t)size) == MODULE_NONE)
        return nullptr;
    return module_survives(data, size) ? read_module(data, size) : nullptr;
}

DUH* music_load_module(const char* path)
{
    if (!path || !path[0])
        return nullptr;
    // Read whole, within a cap and only from a regular file, so that loading
    // costs a bounded time and memory whatever the file holds or is.
    char* bytes;
    long size = 0;
    if (file_read_all(path, MUSIC_MAX_FILE, &bytes, &size) != FILE_OK)
        return nullptr;
    DUH* d = size > 0 ? music_load_module_bytes(bytes, size) : nullptr;
    std::free(bytes);
    return d;
}

int music_init()
{
    static bool exit_hooks;
    if (!exit_hooks) {
        // Run in reverse: the modules go before the library that made them.
        std::atexit(dumb_exit);
        std::atexit(release_cache);
        exit_hooks = true;
    }
    dumb_register_stdfiles();
    install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr);  // normally already installed
    music_stop();
    for (MusicSlot& s : audio.music_slots) {
        release(s);
        s.name[0] = '\0';
    }
    audio.window_out.store(false);
    audio.paused_for_switch = false;
    if (set_display_switch_callback(SWITCH_OUT, on_switch_out) == 0)
        set_display_switch_callback(SWITCH_IN, on_switch_in);
    return 0;
}

int music_play(int slot, const char* dir, const char* name)
{
    if (slot < 0 || slot >= MUSIC_SLOTS)
        return 1;
    if (!dir)
        dir = "";
    if (!name)
        name = "";
    if (audio.player) {
        if (std::strcmp(name, audio.player_name) == 0)
            return 0;
        music_stop();
    }
    MusicSlot& s = audio.music_slots[slot];
    audio.player_name = s.name;
    if (!name[0]) {
        release(s);
        s.name[0] = '\0';
        return 0;
    }

    char path[512];
    int joined = std::snprintf(path, sizeof path, "%s%s", dir, name);
    if (std::strcmp(name, s.name) != 0) {
        release(s);
        s.name[0] = '\0';
        // A name the slot cannot hold would never match again: refused like a
        // file that is not there.
        if (std::strlen(name) >= sizeof s.name || joined >= (int)sizeof path) {
            diag("Unsupported Mod type or file not found : <%s>\n", path);
            return 1;
        }
        std::strcpy(s.name, name);
        s.module = audio.music_ops->load(path);
        if (!s.module)
            s.module = audio.music_ops->load(name);
        if (!s.module) {
            // The slot keeps the name: asking again does not retry the load.
            diag("Unsupported Mod type or file not found : <%s>\n", path);
            return 1;
        }
    }

    if (s.module)
        audio.player = audio.music_ops->start(s.module, 2, 0, 1.0f, 4096, 22050);
    if (!audio.player) {
        diag("Error : Unable to play a loaded song\n");
        return 1;
    }
    audio.music_ops->set_volume(audio.player, player_volume());
    if (audio.paused_for_switch)
        audio.music_ops->pause(audio.player);
    return 0;
}

void music_stop()
{
    if (audio.player)
        audio.music_ops->stop(audio.player);
    audio.player = nullptr;
}

void music_poll()
{
    bool out = audio.window_out.load();
    if (out != audio.paused_for_switch) {
        audio.paused_for_switch = out;
        out ? music_pause() : music_resume();
    }
    if (audio.player)
        audio.music_ops->poll(audio.player);
}

void music_pause()
{
    if (audio.player)
        audio.music_ops->pause(audio.player);
}

void music_resume()
{
    if (audio.player)
        audio.music_ops->resume(audio.player);
}

AL_DUH_PLAYER* music_player() { return audio.player; }

int music_get_volume() { return audio.music_volume; }

void music_set_volume(int v)
{
    audio.music_volume = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    if (audio.player)
        audio.music_ops->set_volume(audio.player, player_volume());
}

void music_volume_up() { music_set_volume(volume_raised(audio.music_volume)); }
void music_volume_down() { music_set_volume(volume_lowered(audio.music_volume)); }
