// Sounds in, WAV files out: the game's effects are 16-bit mono at 22050 Hz,
// and a modder's sound in any common form is brought to that.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

const int kEffectRate = 22050;

// Samples of a sound file (WAV of any encoding, FLAC, Ogg, AIFF) mixed to
// mono and resampled to kEffectRate, in -1..1. False with `error` saying why
// when the file is not a sound this can read.
bool read_sound_file(const std::string& path, std::vector<double>& out, std::string& error);

// Writes 16-bit mono samples at kEffectRate, through the safe writer.
bool write_pcm16(const std::string& path, const std::vector<int16_t>& pcm);

// A modder's sound made into an effect file; reports "file: message" itself.
bool convert_sound(const std::string& in, const std::string& out);

// How loud an effect sounds, in dB: weighted as the ear hears frequencies
// and taken over its loudest 100 ms, so a short blow and a held alarm compare
// as a player hears them. Samples at kEffectRate, full scale 1.
double sfx_loudness(const std::vector<double>& samples);
