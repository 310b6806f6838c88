// Drawing into an RGBA image: rectangles, lines and the viewer's 5 x 7
// font at any whole number of pixels to the font's pixel, everything
// clipped to the image. Every view and everything around the picture is
// drawn with it, so that they read alike; the names and colours of the
// script's cues and the stages' short names live here with it.
//
// A canvas keeps count of text that did not fit: ink cut off at the
// image's edge, and anything drawn over a text already there (another text,
// a line, a mark). The tests hold every drawing to zero of both.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "show/show.h"
#include "text/cue.h"

namespace Host {

// Rows of width x R, G, B, A; alpha is 255 throughout.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
    // Text that did not fit when it was drawn (see Canvas): 0 and 0 in
    // every drawing.
    int clipped = 0;
    int overprinted = 0;
};

struct Rgb {
    uint8_t r, g, b;
};

namespace Colours {
inline constexpr Rgb kBackground = {18, 18, 26};
inline constexpr Rgb kPanel = {34, 34, 46};
inline constexpr Rgb kText = {225, 225, 225};
inline constexpr Rgb kDim = {140, 140, 150};
inline constexpr Rgb kTitle = {255, 214, 90};
inline constexpr Rgb kAccent = {255, 214, 90}; // what the picture shows now
inline constexpr Rgb kHighlight = {255, 80, 200}; // the pointer's column
inline constexpr Rgb kCool = {110, 200, 255};
inline constexpr Rgb kWhite = {255, 255, 255};
inline constexpr Rgb kBlack = {0, 0, 0};
} // namespace Colours

// A cue's name ("fade in") and its colour, as the timeline, the on-screen
// display and the views show it.
const char* cue_name(Cue c);
Rgb cue_colour(Cue c);
// A stage's name in at most max_chars characters: whole, shortened, or its
// initial ("" only when not even that fits).
std::string stage_label(Show::Stage s, int max_chars);

class Canvas {
public:
    Canvas(int width, int height, Rgb background);
    Image take() {
        image_.clipped = clipped_;
        image_.overprinted = overprinted_;
        return std::move(image_);
    }

    int width() const { return image_.width; }
    int height() const { return image_.height; }

    void pixel(int x, int y, Rgb c);
    // c over the pixel with weight alpha / 256.
    void blend(int x, int y, Rgb c, int alpha);
    void rect(int x, int y, int w, int h, Rgb c);
    void frame(int x, int y, int w, int h, Rgb c);
    void hline(int x0, int x1, int y, Rgb c);
    void vline(int x, int y0, int y1, Rgb c);
    void line(int x0, int y0, int x1, int y1, Rgb c, int alpha = 256);
    // The font, upper case, `unit` pixels to the font's pixel; returns the x
    // after the text.
    int text(int x, int y, const std::string& s, Rgb c, int unit = 1);
    // The same with a dark outline, to read over pictures.
    int outlined_text(int x, int y, const std::string& s, Rgb c);
    uint8_t* row(int y) { return image_.rgba.data() + static_cast<size_t>(y) * image_.width * 4; }

    // Text ink cut off at the edge; drawings over text already there.
    int clipped() const { return clipped_; }
    int overprinted() const { return overprinted_; }

private:
    void mark_text(int x, int y, int w, int h);

    Image image_;
    std::vector<uint8_t> text_at_; // 1 where a text's box is, once there is text
    bool in_text_ = false;
    int clipped_ = 0;
    int overprinted_ = 0;
};

// Pixels of text in the font at one pixel a font pixel.
int text_width(const std::string& s);
inline constexpr int kLine = 9; // a line of text with its spacing

} // namespace Host
