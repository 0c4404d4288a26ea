// Entry: start-up, one of the three ways to run, shutdown.
#include <allegro.h>

#include <cstdio>
#include <unistd.h>

#include "engine/diag.h"
#include "frontend/menu.h"
#include "game/session.h"
#include "input/demo.h"
#include "shell/options.h"
#include "shell/startup.h"

int main(int argc, char** argv) {
    if (cmdline_version(argc, argv)) return 0;
    console_error_fd = dup(2);
    if (console_error_fd < 0) console_error_fd = 2;
    std::freopen("stderr.txt", "w", stderr);

    if (!startup(argc, argv)) return 0;

    if (launch.play) {
        DemoImage* demo = demo_load(launch.demo_file);
        if (!demo) {
            diag("error in demo_load()\n");
            return 0;  // nothing saved: the run never started
        }
        run_game(demo, launch.start_frame, static_cast<int16_t>(launch.mode), launch.start_level,
                 launch.skill, 1);
        demo_free(demo);
    } else if (launch.start_level != 0 || launch.record) {
        run_game(nullptr, 0, static_cast<int16_t>(launch.mode), launch.start_level, launch.skill, 1);
        if (launch.record && last_game_demo) demo_save(last_game_demo, launch.demo_file);
        demo_free(last_game_demo);
        last_game_demo = nullptr;
    } else {
        title_menu();
    }

    shutdown_program();
    return 0;
}
END_OF_MAIN()
