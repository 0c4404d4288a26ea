#include "shell/startup.h"
#include "gfx/main_data.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "audio/music.h"
#include "audio/sfx.h"
#include "config/state.h"
#include "datafile/datcheck.h"
#include "demo/state.h"
#include "engine/amc.h"
#include "engine/diag.h"
#include "fileio/fileio.h"
#include "fileio/manifest.h"
#include "frontend/menu.h"
#include "game/scores.h"
#include "game/session.h"
#include "game/state.h"
#include "gfx/display.h"
#include "gfx/state.h"
#include "input/state.h"
#include "nwd_datafile_key.h"
#include "shell/options.h"
#include "shell/state.h"

ShellState shell;

namespace {

void on_close_button() { input.close_requested.store(true); }
END_OF_FUNCTION(on_close_button)

// A start-up failure: said on the terminal, then in a message box that
// waits for its click on its own, so that the exit status comes at once.
int fail(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
int fail(const char* fmt, ...)
{
    char text[1024];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    startup_message(text);
    return STARTUP_FAILED;
}

// Every signal that would end the program ends it as the close button does,
// so the settings and scores are written rather than lost: Ctrl+C, a polite
// kill, a dropped terminal or ssh link (SIGHUP, SIGPIPE), SIGQUIT, SIGUSR1/2.
constexpr int STOP_SIGNALS[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGPIPE};
void on_stop_signal(int) { input.close_requested.store(true); }

void stop_signal_set(sigset_t* set)
{
    sigemptyset(set);
    for (int sig : STOP_SIGNALS)
        sigaddset(set, sig);
}

// How long the X server may take to answer before start-up gives up.
constexpr int CONNECT_MS = 10000;

const char NO_DISPLAY[] =
    "Nightward: no display could be opened (no X server reachable and no console).\n"
    "Start it from a graphical session, or point DISPLAY at a running X server,\n"
    "for instance: xvfb-run ./nwd\n";

// The library's start connects to the X server, which may never answer:
// a watchdog ends the wait. A stop signal meanwhile (held back, so the
// library's own handlers never see it) ends the run at once: nothing has
// been read yet, so nothing is lost.
bool init_library_bounded()
{
    std::atomic<bool> done{false};
    std::thread watchdog([&done] {
        sigset_t pending;
        for (int waited = 0; !done.load(); waited += 20) {
            if (waited >= CONNECT_MS) {
                dprintf(shell.console_error_fd, "%s", NO_DISPLAY);
                _exit(1);
            }
            sigpending(&pending);
            for (int sig : STOP_SIGNALS)
                if (sigismember(&pending, sig)) {
                    dprintf(shell.console_error_fd,
                            "Nightward: stopped before the display answered\n");
                    _exit(1);
                }
            usleep(20000);
        }
    });
    int r = allegro_init();
    done.store(true);
    watchdog.join();
    return r == 0;
}

// The display went away under the game: keep what the player would lose.
// Runs with the X library's locks held, so it touches neither the library
// nor the display, only files.
void save_on_display_loss()
{
    bool lost = save_player_files() != 0;
    if (config.launch.record && demos.last_game &&
        demo_save(demos.last_game, config.launch.demo_file) != 0) {
        dprintf(shell.console_error_fd, "Nightward: cannot save the demo to %s\n",
                config.launch.demo_file);
        lost = true;
    }
    const char* what =
        lost ? "not everything could be saved"
        : shell.loaded_player_files == (SAVE_SETTINGS | SAVE_SCORES) ? "settings and scores saved"
        : shell.loaded_player_files == SAVE_SETTINGS                 ? "settings saved"
        : shell.loaded_player_files == SAVE_SCORES                   ? "scores saved"
                                                   : "nothing had been read, nothing written";
    diag("the display was lost; %s\n", what);
    dprintf(shell.console_error_fd, "Nightward: the display was lost; %s\n", what);
}

// One copy of the game a folder: two would write each other's settings and
// scores. The lock goes with the process, whatever way it ends.
bool lock_working_folder()
{
    int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return true;  // nothing to share then
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        close(fd);
        return false;
    }
    return true;  // kept open for the run (a file system without locks lets it be)
}

void report_changed_file(const char* path, const char* why)
{
    diag("%s: %s (%s); the game plays with it\n", path, why, MANIFEST_NAME);
}

// Damage that passes every check of a file's form still changes the game:
// each file that differs from the shipped one is said once.
void check_shipped_files()
{
    const char* dirs[] = {config.data_dir, config.amc_dir};
    for (int i = 0; i < 2; i++) {
        if (i == 1 && std::strcmp(config.amc_dir, config.data_dir) == 0)
            break;
        if (manifest_check(dirs[i], report_changed_file) == -2)
            diag("%s%s: damaged; the shipped files are not checked\n", dirs[i], MANIFEST_NAME);
    }
}

}  // namespace

bool data_file_present(const char* path)
{
    // Installed copies are often read-only: those count too.
    return file_exists(path, FA_ARCH | FA_RDONLY, nullptr) != 0;
}

int startup(int argc, char** argv)
{
    choose_dir_prefixes(std::getenv("NWD_ALL"), std::getenv("NWD_DAT"), std::getenv("NWD_AMC"));
    const char* cfg = std::getenv("NWD_CFG");
    std::snprintf(shell.config_path, sizeof shell.config_path, "%s%s", cfg ? cfg : "", CONFIG_FILE);

    // Held back until the library is up: its own handlers would end the
    // run at once, and its threads are better left without them.
    sigset_t stops, before;
    stop_signal_set(&stops);
    pthread_sigmask(SIG_BLOCK, &stops, &before);
    if (!init_library_bounded()) {
        // Without a system driver every later call would crash: say why
        // where the player can see it.
        dprintf(shell.console_error_fd, "%s", NO_DISPLAY);
        return STARTUP_FAILED;
    }
    display_on_loss(save_on_display_loss);
    // The screens a game opens belong to the menus above it.
    game.screens = {pause_menu, [](const char* text) { show_notice(text); }};
    install_timer();
    install_keyboard();
    clear_keybuf();
    {
        DisplayCall call;
        set_window_title("Nightward");
    }
    LOCK_FUNCTION(on_close_button);
    set_close_button_callback(on_close_button);
    struct sigaction stop = {};
    stop.sa_handler = on_stop_signal;
    sigemptyset(&stop.sa_mask);
    for (int sig : STOP_SIGNALS)
        sigaction(sig, &stop, nullptr);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    set_color_depth(8);

    if (get_desktop_resolution(&gfx.desktop_width, &gfx.desktop_height) != 0)
        gfx.desktop_width = gfx.desktop_height = -1;

    amc_unload_all();
    std::snprintf(shell.amc_path, sizeof shell.amc_path, "%s%s", config.amc_dir, "GAME.AMC");
    if (amc_load(shell.amc_path) != 0)
        return fail("Error loading AMC program %s\n", shell.amc_path);
    demo_note_programs();

    if (!parse_command_line(argc, argv))
        return 0;
    if (!lock_working_folder())
        return fail("Another copy of Nightward is running in this folder.\n");

    load_player_files();
    for (int n = 0; n <= 5; n++)
        if (std::strcmp(progress_code(n), config.settings.lastlevel) == 0) {
            game.furthest_level = static_cast<int16_t>(n);
            break;
        }

    const GfxDriverDesc& configured = gfx_driver_table[config.settings.card];
    int width = configured.windowed ? config.settings.window_width : config.settings.screen_width;
    int height =
        configured.windowed ? config.settings.window_height : config.settings.screen_height;

    playlist_init(playlist_table, config.settings.music);
    if (game.furthest_level < 5)
        config.settings.cheatkeys = 0;
    if (config.launch.card != -1)
        config.settings.card = static_cast<uint8_t>(config.launch.card);

    int row = open_display(config.settings.card, width, height);
    if (row < 0) {
        int r = fail("Error setting graphics mode\n%s\n\n", allegro_error);
        allegro_exit();
        return r;
    }
    config.settings.card = static_cast<uint8_t>(row);  // what runs is what is saved

    std::snprintf(shell.data_path, sizeof shell.data_path, "%s%s", config.data_dir, "NIGHTWAR.DAT");
    if (!data_file_present(shell.data_path))
        return fail("Data file %s not found. Exiting", shell.data_path);
    if (!main_data_load(shell.data_path))
        return fail("Data file %s unreadable. Exiting", shell.data_path);
    {
        DisplayCall call;
        set_palette(static_cast<RGB*>(gfx.main_data[MAIN_PALETTE].dat));
    }
    apply_hot_spots(gfx.main_data);
    check_shipped_files();

    if (!config.launch.no_sound) {
        if (sfx_init(config.data_dir) != 0) {
            config.launch.no_sound = 0xFF;
        } else {
            music_init();
            music_set_volume(config.settings.musicvolume);
        }
    }

    build_recolour_table(&gfx.recolour_table);
    color_map = &gfx.recolour_table;
    gfx.scratch_bitmap = create_bitmap_ex(8, 128, 128);

    for (int k = 1; k <= 3; k++) {
        char name[8];
        std::snprintf(name, sizeof name, "DEMO%d", k);
        demos.builtin[k - 1] = demo_load(name);
    }

    init_joystick_input();
    menu_wait(1000);
    return 1;
}

int load_player_files()
{
    shell.loaded_player_files = 0;
    // Kept aside when it cannot be read, so that the exit writes no
    // defaults over it; if that fails, it is not written at all.
    if (config_read(game_config_table, shell.config_path) == FILE_UNREADABLE) {
        char kept[sizeof shell.config_path + 8];
        if (file_keep_aside(shell.config_path, kept, sizeof kept)) {
            console_say("%s could not be read; kept as %s", shell.config_path, kept);
            shell.loaded_player_files |= SAVE_SETTINGS;
        } else {
            console_say("%s could not be read; settings will not be saved", shell.config_path);
        }
    } else {
        shell.loaded_player_files |= SAVE_SETTINGS;
    }
    char scores_kept[64];
    if (scores_load(scores_kept, sizeof scores_kept))
        shell.loaded_player_files |= SAVE_SCORES;
    if (scores_kept[0])
        console_say("SCORES could not be read; kept as %s", scores_kept);
    return shell.loaded_player_files;
}

int save_player_files()
{
    int failed = 0;
    if ((shell.loaded_player_files & SAVE_SETTINGS) &&
        config_write(game_config_table, shell.config_path) != 0)
        failed |= SAVE_SETTINGS;
    if ((shell.loaded_player_files & SAVE_SCORES) && scores_save() != 0)
        failed |= SAVE_SCORES;
    // Each lost file in stderr.txt and on the terminal; the old copies stay.
    if (failed & SAVE_SETTINGS) {
        diag("%s: cannot be written, settings not saved\n", shell.config_path);
        dprintf(shell.console_error_fd, "Nightward: %s cannot be written, settings not saved\n",
                shell.config_path);
    }
    if (failed & SAVE_SCORES)
        dprintf(shell.console_error_fd, "Nightward: SCORES cannot be written, scores not saved\n");
    return failed;
}

void console_say(const char* fmt, ...)
{
    char text[1024];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    diag("%s\n", text);
    dprintf(shell.console_error_fd, "Nightward: %s\n", text);
}

void startup_message(const char* message)
{
    // Every text ends with a line end, on the terminal and in the box.
    char text[2048];
    size_t n = std::strlen(message);
    std::snprintf(text, sizeof text, "%s%s", message, n && message[n - 1] == '\n' ? "" : "\n");
    dprintf(shell.console_error_fd, "%s", text);
    if (system_driver && system_driver->id == SYSTEM_XWINDOWS)
        show_message_box(text);
}

void show_message_box(const char* text)
{
    // Only with a display to show it on, and in a process of its own:
    // nobody may be there to click it, nor a server to answer.
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return;
    pid_t child = fork();
    if (child == 0) {
        if (fork() == 0) {
            setsid();
            int null = open("/dev/null", O_RDWR);
            if (null >= 0)
                dup2(null, 0), dup2(null, 1), dup2(null, 2);
            execlp("xmessage", "xmessage", "-buttons", "OK:101", "-default", "OK", "-center", text,
                   (char*)nullptr);
            _exit(127);
        }
        _exit(0);
    }
    if (child > 0)
        waitpid(child, nullptr, 0);
}

int shutdown_program()
{
    int failed = save_player_files();
    if (failed)
        show_notice(failed == SAVE_SETTINGS ? "SETTINGS NOT SAVED: THE FOLDER CANNOT BE WRITTEN"
                    : failed == SAVE_SCORES
                        ? "SCORES NOT SAVED: THE FOLDER CANNOT BE WRITTEN"
                        : "SETTINGS AND SCORES NOT SAVED: THE FOLDER CANNOT BE WRITTEN");
    if (gfx.main_data)
        unload_datafile(gfx.main_data);
    gfx.main_data = nullptr;
    if (!config.launch.no_sound) {
        sfx_shutdown();
        music_stop();
    }
    amc_unload_all();
    stop_input_timer();
    release_display();
    if (gfx.scratch_bitmap)
        destroy_bitmap(gfx.scratch_bitmap);
    gfx.scratch_bitmap = nullptr;
    color_map = nullptr;
    set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
    allegro_exit();
    if (config.launch.record && (demos.state & DEMO_TRUNCATED))
        diag("Demo was truncated. Use -maxdemo parameter to increase buffer\n");
    return failed ? 1 : 0;
}

void shell_state_reset()
{
    shell.console_error_fd = 2;
    std::snprintf(shell.config_path, sizeof shell.config_path, "%s", CONFIG_FILE);
    shell.amc_path[0] = shell.data_path[0] = '\0';
    shell.loaded_player_files = 0;
}
