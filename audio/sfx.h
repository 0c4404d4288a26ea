// Sound effects played for actors.
#pragma once

// 0 ok; 1 no sound device; 2 an effect file cannot be loaded; 3 table without end.
int sfx_init(const char* data_dir);
void sfx_play(int owner, int effect, int pan);  // pan 0 left .. 255 right
void sfx_stop_all();
void sfx_shutdown();
void sfx_volume_up();
void sfx_volume_down();
