// Modders' modules and playlists: checked, then copied into the game folder.
// Each reports "file: message" or "file:line: message" and returns false.
#pragma once

#include <string>
#include <vector>

bool copy_module(const std::string& in, const std::string& out);
// `modules`: the module file names the build puts in the data folder.
bool copy_playlist(const std::string& in, const std::string& out,
                   const std::vector<std::string>& modules);
