#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Band-limited single-cycle wavetables in the "DUDIR001" format: the same record layout for every shape, so
// that a record index chosen in one file means the same cycle length in the others.
namespace wavetablegen {

enum class Shape { Sawtooth, Square, Sine };

struct Layout {
    uint32_t tableRate = 48000;
    int firstNote = 12;
    int lastNote = 120;
    int noteStep = 3;
};

std::vector<uint8_t> buildFile(Shape shape, const Layout& layout = {});
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace wavetablegen
