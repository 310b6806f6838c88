#include "host/viewer/layout.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/display.h"

namespace Host {

namespace {

constexpr int kW = Display::kWidth;
constexpr int kH = Display::kHeight;

// What the buttons say; where a label changes, its widest form.
struct Label {
    Action action;
    const char* label;
};
constexpr Label kLabels[] = {
    {Action::Start, "START"},     {Action::PreviousChapter, "|<<"}, {Action::BackLong, "-10S"},
    {Action::Back, "-1S"},        {Action::StepBack, "<|"},          {Action::PlayPause, "PAUSE"},
    {Action::StepForward, "|>"},  {Action::Ahead, "+1S"},            {Action::AheadLong, "+10S"},
    {Action::NextChapter, ">>|"}, {Action::Slower, "-"},             {Action::NormalSpeed, "1/4X"},
    {Action::Faster, "+"},        {Action::Loop, "A-B"},             {Action::Clip, "CLIP"},
    {Action::GoTo, "GO TO"},      {Action::Osd, "OSD"},              {Action::Inspector, "PAL"},
    {Action::Views, "VIEW"},      {Action::Zoom, "ZOOM"},            {Action::Help, "KEYS"},
    {Action::Fullscreen, "FULL"},
};

int digits(uint32_t n) {
    int d = 1;
    while (n >= 10) {
        n /= 10;
        ++d;
    }
    return d;
}

// The measures of one try: the unit, and whether fingers set the sizes.
struct Measures {
    int u;
    double ratio;
    bool touch;
    uint32_t refreshes;

    int gap() const { return 2 * u; }
    int pad() const { return kPad * u; }
    int finger(int css) const { return touch ? static_cast<int>(std::lround(css * ratio)) : 0; }
    int button_height() const { return std::max(Text::line(u) + 4 * u, finger(44)); }
    int button_width(const std::string& label) const {
        return std::max({Text::width(label, u) + 6 * u, Text::line(u) + 4 * u, finger(44)});
    }
    int timeline_height() const { return std::max(kTimelineBand * u + Text::line(u) + u, finger(32)); }
    int field_width() const { return Text::width(16, u) + 6 * u; }
    int status_width() const { return Text::width(status_min_chars(), u) + 4 * u; }
};

// ---- the panels' sizes

// The widest line of the display, in characters.
int osd_chars(uint32_t refreshes) {
    static uint32_t cached_for = 0;
    static int chars = 0;
    if (cached_for != refreshes) {
        chars = 0;
        for (const std::string& s : widest_osd_lines(refreshes)) chars = std::max(chars, static_cast<int>(s.size()));
        cached_for = refreshes;
    }
    return chars;
}

int osd_text_width(const Measures& m) { return Text::width(osd_chars(m.refreshes), m.u); }

// The key list's lines at a width, counted once.
int help_line_count(int chars) {
    static std::vector<int> counts;
    if (chars < 1) chars = 1;
    if (static_cast<size_t>(chars) >= counts.size()) counts.resize(static_cast<size_t>(chars) + 1, -1);
    int& n = counts[static_cast<size_t>(chars)];
    if (n < 0) n = static_cast<int>(help_lines(chars).size());
    return n;
}

constexpr Cue kCueKinds[] = {Cue::FadeIn, Cue::FadeOut, Cue::Rewind, Cue::Pause, Cue::End};
constexpr int kOsdLines = 5;

int legend_item(Cue c, int u) {
    static const char* const names[] = {"fade in", "fade out", "rewind", "pause", "end"};
    const int i = static_cast<int>(std::find(std::begin(kCueKinds), std::end(kCueKinds), c) - std::begin(kCueKinds));
    return (kCueStrip + 1) * u + Text::width(names[i], u) + 2 * Text::advance(u);
}

int legend_rows(int inner, int u) {
    int rows = 1, x = 0;
    for (Cue c : kCueKinds) {
        const int w = legend_item(c, u);
        if (x > 0 && x + w > inner) {
            ++rows;
            x = 0;
        }
        x += w;
    }
    return rows;
}

struct Extent {
    int min_w, pref_w;
};

Extent extent(Panel p, const Measures& m, const Scene& scene, int zoom) {
    const int pad2 = 2 * m.pad();
    switch (p) {
    case Panel::Osd: {
        int legend = 0, widest_item = 0;
        for (Cue c : kCueKinds) {
            legend += legend_item(c, m.u);
            widest_item = std::max(widest_item, legend_item(c, m.u));
        }
        const int text = osd_text_width(m);
        return {std::max(text, widest_item) + pad2, std::max(text, legend) + pad2};
    }
    case Panel::Inspector: {
        static const int chars = [] {
            size_t c = 0;
            for (const std::string& s : widest_inspector_lines()) c = std::max(c, s.size());
            return static_cast<int>(c);
        }();
        const int text = Text::width(chars, m.u);
        const int w = std::max(16 * kSwatchCell * m.u, text) + pad2;
        return {w, w};
    }
    case Panel::View: {
        const int w = std::max(scene.view_width, 1) * zoom;
        return {w, w};
    }
    case Panel::Help: {
        static const int widest = [] {
            size_t w = 0;
            for (const std::string& s : help_lines(1000)) w = std::max(w, s.size());
            return static_cast<int>(w);
        }();
        return {Text::width(24, m.u) + pad2, Text::width(widest, m.u) + pad2};
    }
    case Panel::Editor: return {Text::width(24, m.u) + pad2, Text::width(48, m.u) + pad2};
    }
    return {0, 0};
}

int height(Panel p, int w, const Measures& m, const Scene& scene, int zoom) {
    const int u = m.u, pad2 = 2 * m.pad();
    switch (p) {
    case Panel::Osd:
        return pad2 + kOsdLines * Text::line(u) + (kCueStrip + 3) * u +
               legend_rows(w - pad2, u) * Text::line(u);
    case Panel::Inspector:
        return pad2 + 16 * kSwatchCell * u + 2 * u + 2 * Text::line(u);
    case Panel::View: return (scene.view_height > 0 ? scene.view_height : 100) * zoom;
    case Panel::Help:
        return pad2 + help_line_count(Text::chars_in(w - pad2, u)) * Text::line(u);
    case Panel::Editor: return pad2 + 12 * Text::line(u);
    }
    return 0;
}

// The view's zooms to try, largest first.
std::vector<int> zooms(const Scene& scene, int u) {
    const int top = scene.view_enlarged ? std::max(2, u) : std::max(1, u / 2);
    std::vector<int> z;
    for (int k = top; k >= 1; --k) z.push_back(k);
    return z;
}

// ---- the controls: the timeline over rows of buttons

struct Item {
    int width;
    Button button;
    bool field = false;
};

// Rows of items in a width, left to right; the go-to field after them, and
// the status line in the rest of the last row or in a row of its own (none
// where not even its shortest form fits). Not ok when an item is wider than
// the width.
struct Flow {
    bool ok = false;
    int height = 0;
    std::vector<Button> buttons;
    Rect field, status;
};

Flow flow(std::vector<Item> items, bool field, bool status, int x, int y, int width, const Measures& m) {
    Flow f;
    const int bh = m.button_height(), g = m.gap();
    if (field) items.push_back({m.field_width(), Button{Action::GoTo, {}}, true});
    int cx = 0, row = 0;
    for (const Item& i : items) {
        if (i.width > width) return f;
        if (cx > 0 && cx + i.width > width) {
            ++row;
            cx = 0;
        }
        const Rect rect{x + cx, y + row * (bh + g), i.width, bh};
        if (i.field) {
            f.field = rect;
        } else {
            Button b = i.button;
            b.rect = rect;
            f.buttons.push_back(b);
        }
        cx += i.width + g;
    }
    if (items.empty()) row = -1;
    if (status) {
        const int sw = m.status_width();
        if (row >= 0 && width - cx >= sw) {
            f.status = {x + cx, y + row * (bh + g), width - cx, bh};
        } else if (width >= sw) {
            ++row;
            f.status = {x, y + row * (bh + g), width, bh};
        }
    }
    f.ok = true;
    f.height = (row + 1) * (bh + g) - g;
    return f;
}

std::vector<Item> control_items(const std::vector<Panel>& folded, const Measures& m) {
    std::vector<Item> items;
    for (Action a : control_actions()) items.push_back({m.button_width(widest_label(a)), Button{a, {}}});
    for (Panel p : folded) {
        Button b{Action::None, {}};
        b.panel = p;
        b.fold = true;
        items.push_back({m.button_width(fold_label(p)), b});
    }
    return items;
}

struct Controls {
    bool ok = false;
    int height = 0;
    Flow flow;
};

Controls controls_at(int width, bool field, const std::vector<Panel>& folded, const Measures& m) {
    Controls c;
    const int th = m.timeline_height();
    c.flow = flow(control_items(folded, m), field, true, m.gap(), th + m.gap(), width - 2 * m.gap(), m);
    if (!c.flow.ok) return c;
    c.ok = true;
    c.height = th + m.gap() + c.flow.height;
    return c;
}

void translate(Rect& r, int dx, int dy) {
    if (r.empty()) return;
    r.x += dx;
    r.y += dy;
}

// ---- one try: a scale, a unit, where the controls go, the panels to place

enum class Mode { Below, Beside };

std::optional<Layout> place(const Viewport& v, const Scene& scene, const Measures& m, int s, Mode mode,
                            bool band_first, bool band_narrow, const std::vector<Panel>& panels,
                            const std::vector<Panel>& folded) {
    const int W = v.width, H = v.height, g = m.gap();
    const int pw = kW * s, ph = kH * s;
    if (pw > W || ph > H) return std::nullopt;
    Layout l;
    l.viewport = v;
    l.unit = m.u;
    l.scale = s;
    l.picture = {0, 0, pw, ph};
    const bool controls = scene.controls;
    Controls c;
    int area_h = H, side_top = 0, cw = 0;
    if (controls) {
        cw = mode == Mode::Below ? W : W - pw - g;
        if (cw <= 0) return std::nullopt;
        c = controls_at(cw, scene.field, folded, m);
        if (!c.ok) return std::nullopt;
        if (mode == Mode::Below) {
            if (ph + g + c.height > H) return std::nullopt;
            area_h = H - c.height - g;
        } else {
            if (c.height > H) return std::nullopt;
            side_top = c.height + g;
        }
    } else if (mode == Mode::Beside) {
        return std::nullopt;
    }

    // The panels: in the column right of the picture, one under the other,
    // or in the band under it, in rows; the column first, or the band first.
    const int side_x = pw + g, side_w = W - side_x;
    int side_y = side_top, band_x = 0, band_y = ph + g, band_row = 0;
    int side_used = 0, band_used = 0;
    Measures help_m = m;
    auto measures = [&](Panel p) -> const Measures& { return p == Panel::Help ? help_m : m; };
    auto in_side = [&](Panel p, int zoom) {
        const Extent e = extent(p, measures(p), scene, zoom);
        if (side_w < e.min_w) return false;
        const int w = std::min(e.pref_w, side_w), h = height(p, w, measures(p), scene, zoom);
        if (side_y + h > area_h) return false;
        l.panels[static_cast<int>(p)] = {side_x, side_y, w, h};
        side_y += h + g;
        side_used = std::max(side_used, w);
        return true;
    };
    auto in_band = [&](Panel p, int zoom) {
        const Extent e = extent(p, measures(p), scene, zoom);
        if (pw < e.min_w) return false;
        int x = band_x, y = band_y;
        if (pw - x < e.min_w) {
            x = 0;
            y = band_y + band_row + g;
        }
        const int w = std::min(band_narrow ? e.min_w : e.pref_w, pw - x), h = height(p, w, measures(p), scene, zoom);
        if (y + h > area_h) return false;
        l.panels[static_cast<int>(p)] = {x, y, w, h};
        if (y != band_y) band_row = 0;
        band_x = x + w + g;
        band_y = y;
        band_row = std::max(band_row, h);
        band_used = std::max(band_used, y + h - (ph + g));
        return true;
    };
    for (Panel p : panels) {
        bool placed = false;
        // The view at a smaller zoom, the key list in smaller text, before
        // either makes the picture smaller.
        std::vector<int> steps = {1};
        if (p == Panel::View) steps = zooms(scene, m.u);
        if (p == Panel::Help) {
            steps.clear();
            for (int u = m.u; u >= std::max(1, m.u / 2); --u) steps.push_back(u);
        }
        for (int step : steps) {
            const int zoom = p == Panel::View ? step : 1;
            if (p == Panel::Help) help_m.u = step;
            placed = band_first ? in_band(p, zoom) || in_side(p, zoom) : in_side(p, zoom) || in_band(p, zoom);
            if (placed) {
                if (p == Panel::View) l.view_zoom = zoom;
                if (p == Panel::Help) l.help_unit = step;
                break;
            }
        }
        if (!placed) return std::nullopt;
    }
    for (Panel p : folded) l.folded[static_cast<int>(p)] = true;

    // Without the controls, the fold signs go where a panel would.
    if (!controls && !folded.empty()) {
        for (Panel p : folded) {
            const int w = m.button_width(fold_label(p)), h = m.button_height();
            Button b{Action::None, {}};
            b.panel = p;
            b.fold = true;
            int x = band_x, y = band_y;
            if (pw - x < w) {
                x = 0;
                y = band_y + band_row + g;
            }
            if (pw >= w && y + h <= area_h) {
                b.rect = {x, y, w, h};
                if (y != band_y) band_row = 0;
                band_x = x + w + g;
                band_y = y;
                band_row = std::max(band_row, h);
                band_used = std::max(band_used, y + h - (ph + g));
            } else if (side_w >= w && side_y + h <= area_h) {
                b.rect = {side_x, side_y, w, h};
                side_y += h + g;
                side_used = std::max(side_used, w);
            } else {
                return std::nullopt;
            }
            l.buttons.push_back(b);
        }
    }

    // Centred: the picture with its panels, and the controls under them or
    // in the column beside.
    const int group_w = pw + (side_used ? g + side_used : 0);
    const int group_h = std::max(ph + (band_used ? g + band_used : 0), side_used ? side_y - g : 0);
    if (controls && mode == Mode::Below) {
        const int total = group_h + g + c.height;
        const int dx = (W - group_w) / 2, dy = (H - total) / 2;
        translate(l.picture, dx, dy);
        for (Rect& r : l.panels) translate(r, dx, dy);
        for (Button& b : l.buttons) translate(b.rect, dx, dy);
        const int cy = dy + group_h + g;
        l.controls = {0, cy, W, c.height};
        l.timeline = {0, cy, W, m.timeline_height()};
    } else if (controls) {
        // The column holds the controls at the top and panels under them.
        const int column_h = std::max(side_y - g, c.height);
        const int left_h = ph + (band_used ? g + band_used : 0);
        const int dx = 0, dy = (H - std::max(left_h, column_h)) / 2;
        translate(l.picture, dx, dy);
        for (Rect& r : l.panels) translate(r, dx, dy);
        for (Button& b : l.buttons) translate(b.rect, dx, dy);
        l.controls = {side_x, dy, cw, c.height};
        l.timeline = {side_x, dy, cw, m.timeline_height()};
    } else {
        const int dx = (W - group_w) / 2, dy = (H - group_h) / 2;
        translate(l.picture, dx, dy);
        for (Rect& r : l.panels) translate(r, dx, dy);
        for (Button& b : l.buttons) translate(b.rect, dx, dy);
    }
    if (controls) {
        const int ox = l.controls.x, oy = l.controls.y;
        for (Button b : c.flow.buttons) {
            translate(b.rect, ox, oy);
            l.buttons.push_back(b);
        }
        l.field = c.flow.field;
        translate(l.field, ox, oy);
        l.status = c.flow.status;
        translate(l.status, ox, oy);
        // The timeline keeps a little room at its ends.
        l.timeline.x += g;
        l.timeline.w -= 2 * g;
    }
    return l;
}

// Text of 14 CSS pixels (two device pixels a font pixel at a ratio of 1),
// smaller on viewports under 360 CSS pixels across their short side; more
// room never makes it smaller.
int unit_for(const Viewport& v) {
    const double ratio = std::max(v.pixel_ratio, 0.25);
    const double css_side = std::min(v.width, v.height) / ratio;
    const int top = std::max(1, static_cast<int>(std::lround(2 * ratio)));
    return std::clamp(static_cast<int>(2 * ratio * css_side / 360), 1, top);
}

// A viewport smaller than the picture with what must show: the panels
// folded, the controls as small as they get (hidden when they would leave
// the picture less than half the height), the picture the largest 4:3 that
// fits the rest.
Layout reduced(const Viewport& v, const Scene& scene, const std::vector<Panel>& folded) {
    const Measures m{1, v.pixel_ratio, false, scene.refreshes};
    const int W = v.width, H = v.height, g = m.gap();
    Layout l;
    l.viewport = v;
    l.unit = 1;
    l.scale = 0;
    for (Panel p : folded) l.folded[static_cast<int>(p)] = true;
    int reserve = 0;
    Controls c;
    bool controls = scene.controls;
    if (controls) {
        c = controls_at(W, scene.field, folded, m);
        if (!c.ok || c.height + g > H / 2) {
            controls = false;
            l.controls_folded = true;
        } else {
            reserve = c.height + g;
        }
    }
    std::vector<Button> signs;
    if (!controls) {
        std::vector<Item> items;
        for (Panel p : folded) {
            Button b{Action::None, {}};
            b.panel = p;
            b.fold = true;
            items.push_back({m.button_width(fold_label(p)), b});
        }
        if (l.controls_folded) items.push_back({m.button_width(widest_label(Action::Controls)), Button{Action::Controls, {}}});
        if (!items.empty()) {
            const Flow f = flow(items, false, false, 0, 0, W, m);
            signs = f.buttons;
            reserve = f.ok ? f.height + g : 0;
        }
    }
    const int room_h = std::max(1, H - reserve);
    int pw = std::min({W, room_h * kW / kH, kW});
    int ph = pw * kH / kW;
    pw = std::max(pw, 1);
    ph = std::max(ph, 1);
    l.picture = {(W - pw) / 2, 0, pw, ph};
    const int top = (H - (ph + reserve)) / 2;
    l.picture.y = std::max(0, top);
    const int below = l.picture.bottom() + g;
    if (controls) {
        l.controls = {0, below, W, c.height};
        l.timeline = {g, below, W - 2 * g, m.timeline_height()};
        for (Button b : c.flow.buttons) {
            translate(b.rect, 0, below);
            l.buttons.push_back(b);
        }
        l.field = c.flow.field;
        translate(l.field, 0, below);
        l.status = c.flow.status;
        translate(l.status, 0, below);
    } else {
        for (Button b : signs) {
            translate(b.rect, 0, below);
            if (b.rect.bottom() <= H) l.buttons.push_back(b);
        }
    }
    return l;
}

} // namespace

const char* panel_name(Panel p) {
    switch (p) {
    case Panel::Osd: return "osd";
    case Panel::Inspector: return "inspector";
    case Panel::View: return "view";
    case Panel::Help: return "help";
    case Panel::Editor: return "editor";
    }
    return "?";
}

std::vector<Rect> Layout::parts() const {
    std::vector<Rect> all = {picture};
    if (!controls.empty()) all.push_back(controls);
    for (const Rect& r : panels)
        if (!r.empty()) all.push_back(r);
    for (const Button& b : buttons)
        if (!b.rect.within(controls)) all.push_back(b.rect);
    return all;
}

std::vector<Action> control_actions() {
    std::vector<Action> list;
    for (const Label& l : kLabels) list.push_back(l.action);
    return list;
}

std::string widest_label(Action a) {
    for (const Label& l : kLabels)
        if (l.action == a) return l.label;
    if (a == Action::Controls) return "CTRL";
    return "?";
}

std::string fold_label(Panel p) {
    switch (p) {
    case Panel::Osd: return "+OSD";
    case Panel::Inspector: return "+PAL";
    case Panel::View: return "+VIEW";
    case Panel::Help: return "+KEYS";
    case Panel::Editor: return "+EDIT";
    }
    return "+";
}

int status_min_chars() { return 17; } // "0:00.00 / 1:52.69"

std::vector<std::string> widest_osd_lines(uint32_t refreshes) {
    const std::string n(static_cast<size_t>(digits(refreshes)), '8');
    const std::string t = std::string(static_cast<size_t>(digits(refreshes / (60 * Display::kRefreshRate))), '8') +
                          ":88.88";
    return {"refresh " + n + " / " + n, t + " / " + t, "stage rotozoomer", "speed 1/4x  paused",
            "loop " + n + " - " + n};
}

std::vector<std::string> widest_inspector_lines() { return {"pixel 319,239: 255", "#ffffff 255 255 255"}; }

std::vector<std::string> help_lines(int max_chars) {
    static const std::vector<KeyHelp> entries = [] {
        std::vector<KeyHelp> list = key_help();
        list.push_back({"a click on the picture", "show or hide the controls"});
        list.push_back({"the timeline", "click or drag to seek"});
        return list;
    }();
    size_t keys = 0, what = 0;
    for (const KeyHelp& k : entries) {
        keys = std::max(keys, k.keys.size());
        what = std::max(what, k.what.size());
    }
    std::vector<std::string> lines;
    if (static_cast<int>(keys + 2 + what) <= max_chars) {
        for (const KeyHelp& k : entries) lines.push_back(k.keys + std::string(keys + 2 - k.keys.size(), ' ') + k.what);
        return lines;
    }
    for (const KeyHelp& k : entries) {
        for (const std::string& s : Text::wrap(k.keys, max_chars)) lines.push_back(s);
        for (const std::string& s : Text::wrap(k.what, std::max(1, max_chars - 2))) lines.push_back("  " + s);
    }
    return lines;
}

namespace Text {

int width(const std::string& s, int unit) { return width(static_cast<int>(s.size()), unit); }

int chars_in(int pixels, int unit) { return pixels <= 0 ? 0 : (pixels / unit + 1) / 6; }

std::vector<std::string> wrap(const std::string& text, int max_chars) {
    std::vector<std::string> lines;
    if (max_chars < 1) return lines;
    std::string line;
    size_t i = 0;
    while (i < text.size()) {
        size_t end = text.find(' ', i);
        if (end == std::string::npos) end = text.size();
        std::string word = text.substr(i, end - i);
        i = end + 1;
        while (static_cast<int>(word.size()) > max_chars) {
            if (!line.empty()) {
                lines.push_back(line);
                line.clear();
            }
            lines.push_back(word.substr(0, static_cast<size_t>(max_chars)));
            word = word.substr(static_cast<size_t>(max_chars));
        }
        if (word.empty()) continue;
        if (!line.empty() && static_cast<int>(line.size() + 1 + word.size()) > max_chars) {
            lines.push_back(line);
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

std::string fit(const std::string& text, int max_chars) {
    if (static_cast<int>(text.size()) <= max_chars) return text;
    if (max_chars <= 2) return text.substr(0, static_cast<size_t>(std::max(0, max_chars)));
    return text.substr(0, static_cast<size_t>(max_chars - 2)) + "..";
}

} // namespace Text

Layout lay_out(const Viewport& v, const Scene& scene) {
    std::vector<Panel> panels;
    for (Panel p : scene.priority)
        if (scene.shown(p)) panels.push_back(p);
    const int largest = std::min(v.width / kW, v.height / kH);
    // The picture as large as it fits with every panel, down to a CSS
    // pixel a show pixel; then, at that size, panels folded, the last in
    // priority first; then smaller still, down to 1x; then the same with
    // the smallest text and buttons, before a picture below 1x.
    const int least = std::clamp(static_cast<int>(v.pixel_ratio), 1, std::max(largest, 1));
    auto try_scales = [&](const Measures& m, const std::vector<Panel>& placed, const std::vector<Panel>& folded,
                          int from, int to) -> std::optional<Layout> {
        for (int s = from; s >= to; --s)
            for (Mode mode : {Mode::Below, Mode::Beside})
                for (int order = 0; order < 4; ++order)
                    if (auto l = place(v, scene, m, s, mode, order & 1, order & 2, placed, folded)) return l;
        return std::nullopt;
    };
    // With panels to fold: each in priority order keeps its room if it
    // fits with those kept before it; the others are folded.
    auto folding = [&](const Measures& m, int s) -> std::optional<Layout> {
        std::vector<Panel> kept;
        for (Panel p : panels) {
            std::vector<Panel> trial = kept, folded;
            trial.push_back(p);
            for (Panel q : panels)
                if (std::find(trial.begin(), trial.end(), q) == trial.end()) folded.push_back(q);
            if (try_scales(m, trial, folded, s, s)) kept = trial;
        }
        std::vector<Panel> folded;
        for (Panel q : panels)
            if (std::find(kept.begin(), kept.end(), q) == kept.end()) folded.push_back(q);
        return try_scales(m, kept, folded, s, s);
    };
    for (const Measures& m : {Measures{unit_for(v), v.pixel_ratio, v.touch, scene.refreshes},
                              Measures{1, v.pixel_ratio, false, scene.refreshes}}) {
        if (auto l = try_scales(m, panels, {}, largest, least)) return *l;
        for (int s = least; s >= 1; --s) {
            if (s < least)
                if (auto l = try_scales(m, panels, {}, s, s)) return *l;
            if (auto l = folding(m, s)) return *l;
        }
    }
    return reduced(v, scene, panels);
}

Viewport viewport_for(int scale, const Scene& scene, double pixel_ratio) {
    Viewport v{kW * scale, kH * scale, pixel_ratio, false};
    while (lay_out(v, scene).scale < scale && v.height < 4 * kH * scale) v.height += std::max(1, scale);
    return v;
}

} // namespace Host
