// Writes the control library's resource bundle: tessaray-artwork-gen <bundle directory>.
#include "tools/artwork-gen/Artwork.hpp"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <bundle directory>\n", argv[0]);
        return 2;
    }
    return artwork::writeBundle(argv[1]) ? 0 : 1;
}
