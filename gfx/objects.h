// Checked access to the main datafile's objects: drawing code never reads
// past the datafile's end nor treats an object as the wrong type.
#pragma once

struct BITMAP;
struct FONT;
struct DATAFILE;

struct MainObjects {
    DATAFILE* data;
    int count;  // objects before the end marker

    BITMAP* bitmap(int index) const;  // 8-bit bitmap object, else null
    FONT* font(int index) const;      // font object, else null
};

// Counts the objects of main_data; call once per drawing entry point.
MainObjects main_objects();
