// The views as one picture file: nyra1 --inside-at K FILE.png, and the
// pictures of docs/effects.md.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "host/output/output_file.h"
#include "host/viewer/inside/inside.h"

namespace Host::Inside {

struct PictureOptions {
    int pointer_column = -1;  // a column of the picture to point at (-1: none)
    std::vector<Kind> kinds;  // the views to show; empty: all of the stage's
    bool picture = true;      // the show's picture first
};

// The show's picture at the viewer's refresh, then the views, side by side
// on one dark background. Standard C++ only.
Image views_picture(const Viewer& viewer, const History& history, const PictureOptions& options);

// Plays the show to refresh `refresh` (1 .. the show's last) headless and
// draws its picture and views. False with one line in error when the
// refresh is outside the show.
bool views_picture_at(uint32_t refresh, Image& image, std::string& error, const PictureOptions& options = {});

// Such a picture as an RGB PNG into an open file, which the caller commits.
bool encode_views_png(OutputFile& file, const Image& image, std::string& error);

// Both, into the file at path. On failure returns false with one line in
// error, and path holds what it held.
bool write_views_png(uint32_t refresh, const std::string& path, std::string& error, const PictureOptions& options = {});

} // namespace Host::Inside
