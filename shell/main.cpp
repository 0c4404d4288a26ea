// Entry: start-up, one of the three ways to run, shutdown.
#include <allegro.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>

#include "config/state.h"
#include "demo/state.h"
#include "engine/diag.h"
#include "frontend/menu.h"
#include "game/session.h"
#include "game/state.h"
#include "shell/options.h"
#include "shell/startup.h"
#include "shell/state.h"

namespace {

// A command-line run that could not do what it was asked: stderr.txt, the
// terminal and the window all say so.
void report(const char* screen_text, const char* what, const char* file)
{
    diag("%s %s\n", what, file);
    dprintf(shell.console_error_fd, "Nightward: %s %s\n", what, file);
    show_notice(screen_text);
}

// Rows a replay can start from; a header naming another plays nothing.
bool playable(const DemoImage* demo)
{
    int16_t level = demo_header(demo).level;
    return level >= 1 && level <= 11;
}

}  // namespace

int main(int argc, char** argv)
{
    if (cmdline_version(argc, argv))
        return 0;
    int usage = cmdline_check(argc, argv);
    if (usage >= 0)
        return usage;
    shell.console_error_fd = dup(2);
    if (shell.console_error_fd < 0)
        shell.console_error_fd = 2;
    // The log goes behind the prefix NWD_LOG gives (the launcher's XDG state
    // folder), else into the working folder; never to a closed stream.
    char log_path[512];
    const char* log = std::getenv("NWD_LOG");
    std::snprintf(log_path, sizeof log_path, "%s%s", log ? log : "", "stderr.txt");
    if (!std::freopen(log_path, "w", stderr))
        std::freopen("/dev/null", "w", stderr);

    int ready = startup(argc, argv);
    if (ready != 1)
        return ready == STARTUP_FAILED ? 1 : 0;

    int status = 0;
    if (config.launch.play) {
        DemoImage* demo = demo_load(config.launch.demo_file);
        if (!demo || !playable(demo)) {
            if (!demo)
                diag("error in demo_load()\n");
            report("THE DEMO CANNOT BE PLAYED", "cannot play the demo", config.launch.demo_file);
            demo_free(demo);
            return 1;  // nothing saved: the run never started
        }
        run_game(demo, config.launch.start_frame, static_cast<int16_t>(config.launch.mode),
                 config.launch.start_level, config.launch.skill, 1);
        if (game.level_failed)
            status = 1;
        demo_free(demo);
    } else if (config.launch.start_level != 0 || config.launch.record) {
        run_game(nullptr, 0, static_cast<int16_t>(config.launch.mode), config.launch.start_level,
                 config.launch.skill, 1);
        if (game.level_failed)
            status = 1;
        // The game asked for is lost unless its recording reaches the file.
        if (config.launch.record &&
            (!demos.last_game || demo_save(demos.last_game, config.launch.demo_file) != 0)) {
            report("THE DEMO COULD NOT BE SAVED", "cannot save the demo to",
                   config.launch.demo_file);
            status = 1;
        }
        demo_free(demos.last_game);
        demos.last_game = nullptr;
    } else {
        title_menu();
    }

    int unsaved = shutdown_program();
    return status ? status : unsaved;
}
END_OF_MAIN()
