// Drawing into a view: rectangles, lines, swatches and the viewer's small
// 5 x 7 font, on an RGBA image with everything clipped to it. The views'
// colours are here too, so that they read alike.
#pragma once
#include <cstdint>
#include <string>

#include "host/viewer/inside/inside.h"
#include "host/viewer/player.h"
#include "text/cue.h"

namespace Host::Inside {

// The player's colours and names of the cues, as on the viewer's timeline.
using Host::Rgb;
using Host::cue_colour;
using Host::cue_name;

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

class Canvas {
public:
    Canvas(int width, int height, Rgb background);
    Image take() { return std::move(image_); }

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
    // The small font, upper case; returns the x after the text.
    int text(int x, int y, const std::string& s, Rgb c);
    // The same with a dark outline, to read over pictures.
    int outlined_text(int x, int y, const std::string& s, Rgb c);
    uint8_t* row(int y) { return image_.rgba.data() + static_cast<size_t>(y) * image_.width * 4; }

private:
    Image image_;
};

// Pixels of text in the small font.
int text_width(const std::string& s);
inline constexpr int kLine = 9; // a line of text with its spacing

// Numbers as the views print them.
std::string number(long n);
// An angle of 65536 to the turn in degrees, one decimal.
std::string degrees(uint32_t angle);

} // namespace Host::Inside
