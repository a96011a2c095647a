// Writes the three wavetable resources (sawtooth.bin, square.bin, sine.bin) into a directory.

#include "tools/wavetable-gen/WavetableGenerator.hpp"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const std::pair<const char*, wavetablegen::Shape> files[] = {
        {"sawtooth.bin", wavetablegen::Shape::Sawtooth},
        {"square.bin", wavetablegen::Shape::Square},
        {"sine.bin", wavetablegen::Shape::Sine}};
    for (const auto& [name, shape] : files) {
        const std::string path = dir + "/" + name;
        if (!wavetablegen::writeFile(path, wavetablegen::buildFile(shape))) {
            std::fprintf(stderr, "tessaray-wavetable-gen: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
