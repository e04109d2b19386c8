// The reference picture of tests/render/reference_picture.h for any spins, for the browser page's
// test, which learns the spins it reached only while it runs:
//     reference_picture ROOT ONE TWO THREE COLOUR.png EDGES.png
#include "render/reference_picture.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: %s ROOT ONE TWO THREE COLOUR.png EDGES.png\n", argv[0]);
        return 2;
    }
    const reference::Spins spins = {std::atof(argv[1]), std::atof(argv[2]), std::atof(argv[3]),
                                    std::atof(argv[4])};
    return reference::save(reference::draw(spins), argv[5], argv[6]) ? 0 : 1;
}
