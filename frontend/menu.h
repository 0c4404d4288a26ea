// The menus and the helpers other screens share with them.
#pragma once

struct FONT;

void menu_wait(int ms);            // rests in 10 ms steps, keeping the music fed
void menu_wait_or_select(int ms);  // the same, ends early on select
void draw_menu_backdrop();
void text_entry(char* buffer, int x, int y, FONT* font, int max_length);
const char* mode_name(int mode);
const char* cheat_keys_name(int cheatkeys);

void title_menu();     // returns when QUIT is chosen
int pause_menu();      // 0 continue, -1 end the game
void options_menu(int top);
int game_setup_menu(int top);  // -1 back, 0 new game, 1..5 train level n
void replay_menu(int top);
