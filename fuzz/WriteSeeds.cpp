// Writes a few wavetable files as starting points for the fuzzer.

#include "dsp/tests/TestWavetable.hpp"

#include <cstdio>
#include <fstream>
#include <string>

namespace {
bool write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SEED_DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    testwt::File tiny;
    tiny.addCycle(testwt::Shape::Sine, 60, 8, 1.0f);
    tiny.addCycle(testwt::Shape::Square, 60, 9, 0.5f);
    tiny.addCycle(testwt::Shape::Sawtooth, 72, 4, 2.0f);
    testwt::File empty;
    testwt::File shapes = testwt::makeShapeTable(testwt::Shape::Sawtooth, 4000);
    const bool ok = write(dir + "/tiny.bin", tiny.bytes()) && write(dir + "/empty.bin", empty.bytes()) &&
                    write(dir + "/shapes.bin", shapes.bytes());
    return ok ? 0 : 1;
}
