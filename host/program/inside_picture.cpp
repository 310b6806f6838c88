// inside_picture K FILE.png [COLUMN] [VIEW...]: the picture of refresh K
// and the views of its stage (or the views named: flight, plasma,
// rotozoomer, title, scroll, palettes), pointing at a column of the picture
// when one is given (-1: none). For looking at the views while working on
// them, and for the pictures of docs/effects.md.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/program/inside_png.h"

int main(int argc, char** argv) {
    using namespace Host::Inside;
    if (argc < 3) {
        std::fprintf(stderr, "usage: inside_picture K FILE.png [COLUMN] [VIEW...]\n");
        return 2;
    }
    PictureOptions options;
    if (argc > 3) options.pointer_column = std::atoi(argv[3]);
    for (int i = 4; i < argc; ++i) {
        const std::string want = argv[i];
        bool found = false;
        for (Kind k : {Kind::Flight, Kind::Plasma, Kind::Rotozoomer, Kind::Title, Kind::HandOver, Kind::ScrollText,
                       Kind::Palettes}) {
            const std::string n = name(k);
            if (n == want || n.substr(0, n.find(' ')) == want) {
                options.kinds.push_back(k);
                found = true;
            }
        }
        if (!found) {
            std::fprintf(stderr, "inside_picture: no view %s\n", argv[i]);
            return 2;
        }
    }
    std::string error;
    if (!write_views_png(static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)), argv[2], error, options)) {
        std::fprintf(stderr, "inside_picture: %s\n", error.c_str());
        return 2;
    }
    return 0;
}
