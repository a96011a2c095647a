// Writes the generated resource bundles:
//   tessaray-artwork-gen <bundle directory>        the control library's bundle
//   tessaray-artwork-gen --kit <bundle directory>  the control kit's colours and images
//   tessaray-artwork-gen --dials <bundles directory>  the nine bundles of dial frames
#include "tools/artwork-gen/Artwork.hpp"
#include "tools/artwork-gen/DialArtwork.hpp"
#include "tools/artwork-gen/KitArtwork.hpp"

#include <cstdio>
#include <string_view>

int main(int argc, char** argv) {
    if (argc == 2 && argv[1][0] != '-') {
        return artwork::writeBundle(argv[1]) ? 0 : 1;
    }
    if (argc == 3 && std::string_view(argv[1]) == "--kit") {
        return artwork::writeKitArtwork(argv[2]) ? 0 : 1;
    }
    if (argc == 3 && std::string_view(argv[1]) == "--dials") {
        return artwork::writeDialBundles(argv[2]) ? 0 : 1;
    }
    std::fprintf(stderr,
                 "usage: %s <bundle directory>\n"
                 "       %s --kit <bundle directory>\n"
                 "       %s --dials <bundles directory>\n",
                 argv[0], argv[0], argv[0]);
    return 2;
}
