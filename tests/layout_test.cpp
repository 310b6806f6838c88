// The one layout of every viewer, over a grid of viewports from 200 x 150 to
// 3840 x 2160 in both orientations, fingers or a mouse, one to three device
// pixels a CSS pixel, and every combination of panels: the picture whole and
// at a whole scale, nothing over it or over anything else, everything inside
// the viewport, every panel shown or folded with a sign, every text fitting.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "host/viewer/layout.h"

namespace {

using Host::Layout;
using Host::Panel;
using Host::Rect;
using Host::Scene;
using Host::Viewport;

std::string describe(const Viewport& v, const Scene& s) {
    std::string text = std::to_string(v.width) + "x" + std::to_string(v.height) + " ratio " +
                       std::to_string(v.pixel_ratio) + (v.touch ? " touch" : "") + (s.controls ? " controls" : "");
    for (Panel p : Host::kAllPanels)
        if (s.shown(p)) text += std::string(" ") + Host::panel_name(p);
    if (s.view_enlarged) text += " enlarged";
    if (s.field) text += " field";
    return text;
}

// The checks every layout passes; the first failure's description.
std::string check(const Layout& l, const Viewport& v, const Scene& s) {
    const Rect screen{0, 0, v.width, v.height};
    const int u = l.unit;
    if (l.picture.empty()) return "no picture";
    if (l.scale >= 1 && (l.picture.w != 320 * l.scale || l.picture.h != 240 * l.scale)) return "picture not at its scale";
    bool bare = !s.controls;
    for (Panel p : Host::kAllPanels) bare = bare && !s.shown(p);
    if (bare && l.scale != std::min(v.width / 320, v.height / 240)) return "a bare picture not at the largest scale";
    // Everything inside, nothing over anything.
    std::vector<Rect> parts = l.parts();
    for (const Rect& r : parts)
        if (!r.within(screen)) return "a part leaves the viewport";
    for (size_t i = 0; i < parts.size(); ++i)
        for (size_t j = i + 1; j < parts.size(); ++j)
            if (parts[i].overlaps(parts[j])) return "parts " + std::to_string(i) + " and " + std::to_string(j) + " overlap";
    std::vector<Rect> inside = {l.timeline, l.status, l.field};
    for (const Host::Button& b : l.buttons)
        if (b.rect.within(l.controls)) inside.push_back(b.rect);
    for (size_t i = 0; i < inside.size(); ++i) {
        if (inside[i].empty()) continue;
        if (!inside[i].within(l.controls)) return "a part of the controls leaves them";
        for (size_t j = i + 1; j < inside.size(); ++j)
            if (inside[i].overlaps(inside[j])) return "parts of the controls overlap";
    }
    // Every panel that is on is shown, or folded with its sign; folding
    // only once the picture is at 1x.
    for (Panel p : Host::kAllPanels) {
        const bool shown = !l.panel(p).empty(), folded = l.is_folded(p);
        if (s.shown(p) != (shown || folded)) return std::string(Host::panel_name(p)) + " on but not there";
        if (shown && folded) return std::string(Host::panel_name(p)) + " shown and folded";
        if (folded) {
            if (l.scale > std::max(1, static_cast<int>(v.pixel_ratio)))
                return "a panel folded with the picture above a CSS pixel a show pixel";
            int signs = 0;
            for (const Host::Button& b : l.buttons) signs += b.fold && b.panel == p;
            if (signs != 1) return std::string(Host::panel_name(p)) + " folded without a sign";
        }
    }
    // Text in the font that draws it.
    const int line = Host::Text::line(u), pad = Host::kPad * u;
    for (const Host::Button& b : l.buttons) {
        const std::string label = b.fold ? Host::fold_label(b.panel) : Host::widest_label(b.action);
        if (Host::Text::width(label, u) > b.rect.w - 2 * u || Host::Text::glyph_height(u) > b.rect.h - 2 * u)
            return "label " + label + " does not fit its button";
    }
    if (!l.status.empty() && Host::Text::width(Host::status_min_chars(), u) > l.status.w - 2 * u)
        return "the status line does not fit";
    if (!l.field.empty() && Host::Text::width(16, u) > l.field.w - 2 * u) return "the field is short";
    if (!l.timeline.empty() && l.timeline.h < Host::kTimelineBand * u + line) return "the timeline is low";
    auto lines_fit = [&](const Rect& r, const std::vector<std::string>& lines, int below) {
        for (const std::string& t : lines)
            if (Host::Text::width(t, u) > r.w - 2 * pad) return false;
        return static_cast<int>(lines.size()) * line + below <= r.h - 2 * pad;
    };
    if (const Rect& r = l.panel(Panel::Osd); !r.empty() && !lines_fit(r, Host::widest_osd_lines(s.refreshes), 0))
        return "the display's lines do not fit";
    if (const Rect& r = l.panel(Panel::Inspector);
        !r.empty() && !lines_fit(r, Host::widest_inspector_lines(), 16 * Host::kSwatchCell * u))
        return "the inspector does not fit";
    if (const Rect& r = l.panel(Panel::Help); !r.empty()) {
        const int hu = l.help_unit, hpad = Host::kPad * hu;
        const int chars = Host::Text::chars_in(r.w - 2 * hpad, hu);
        const std::vector<std::string> lines = Host::help_lines(chars);
        if (chars < 1 || static_cast<int>(lines.size()) * Host::Text::line(hu) > r.h - 2 * hpad)
            return "the key list does not fit";
        for (const std::string& t : lines)
            if (Host::Text::width(t, hu) > r.w - 2 * hpad) return "a line of the key list does not fit";
        if (hu > u || hu < std::max(1, u / 2)) return "the key list's text out of its sizes";
    }
    if (const Rect& r = l.panel(Panel::View);
        !r.empty() && (r.w != s.view_width * l.view_zoom || r.h != s.view_height * l.view_zoom))
        return "the view is not at a whole zoom";
    return "";
}

std::vector<int> steps(int from, int to, int count) {
    std::vector<int> v;
    for (int i = 0; i < count; ++i) v.push_back(from + static_cast<int>(static_cast<long>(to - from) * i / (count - 1)));
    return v;
}

} // namespace

TEST(Layout, EveryViewportEveryPanelNothingCoversThePictureAndEveryTextFits) {
    const std::vector<int> sides = steps(150, 3840, 19);
    int layouts = 0, folded = 0, reduced = 0;
    for (int a : sides)
        for (int b : sides) {
            if (a < 200 && b < 200) continue;
            for (bool touch : {false, true})
                for (double ratio : {1.0, 3.0})
                    for (int mask = 0; mask < 128; ++mask) {
                        const Viewport v{a, b, ratio, touch};
                        Scene s;
                        s.refreshes = 6762;
                        s.controls = mask & 32;
                        s.field = s.controls && (mask & 64);
                        for (int i = 0; i < Host::kPanels; ++i) s.on[i] = mask >> i & 1;
                        s.view_width = 320;
                        s.view_height = 40 + (mask * 37) % 400;
                        s.view_enlarged = mask & 64;
                        const Layout l = Host::lay_out(v, s);
                        ++layouts;
                        folded += l.is_folded(Panel::Osd) || l.is_folded(Panel::Help);
                        reduced += l.scale == 0;
                        const std::string wrong = check(l, v, s);
                        ASSERT_EQ(wrong, "") << describe(v, s);
                    }
        }
    EXPECT_GT(layouts, 150000);
    EXPECT_GT(folded, 100) << "the grid reaches viewports where panels fold";
    EXPECT_GT(reduced, 100) << "and viewports smaller than the picture";
}

// More room never makes the picture smaller (where the text keeps its size).
TEST(Layout, MoreRoomNeverMakesThePictureSmaller) {
    for (int mask = 0; mask < 64; ++mask) {
        Scene s;
        s.controls = mask & 32;
        for (int i = 0; i < Host::kPanels; ++i) s.on[i] = mask >> i & 1;
        s.view_width = 320;
        s.view_height = 308;
        for (int w = 320; w <= 2600; w += 80)
            for (int h = 240; h <= 2000; h += 80) {
                const Layout l = Host::lay_out({w, h}, s);
                for (const auto& [w2, h2] : {std::pair{w + 80, h}, {w, h + 80}}) {
                    const Layout more = Host::lay_out({w2, h2}, s);
                    if (more.unit == l.unit && more.help_unit == l.help_unit) {
                        EXPECT_GE(more.scale, l.scale) << w << "x" << h << " mask " << mask;
                    }
                }
            }
    }
}

// The sizes people use: the picture as large as the panels leave it.
TEST(Layout, CommonSizesKeepALargePicture) {
    Scene controls_only;
    struct Case {
        Viewport v;
        int scale;
    };
    for (const Case& c : {Case{{1920, 1080}, 4}, Case{{1280, 800}, 3}, Case{{1366, 768}, 3}, Case{{1024, 768}, 2},
                          Case{{390 * 3, 844 * 3, 3, true}, 3}, Case{{844 * 3, 390 * 3, 3, true}, 4}}) {
        const Layout l = Host::lay_out(c.v, controls_only);
        EXPECT_EQ(l.scale, c.scale) << c.v.width << "x" << c.v.height;
        EXPECT_FALSE(l.timeline.empty());
    }
    // Help at 960 x 720 and more: beside or below a smaller picture, never
    // over it.
    Scene help;
    help.on[static_cast<int>(Panel::Help)] = true;
    const Layout l = Host::lay_out({1920, 1080}, help);
    EXPECT_FALSE(l.panel(Panel::Help).empty());
    EXPECT_GE(l.scale, 2);
}

TEST(Layout, TextsWrapAndFit) {
    EXPECT_EQ(Host::Text::wrap("one refresh forward (pauses)", 12),
              (std::vector<std::string>{"one refresh", "forward", "(pauses)"}));
    EXPECT_EQ(Host::Text::wrap("abcdefghij", 4), (std::vector<std::string>{"abcd", "efgh", "ij"}));
    EXPECT_EQ(Host::Text::fit("hand-over", 6), "hand..");
    EXPECT_EQ(Host::Text::fit("roto", 6), "roto");
    for (int u : {1, 2, 5})
        for (int px = 0; px < 400; ++px) {
            const int n = Host::Text::chars_in(px, u);
            EXPECT_LE(Host::Text::width(n, u), px);
            EXPECT_GT(Host::Text::width(n + 1, u), px);
        }
    for (int chars : {20, 30, 60, 200})
        for (const std::string& l : Host::help_lines(chars)) EXPECT_LE(static_cast<int>(l.size()), chars) << l;
}
