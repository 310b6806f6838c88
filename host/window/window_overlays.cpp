#include "host/window/window_overlays.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "host/viewer/osd_font.h"

namespace Host {

namespace {

constexpr int kW = DisplayController::kWidth;
constexpr int kH = DisplayController::kHeight;

struct Colour {
    uint8_t r, g, b, a;
};
constexpr Colour kPanel = {0, 0, 0, 170};
constexpr Colour kEdge = {190, 190, 205, 255};
constexpr Colour kText = {235, 235, 235, 255};

constexpr Cue kCueKinds[] = {Cue::FadeIn, Cue::FadeOut, Cue::Rewind, Cue::Pause, Cue::End};

int text_width(const std::string& s, int unit) { return static_cast<int>(s.size()) * OsdFont::kAdvance * unit; }
int line_height(int unit) { return (OsdFont::kHeight + 3) * unit; }
int legend_item_width(Cue c, int unit) { return 6 * unit + text_width(std::string(cue_name(c)) + "  ", unit); }

// The cue legend's items flowed into rows no wider than `limit`.
std::vector<std::vector<Cue>> legend_rows(int limit, int unit) {
    std::vector<std::vector<Cue>> rows(1);
    int x = 0;
    for (Cue c : kCueKinds) {
        const int w = legend_item_width(c, unit);
        if (x > 0 && x + w > limit) {
            rows.emplace_back();
            x = 0;
        }
        rows.back().push_back(c);
        x += w;
    }
    return rows;
}

int widest_row(const std::vector<std::vector<Cue>>& rows, int unit) {
    int widest = 0;
    for (const auto& row : rows) {
        int w = 0;
        for (Cue c : row) w += legend_item_width(c, unit);
        widest = std::max(widest, w);
    }
    return widest;
}

// The key list's columns, in characters: the keys, two spaces, what they do.
int help_keys_width() {
    int width = 0;
    for (const KeyHelp& k : key_help()) width = std::max(width, static_cast<int>(k.keys.size()));
    return width;
}

int help_columns() {
    int what = 0;
    for (const KeyHelp& k : key_help()) what = std::max(what, static_cast<int>(k.what.size()));
    return help_keys_width() + 2 + what;
}

bool overlap(const SDL_Rect& a, const SDL_Rect& b) { return SDL_HasIntersection(&a, &b) == SDL_TRUE; }

void set_colour(SDL_Renderer* r, Colour c) { SDL_SetRenderDrawColor(r, c.r, c.g, c.b, c.a); }

void fill(SDL_Renderer* r, SDL_Rect rect, Colour c) {
    set_colour(r, c);
    SDL_RenderFillRect(r, &rect);
}

int x_of(uint32_t refresh, uint32_t refreshes, const SDL_Rect& strip) {
    return strip.x + static_cast<int>(static_cast<int64_t>(refresh - 1) * (strip.w - 1) / std::max(1u, refreshes - 1));
}

} // namespace

SDL_Rect WindowOverlays::fit_picture(int w, int h) {
    const int scale = std::max(1, std::min(w / kW, h / kH));
    return SDL_Rect{(w - kW * scale) / 2, (h - kH * scale) / 2, kW * scale, kH * scale};
}

double WindowOverlays::timeline_fraction(int x, const SDL_Rect& bar) {
    if (bar.w <= 1) return 0;
    return std::clamp(static_cast<double>(x - bar.x) / (bar.w - 1), 0.0, 1.0);
}

int WindowOverlays::entry_at(int x, int y, const SDL_Rect& grid) {
    const SDL_Point p = {x, y};
    if (grid.w < 16 || !SDL_PointInRect(&p, &grid)) return -1;
    const int swatch = grid.w / 16;
    return std::min((y - grid.y) / swatch, 15) * 16 + std::min((x - grid.x) / swatch, 15);
}

OverlayLayout WindowOverlays::layout(int w, int h, const Player& player, bool timeline, int view_w, int view_h) {
    OverlayLayout l;
    int timeline_top = h;
    if (timeline) {
        const int bar_h = std::max(16, h / 24), margin = std::max(4, w / 80);
        l.timeline_bar = {margin, h - bar_h - margin, w - 2 * margin, bar_h};
        const int tu = std::max(1, bar_h / 10);
        l.timeline = {l.timeline_bar.x - tu, l.timeline_bar.y - tu, l.timeline_bar.w + 2 * tu, bar_h + 2 * tu};
        timeline_top = l.timeline.y;
    }
    // A view goes beside the picture, at twice its size where that leaves the
    // picture at 2x, else at its own; where not even a 1x picture has room
    // beside it, over the picture's left. It never reaches the timeline.
    int room = w;
    if (view_w > 0) {
        const int vs = w - 2 * view_w >= 2 * kW && h >= 2 * kH && 2 * view_h <= timeline_top ? 2 : 1;
        int vw = view_w * vs, vh = view_h * vs;
        if (vh > timeline_top) {
            vw = vw * timeline_top / vh;
            vh = timeline_top;
        }
        const bool beside = w - vw >= kW;
        if (beside) room = w - vw;
        l.view = {beside ? room : 0, 0, vw, vh};
    }
    l.picture = fit_picture(room, h);
    const int u = l.unit = std::max(1, (l.picture.w / kW + 1) / 2);
    // The part of the picture in the window (a window smaller than 1x cuts it).
    SDL_Rect view;
    const SDL_Rect window = {0, 0, room, h};
    SDL_IntersectRect(&l.picture, &window, &view);
    int bottom = std::min(view.y + view.h, timeline ? l.timeline.y - u : h);
    // Over the picture, a view takes its left side: the display and the
    // inspector keep to the rest.
    const int view_right = l.view.w && l.view.x == 0 ? l.view.w : 0;
    const int top = view.y + 2 * u, left = std::max(view.x, view_right) + 2 * u, right = view.x + view.w - 2 * u;

    if (player.help_shown()) {
        // The key list stands alone, centred in the room above the timeline:
        // the keys in one column, what they do in the next.
        const int columns = help_columns(), lines = static_cast<int>(key_help().size());
        int hu = u;
        while (hu > 1 && (columns * OsdFont::kAdvance * hu + 4 * hu > view.w || (lines * 9 + 4) * hu > bottom - view.y))
            --hu;
        l.help_unit = hu;
        const int pw = (columns * OsdFont::kAdvance + 4) * hu, ph = (lines * 9 + 3) * hu;
        l.help = {view.x + (view.w - pw) / 2, view.y + std::max(0, (bottom - view.y - ph) / 2), pw, ph};
        return l;
    }

    // The inspector's swatches: two fifths of the picture's height, at its
    // right edge, with a line for the entry pointed at below them.
    int swatch = std::max(4, view.h * 2 / 5 / 16);
    auto inspector_at = [&](int y, int s) {
        const int side = 16 * s;
        return SDL_Rect{right - side - s, y, side + s, side + s + line_height(u) + u};
    };
    if (player.inspector_shown()) l.inspector = inspector_at(top, swatch);

    if (player.osd_shown()) {
        const std::vector<std::string> lines = player.osd_lines();
        int longest = 0;
        for (const std::string& s : lines) longest = std::max(longest, text_width(s, u));
        // The legend flows into the room the inspector leaves, never
        // narrower than the longest line.
        const int legend_room = (player.inspector_shown() ? l.inspector.x - 2 * u : right) - left - 2 * u;
        const auto rows = legend_rows(std::max(legend_room, longest), u);
        l.legend_rows = static_cast<int>(rows.size());
        const int width = std::max(longest, widest_row(rows, u)) + 2 * u;
        const int height = u + static_cast<int>(lines.size()) * line_height(u) + 6 * u +
                           l.legend_rows * line_height(u) + u;
        l.osd = {left, top, width, height};
    }

    if (player.inspector_shown()) {
        // Beside the display where there is room, else below it; smaller
        // swatches where even that does not fit above the timeline.
        int y = top;
        if (player.osd_shown() && overlap(l.osd, l.inspector)) y = l.osd.y + l.osd.h + 2 * u;
        while (swatch > 2 && inspector_at(y, swatch).y + inspector_at(y, swatch).h > bottom) --swatch;
        l.inspector = inspector_at(y, swatch);
        l.swatches = {l.inspector.x + swatch / 2, l.inspector.y + swatch / 2, 16 * swatch, 16 * swatch};
    }
    return l;
}

void WindowOverlays::text(int x, int y, int unit, const std::string& s) {
    std::vector<SDL_Rect> ink;
    for (char ch : s) {
        if (const OsdFont::Glyph* g = OsdFont::glyph(ch)) {
            for (int r = 0; r < OsdFont::kHeight; ++r)
                for (int c = 0; c < OsdFont::kWidth; ++c)
                    if (g->rows[r][c] == '#') ink.push_back({x + c * unit, y + r * unit, unit, unit});
        }
        x += OsdFont::kAdvance * unit;
    }
    set_colour(renderer_, kText);
    SDL_RenderFillRects(renderer_, ink.data(), static_cast<int>(ink.size()));
}

// A panel with an edge that shows on any picture, black or white.
void WindowOverlays::panel(const SDL_Rect& r, int unit) {
    fill(renderer_, r, kPanel);
    const int e = std::max(1, unit / 2);
    set_colour(renderer_, kEdge);
    const SDL_Rect edges[] = {{r.x, r.y, r.w, e}, {r.x, r.y + r.h - e, r.w, e}, {r.x, r.y, e, r.h}, {r.x + r.w - e, r.y, e, r.h}};
    SDL_RenderFillRects(renderer_, edges, 4);
}

WindowOverlays::~WindowOverlays() {
    if (view_) SDL_DestroyTexture(view_);
}

void WindowOverlays::set_view(int width, int height, const uint8_t* rgba) {
    view_shown_ = width > 0;
    if (!view_shown_) return;
    if (!view_ || width != view_w_ || height != view_h_) {
        if (view_) SDL_DestroyTexture(view_);
        view_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGBA32, SDL_TEXTUREACCESS_STREAMING, width, height);
        if (!view_) {
            view_shown_ = false;
            return;
        }
        SDL_SetTextureScaleMode(view_, SDL_ScaleModeNearest);
        view_w_ = width;
        view_h_ = height;
    }
    SDL_UpdateTexture(view_, nullptr, rgba, width * 4);
}

void WindowOverlays::draw(const OverlayLayout& l, const Player& player, int mouse_x, int mouse_y) {
    if (view_shown_ && l.view.w) SDL_RenderCopy(renderer_, view_, nullptr, &l.view);
    if (l.help.w) draw_help(l);
    if (l.osd.w) draw_osd(l, player);
    if (l.inspector.w) draw_inspector(l, player, mouse_x, mouse_y);
    if (l.timeline.w) draw_timeline(l, player);
}

void WindowOverlays::draw_osd(const OverlayLayout& l, const Player& p) {
    const int u = l.unit;
    const std::vector<std::string> lines = p.osd_lines();
    panel(l.osd, u);
    for (size_t i = 0; i < lines.size(); ++i)
        text(l.osd.x + u, l.osd.y + u + static_cast<int>(i) * line_height(u), u, lines[i]);

    // The cues over the whole show, and where the play is.
    const Timeline& t = p.timeline();
    const SDL_Rect strip = {l.osd.x + u, l.osd.y + u + static_cast<int>(lines.size()) * line_height(u),
                            l.osd.w - 2 * u, 4 * u};
    fill(renderer_, strip, {60, 60, 60, 255});
    for (const auto& m : t.cues) {
        const Rgb c = cue_colour(m.cue);
        fill(renderer_, {x_of(m.refresh, t.refreshes, strip) - u / 2, strip.y, u, strip.h}, {c.r, c.g, c.b, 255});
    }
    fill(renderer_, {x_of(p.position(), t.refreshes, strip), strip.y - u, std::max(1, u / 2), strip.h + 2 * u}, kText);

    // The legend: each kind of cue in its colour, in as many rows as it needs.
    int row = 0, x = strip.x;
    for (const auto& r : legend_rows(strip.w, u)) {
        x = strip.x;
        const int y = strip.y + strip.h + 2 * u + row++ * line_height(u);
        for (Cue c : r) {
            const Rgb colour = cue_colour(c);
            fill(renderer_, {x, y + u, 5 * u, 5 * u}, {colour.r, colour.g, colour.b, 255});
            text(x + 6 * u, y, u, cue_name(c));
            x += legend_item_width(c, u);
        }
    }
}

void WindowOverlays::draw_inspector(const OverlayLayout& l, const Player& p, int mouse_x, int mouse_y) {
    const int u = l.unit;
    const SDL_Rect& grid = l.swatches;
    const int swatch = grid.w / 16;
    const uint8_t* rgb = p.viewer().rgb();
    panel(l.inspector, u);
    for (int i = 0; i < 256; ++i) {
        const uint8_t* c = rgb + 3 * i;
        fill(renderer_, {grid.x + i % 16 * swatch, grid.y + i / 16 * swatch, swatch - 1, swatch - 1}, {c[0], c[1], c[2], 255});
    }
    const int entry = entry_at(mouse_x, mouse_y, grid);
    const int label_y = grid.y + grid.h + 2 * u;
    if (entry < 0) return text(grid.x, label_y, u, "palette");
    const uint8_t* c = rgb + 3 * entry;
    fill(renderer_, {grid.x + entry % 16 * swatch - 1, grid.y + entry / 16 * swatch - 1, swatch + 1, swatch + 1},
         {255, 255, 255, 120});
    char line[48];
    std::snprintf(line, sizeof line, "%d: %d, %d, %d", entry, c[0], c[1], c[2]);
    text(grid.x, label_y, u, line);
}

void WindowOverlays::draw_timeline(const OverlayLayout& l, const Player& p) {
    const Timeline& t = p.timeline();
    const SDL_Rect& bar = l.timeline_bar;
    const int u = std::max(1, bar.h / 10);
    fill(renderer_, l.timeline, kPanel);
    // The chapters as alternating shades, each stage named as fully as its
    // stretch allows.
    for (size_t i = 0; i < t.chapters.size(); ++i) {
        const int from = x_of(t.chapters[i].first, t.refreshes, bar);
        const int to = i + 1 < t.chapters.size() ? x_of(t.chapters[i + 1].first, t.refreshes, bar) : bar.x + bar.w;
        fill(renderer_, {from, bar.y, std::max(1, to - from), bar.h}, i % 2 ? Colour{70, 70, 90, 255} : Colour{50, 50, 65, 255});
        fill(renderer_, {from, bar.y, std::max(1, u / 2), bar.h}, {200, 200, 220, 255});
        const Show::Stage stage = t.chapters[i].stage;
        if (stage == Show::Stage::StartUp || stage == Show::Stage::Ended) continue; // a refresh each
        // The whole name, down to half the bar's font size, before a
        // shortened one.
        const int smallest = std::max(1, u / 2);
        const auto chars = [&](int unit) { return (to - from - u) / (OsdFont::kAdvance * unit); };
        int lu = u;
        while (lu > smallest && chars(lu) < static_cast<int>(std::strlen(stage_name(stage)))) --lu;
        const std::string label = stage_label(stage, chars(lu));
        text(from + u, bar.y + (bar.h - OsdFont::kHeight * lu) / 2, lu, label);
    }
    if (!p.learned_all()) {
        // Beyond where learning has come a seek takes a moment longer.
        const int from = x_of(p.learned(), t.refreshes, bar);
        fill(renderer_, {from, bar.y, bar.x + bar.w - from, bar.h}, {0, 0, 0, 110});
        const std::string note = "learning...";
        if (bar.x + bar.w - from > text_width(note, u) + 2 * u)
            text(bar.x + bar.w - text_width(note, u) - u, bar.y + bar.h - OsdFont::kHeight * u - u / 2, u, note);
    }
    if (p.loop_a()) {
        const int a = x_of(p.loop_a(), t.refreshes, bar), b = p.loop_b() ? x_of(p.loop_b(), t.refreshes, bar) : a + u;
        fill(renderer_, {a, bar.y + bar.h - 2 * u, std::max(u, b - a), 2 * u}, {240, 230, 60, 255});
    }
    const int now = x_of(p.position(), t.refreshes, bar);
    fill(renderer_, {bar.x, bar.y, now - bar.x, u}, {240, 240, 240, 255});
    fill(renderer_, {now - u / 2, bar.y - u, std::max(1, u), bar.h + 2 * u}, {255, 255, 255, 255});
}

void WindowOverlays::draw_help(const OverlayLayout& l) {
    const int u = l.help_unit;
    panel(l.help, u);
    int y = l.help.y + 2 * u;
    for (const KeyHelp& k : key_help()) {
        text(l.help.x + 2 * u, y, u, k.keys);
        text(l.help.x + 2 * u + (help_keys_width() + 2) * OsdFont::kAdvance * u, y, u, k.what);
        y += 9 * u;
    }
}

} // namespace Host
