#include "host/viewer/presentation.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/display.h"

namespace Host {

namespace {

constexpr int kW = Display::kWidth;
constexpr int kH = Display::kHeight;

namespace Shade {
inline constexpr Rgb kBar = {12, 12, 18};
inline constexpr Rgb kButton = {40, 40, 54};
inline constexpr Rgb kButtonOn = {52, 70, 104};
inline constexpr Rgb kEdge = {92, 92, 112};
inline constexpr Rgb kEdgeOn = {120, 160, 220};
inline constexpr Rgb kStage[2] = {{42, 47, 58}, {58, 63, 76}};
inline constexpr Rgb kPlayed = {200, 200, 210};
inline constexpr Rgb kUnplayed = {70, 70, 84};
inline constexpr Rgb kUnlearned = {36, 36, 44};
inline constexpr Rgb kLoop = {240, 200, 60};
inline constexpr Rgb kSign = {70, 50, 30};
} // namespace Shade

constexpr Cue kCueKinds[] = {Cue::FadeIn, Cue::FadeOut, Cue::Rewind, Cue::Pause, Cue::End};

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// x of refresh n on a strip of `width` pixels: the first refresh at 0, the
// last at width - 1.
int x_of(uint32_t n, uint32_t refreshes, int width) {
    if (refreshes <= 1 || width <= 1) return 0;
    return static_cast<int>(static_cast<int64_t>(std::clamp<uint32_t>(n, 1, refreshes) - 1) * (width - 1) /
                            (refreshes - 1));
}

// A panel's box: background and an edge a unit thick (at least one pixel).
void panel_box(Canvas& c, int u) {
    const int e = std::max(1, u / 2);
    c.rect(0, 0, c.width(), e, Shade::kEdge);
    c.rect(0, c.height() - e, c.width(), e, Shade::kEdge);
    c.rect(0, 0, e, c.height(), Shade::kEdge);
    c.rect(c.width() - e, 0, e, c.height(), Shade::kEdge);
}

// A button at r (inside the canvas at ox, oy) with its label centred.
void button_box(Canvas& c, const Rect& r, int ox, int oy, const std::string& label, bool on, Rgb face, int u) {
    const int x = r.x - ox, y = r.y - oy;
    c.rect(x, y, r.w, r.h, on ? Shade::kButtonOn : face);
    const int e = std::max(1, u / 2);
    const Rgb edge = on ? Shade::kEdgeOn : Shade::kEdge;
    c.rect(x, y, r.w, e, edge);
    c.rect(x, y + r.h - e, r.w, e, edge);
    c.rect(x, y, e, r.h, edge);
    c.rect(x + r.w - e, y, e, r.h, edge);
    const std::string text = Text::fit(label, Text::chars_in(r.w - 2 * u, u));
    c.text(x + (r.w - Text::width(text, u)) / 2, y + (r.h - Text::glyph_height(u)) / 2, text, Colours::kText, u);
}

bool panel_shown(const Player& p, Panel panel) {
    switch (panel) {
    case Panel::Osd: return p.osd_shown();
    case Panel::Inspector: return p.inspector_shown();
    case Panel::View: return p.view() > 0;
    case Panel::Help: return p.help_shown();
    case Panel::Editor: return p.editor_shown();
    }
    return false;
}

Panel panel_of(Action a) {
    switch (a) {
    case Action::Osd: return Panel::Osd;
    case Action::Inspector: return Panel::Inspector;
    case Action::Views: return Panel::View;
    case Action::Help: return Panel::Help;
    default: return Panel::Editor;
    }
}

Action action_of(Panel p) {
    switch (p) {
    case Panel::Osd: return Action::Osd;
    case Panel::Inspector: return Action::Inspector;
    case Panel::View: return Action::Views;
    case Panel::Help: return Action::Help;
    case Panel::Editor: return Action::None;
    }
    return Action::None;
}

bool is_on(Action a, const Player& p) {
    switch (a) {
    case Action::Loop: return p.loop_a() != 0;
    case Action::Osd: return p.osd_shown();
    case Action::Inspector: return p.inspector_shown();
    case Action::Views: return p.view() > 0;
    case Action::Zoom: return p.view_enlarged() && p.view() > 0;
    case Action::Help: return p.help_shown();
    case Action::GoTo: return p.field_open();
    case Action::Fullscreen: return p.fullscreen();
    default: return false;
    }
}

} // namespace

const char* piece_name(PieceKind kind) {
    static const char* const names[] = {"picture", "timeline", "controls", "osd", "inspector", "view", "help", "sign"};
    return names[static_cast<int>(kind)];
}

Presentation::Presentation(Player& player)
    : player_(player), history_(std::make_unique<Inside::HistoryLearner>(player.viewer())) {}

Presentation::~Presentation() = default;

void Presentation::set_viewport(const Viewport& viewport) {
    if (viewport.width == viewport_.width && viewport.height == viewport_.height &&
        viewport.pixel_ratio == viewport_.pixel_ratio && viewport.touch == viewport_.touch)
        return;
    viewport_ = viewport;
    laid_out_ = false;
}

std::string Presentation::label(Action a, const Player& p) {
    switch (a) {
    case Action::PlayPause: return p.playing() ? "PAUSE" : "PLAY";
    case Action::Start: return p.over() ? "AGAIN" : "START";
    case Action::NormalSpeed: return upper(p.speed_text());
    default: return widest_label(a);
    }
}

std::string Presentation::title(Action a) {
    std::string what = what_it_does(a);
    if (!what.empty()) what[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(what[0])));
    const std::string keys = keys_of(a);
    return keys.empty() ? what : what + " (" + keys + ")";
}

Scene Presentation::scene() const {
    Scene s;
    s.controls = player_.controls_shown();
    for (Panel p : kAllPanels) s.on[static_cast<int>(p)] = panel_shown(player_, p);
    // The panels' order: the latest opened first, the rest as they come.
    int n = 0;
    for (Action a : player_.panel_order()) {
        const Panel p = panel_of(a);
        if (std::find(s.priority.begin(), s.priority.begin() + n, p) == s.priority.begin() + n) s.priority[n++] = p;
    }
    for (Panel p : kAllPanels)
        if (std::find(s.priority.begin(), s.priority.begin() + n, p) == s.priority.begin() + n) s.priority[n++] = p;
    s.view_width = view_.width;
    s.view_height = view_.height;
    s.view_enlarged = player_.view_enlarged();
    s.field = player_.field_open();
    s.refreshes = player_.timeline().refreshes;
    return s;
}

int Presentation::inspected_entry() const {
    if (pixel_x_ >= 0) return player_.viewer().pixels()[pixel_y_ * kW + pixel_x_];
    return swatch_;
}

Action Presentation::button_at(int x, int y) const {
    for (const Button& b : layout_.buttons)
        if (b.rect.contains(x, y) && !b.fold) return b.action;
    return Action::None;
}

Action Presentation::press(Action a) {
    if (a == Action::None) return a;
    // Once the run is over, the START button plays the show again.
    if (a == Action::Start && player_.over()) a = Action::Again;
    return player_.perform(a) ? Action::None : a;
}

void Presentation::set_pointer(int x, int y) {
    pointer_x_ = x;
    pointer_y_ = y;
    const Rect& pic = layout_.picture;
    if (pic.contains(x, y)) {
        pixel_x_ = (x - pic.x) * kW / pic.w;
        pixel_y_ = (y - pic.y) * kH / pic.h;
    } else if (!player_.inspector_shown() || !layout_.panel(Panel::Inspector).contains(x, y)) {
        // Off the picture, the inspector keeps the pixel it named.
        if (!player_.inspector_shown()) pixel_x_ = pixel_y_ = -1;
    }
    const Rect& insp = layout_.panel(Panel::Inspector);
    if (insp.contains(x, y)) {
        const int u = layout_.unit, cell = kSwatchCell * u, pad = kPad * u;
        const int col = (x - insp.x - pad) / cell, row = (y - insp.y - pad) / cell;
        if (x - insp.x >= pad && y - insp.y >= pad && col < 16 && row < 16) {
            swatch_ = row * 16 + col;
            pixel_x_ = pixel_y_ = -1;
        }
    }
}

Action Presentation::pointer_down(int x, int y) {
    set_pointer(x, y);
    for (const Button& b : layout_.buttons) {
        if (!b.rect.contains(x, y)) continue;
        if (b.fold) {
            if (b.action == Action::Controls) return press(Action::Controls);
            player_.bring_forward(action_of(b.panel));
            return Action::None;
        }
        return press(b.action);
    }
    const Rect& t = layout_.timeline;
    if (t.contains(x, y)) {
        dragging_ = true;
        pointer_move(x, y);
        return Action::None;
    }
    if (layout_.picture.contains(x, y) && !player_.inspector_shown()) return press(Action::Controls);
    return Action::None;
}

void Presentation::pointer_move(int x, int y) {
    set_pointer(x, y);
    if (!dragging_) return;
    const Rect& t = layout_.timeline;
    const double f = t.w > 1 ? std::clamp(static_cast<double>(x - t.x) / (t.w - 1), 0.0, 1.0) : 0.0;
    const uint32_t n = player_.refresh_at(f);
    if (n != player_.position()) player_.seek(n);
}

void Presentation::pointer_up() { dragging_ = false; }

void Presentation::pointer_leave() {
    pointer_x_ = pointer_y_ = -1;
    if (!player_.inspector_shown()) pixel_x_ = pixel_y_ = -1;
    dragging_ = false;
}

bool Presentation::update() {
    // The views of the stage on show, and the one chosen, at 1x.
    const std::vector<Inside::Kind> kinds = Inside::views_for(Inside::shown_stage(player_.viewer()));
    player_.set_view_count(static_cast<int>(kinds.size()));
    const int v = player_.view();
    const std::string view_key = v > 0 ? std::to_string(v) + "/" + std::to_string(player_.position()) + "/" +
                                             std::to_string(pixel_x_) + "/" + std::to_string(history() != nullptr) +
                                             "/" + std::to_string(player_.changes())
                                       : "";
    if (view_key != view_drawn_) {
        view_ = v > 0 && v <= static_cast<int>(kinds.size())
                    ? Inside::render(kinds[static_cast<size_t>(v - 1)], {player_.viewer(), history(), pixel_x_})
                    : Image{};
        view_drawn_ = view_key;
    }

    bool changed = false;
    const Scene s = scene();
    const bool same_scene = laid_out_ && s.controls == laid_out_for_.controls && s.on == laid_out_for_.on &&
                            s.priority == laid_out_for_.priority && s.view_width == laid_out_for_.view_width &&
                            s.view_height == laid_out_for_.view_height &&
                            s.view_enlarged == laid_out_for_.view_enlarged && s.field == laid_out_for_.field;
    if (!same_scene) {
        const Layout l = lay_out(viewport_, s);
        laid_out_ = true;
        laid_out_for_ = s;
        layout_ = l;
        ++layout_version_;
        changed = true;
        // The pieces this layout has.
        std::vector<Piece> pieces;
        auto keep = [&](PieceKind kind, const Rect& r) {
            if (r.empty()) return;
            Piece p{kind, r, {}, 0, {}};
            for (const Piece& old : pieces_)
                if (old.kind == kind && old.rect == r && kind != PieceKind::Sign) p = old;
            pieces.push_back(std::move(p));
        };
        keep(PieceKind::Picture, l.picture);
        keep(PieceKind::Controls, l.controls); // under the timeline, which is in it
        keep(PieceKind::Timeline, l.timeline);
        keep(PieceKind::Osd, l.panel(Panel::Osd));
        keep(PieceKind::Inspector, l.panel(Panel::Inspector));
        keep(PieceKind::View, l.panel(Panel::View));
        keep(PieceKind::Help, l.panel(Panel::Help));
        for (const Button& b : l.buttons)
            if (!b.rect.within(l.controls)) keep(PieceKind::Sign, b.rect);
        pieces_ = std::move(pieces);
    }
    for (Piece& p : pieces_) {
        const std::string key = drawn_from(p);
        if (key == p.drawn && p.version) continue;
        p.drawn = key;
        draw_piece(p);
        p.version = ++versions_;
        changed = true;
    }
    return changed;
}

std::string Presentation::drawn_from(const Piece& p) const {
    const Player& pl = player_;
    const Timeline& t = pl.timeline();
    switch (p.kind) {
    case PieceKind::Picture: return std::to_string(pl.position()) + "/" + std::to_string(pl.changes());
    case PieceKind::Timeline: {
        const int w = p.rect.w;
        const int hover = layout_.timeline.contains(pointer_x_, pointer_y_) ? pointer_x_ : -1;
        return std::to_string(x_of(pl.position(), t.refreshes, w)) + "/" +
               std::to_string(pl.learned_all() ? w : x_of(pl.learned(), t.refreshes, w)) + "/" +
               std::to_string(pl.loop_a()) + "/" + std::to_string(pl.loop_b()) + "/" + std::to_string(hover);
    }
    case PieceKind::Controls: {
        std::string key = pl.notice_text() + "/" + pl.status_text() + "/" + pl.field_text() + "/" +
                          std::to_string(pl.field_open());
        for (const Button& b : layout_.buttons) key += label(b.action, pl) + std::to_string(is_on(b.action, pl));
        return key;
    }
    case PieceKind::Osd: {
        std::string key = std::to_string(x_of(pl.position(), t.refreshes, p.rect.w));
        for (const std::string& line : pl.osd_lines()) key += "/" + line;
        return key;
    }
    case PieceKind::Inspector:
        return std::to_string(pl.position()) + "/" + std::to_string(pl.changes()) + "/" +
               std::to_string(inspected_entry()) + "/" + std::to_string(pixel_x_) + "," + std::to_string(pixel_y_);
    case PieceKind::View: return view_drawn_;
    case PieceKind::Help:
    case PieceKind::Sign: return "";
    }
    return "";
}

void Presentation::draw_piece(Piece& p) {
    switch (p.kind) {
    case PieceKind::Picture: {
        const Viewer& v = player_.viewer();
        Image& img = p.image;
        img.width = kW;
        img.height = kH;
        img.rgba.resize(static_cast<size_t>(kW) * kH * 4);
        const uint8_t* pixels = v.pixels();
        const uint8_t* rgb = v.rgb();
        for (int i = 0; i < kW * kH; ++i) {
            const uint8_t* c = rgb + 3 * pixels[i];
            uint8_t* out = img.rgba.data() + 4 * i;
            out[0] = c[0];
            out[1] = c[1];
            out[2] = c[2];
            out[3] = 255;
        }
        return;
    }
    case PieceKind::Timeline: p.image = draw_timeline(p.rect); return;
    case PieceKind::Controls: p.image = draw_controls(p.rect); return;
    case PieceKind::Osd: p.image = draw_osd(p.rect); return;
    case PieceKind::Inspector: p.image = draw_inspector(p.rect); return;
    case PieceKind::View: p.image = view_; return;
    case PieceKind::Help: p.image = draw_help(p.rect); return;
    case PieceKind::Sign:
        for (const Button& b : layout_.buttons)
            if (b.rect == p.rect) p.image = draw_sign(b);
        return;
    }
}

// The timeline: a band with the play's progress, the A-B loop and the
// playhead over a row of the stages' names, each in its own stretch; with
// the pointer over it, that row says the time and refresh under it.
Image Presentation::draw_timeline(const Rect& r) const {
    const Player& p = player_;
    const Timeline& t = p.timeline();
    const int u = layout_.unit, w = r.w;
    Canvas c(r.w, r.h, Shade::kBar);
    const int band = kTimelineBand * u;
    const int top = (r.h - (band + u + Text::line(u))) / 2;
    const int row = top + band + u;
    const int now = x_of(p.position(), t.refreshes, w);
    const int learned = p.learned_all() ? w : x_of(p.learned(), t.refreshes, w);
    // The band: played, to come, not learned yet; the loop in its lower half.
    c.rect(0, top, w, band, Shade::kUnplayed);
    c.rect(0, top, now + 1, band, Shade::kPlayed);
    if (learned < w) c.rect(learned, top, w - learned, band, Shade::kUnlearned);
    if (p.loop_a()) {
        const int a = x_of(p.loop_a(), t.refreshes, w), b = p.loop_b() ? x_of(p.loop_b(), t.refreshes, w) : a;
        c.rect(a, top + band - 2 * u, std::max(b - a + 1, u), 2 * u, Shade::kLoop);
    }
    // The stages, each named as fully as its stretch allows, never into the next.
    for (size_t i = 0; i < t.chapters.size(); ++i) {
        const int from = x_of(t.chapters[i].first, t.refreshes, w);
        const int to = i + 1 < t.chapters.size() ? x_of(t.chapters[i + 1].first, t.refreshes, w) : w;
        c.rect(from, row - u, std::max(1, to - from), Text::line(u) + u, Shade::kStage[i % 2]);
    }
    const bool hovering = layout_.timeline.contains(pointer_x_, pointer_y_);
    if (hovering) {
        const int x = pointer_x_ - r.x;
        const double f = w > 1 ? static_cast<double>(x) / (w - 1) : 0;
        const uint32_t n = p.refresh_at(f);
        const std::string text = Text::fit(time_text(n) + "  refresh " + std::to_string(n) + "  " +
                                               stage_name(t.chapter_at(n).stage),
                                           Text::chars_in(w - 2 * u, u));
        const int tw = Text::width(text, u);
        c.text(std::clamp(x - tw / 2, u, std::max(u, w - u - tw)), row, text, Colours::kWhite, u);
        c.rect(x, top, std::max(1, u / 2), band, Colours::kAccent);
    } else {
        for (size_t i = 0; i < t.chapters.size(); ++i) {
            const Show::Stage stage = t.chapters[i].stage;
            if (stage == Show::Stage::StartUp || stage == Show::Stage::Ended) continue; // a refresh each
            const int from = x_of(t.chapters[i].first, t.refreshes, w);
            const int to = i + 1 < t.chapters.size() ? x_of(t.chapters[i + 1].first, t.refreshes, w) : w;
            const std::string name = upper(stage_label(stage, Text::chars_in(to - from - 2 * u, u)));
            c.text(from + u, row, name, Colours::kDim, u);
        }
    }
    // The playhead, in the band only.
    c.rect(std::clamp(now - u, 0, std::max(0, w - 2 * u)), top, 2 * u, band, Colours::kWhite);
    return c.take();
}

Image Presentation::draw_controls(const Rect& r) const {
    const Player& p = player_;
    const int u = layout_.unit;
    Canvas c(r.w, r.h, Shade::kBar);
    for (const Button& b : layout_.buttons) {
        if (!b.rect.within(r)) continue;
        if (b.fold) button_box(c, b.rect, r.x, r.y, fold_label(b.panel), false, Shade::kSign, u);
        else button_box(c, b.rect, r.x, r.y, label(b.action, p), is_on(b.action, p), Shade::kButton, u);
    }
    if (!layout_.field.empty()) {
        const Rect& f = layout_.field;
        c.rect(f.x - r.x, f.y - r.y, f.w, f.h, Colours::kBlack);
        c.frame(f.x - r.x, f.y - r.y, f.w, f.h, Shade::kEdgeOn);
        const std::string typed = Text::fit(p.field_text() + "_", Text::chars_in(f.w - 4 * u, u));
        c.text(f.x - r.x + 2 * u, f.y - r.y + (f.h - Text::glyph_height(u)) / 2, upper(typed), Colours::kWhite, u);
    }
    if (!layout_.status.empty()) {
        const Rect& s = layout_.status;
        const bool notice = !p.notice_text().empty();
        const std::string text =
            Text::fit(upper(notice ? p.notice_text() : p.status_text()), Text::chars_in(s.w - 2 * u, u));
        c.text(s.x - r.x + u, s.y - r.y + (s.h - Text::glyph_height(u)) / 2, text,
               notice ? Colours::kAccent : Colours::kText, u);
    }
    return c.take();
}

// The on-screen display: its lines, the cues over the whole show with where
// the play is, and what each colour means.
Image Presentation::draw_osd(const Rect& r) const {
    const Player& p = player_;
    const Timeline& t = p.timeline();
    const int u = layout_.unit, pad = kPad * u, inner = r.w - 2 * pad;
    Canvas c(r.w, r.h, Colours::kPanel);
    panel_box(c, u);
    int y = pad;
    for (const std::string& line : p.osd_lines()) {
        c.text(pad, y, upper(line), Colours::kText, u);
        y += Text::line(u);
    }
    y += u;
    const int strip = kCueStrip * u;
    c.rect(pad, y, inner, strip, Shade::kBar);
    for (const auto& m : t.cues) c.rect(pad + x_of(m.refresh, t.refreshes, inner), y, u, strip, cue_colour(m.cue));
    const int now = pad + x_of(p.position(), t.refreshes, inner);
    c.rect(std::clamp(now - u / 2, pad, pad + inner - 1), y - u, std::max(1, u / 2) + u / 2, u, Colours::kWhite);
    y += strip + 2 * u;
    // The legend, flowed into rows.
    int x = 0;
    for (Cue cue : kCueKinds) {
        const std::string name = upper(cue_name(cue));
        const int item = (kCueStrip + 1) * u + Text::width(name, u) + 2 * Text::advance(u);
        if (x > 0 && x + item > inner) {
            x = 0;
            y += Text::line(u);
        }
        c.rect(pad + x, y, kCueStrip * u, Text::glyph_height(u), cue_colour(cue));
        c.text(pad + x + (kCueStrip + 1) * u, y, name, Colours::kText, u);
        x += item;
    }
    return c.take();
}

// The palette inspector: the 256 colours, the one named by the pointer
// (on a swatch, or the picture's pixel) framed and said in words.
Image Presentation::draw_inspector(const Rect& r) const {
    const int u = layout_.unit, pad = kPad * u, cell = kSwatchCell * u;
    const uint8_t* rgb = player_.viewer().rgb();
    Canvas c(r.w, r.h, Colours::kPanel);
    panel_box(c, u);
    const int gap = std::max(1, u / 2);
    for (int i = 0; i < 256; ++i) {
        const uint8_t* col = rgb + 3 * i;
        c.rect(pad + i % 16 * cell, pad + i / 16 * cell, cell - gap, cell - gap, {col[0], col[1], col[2]});
    }
    const int entry = inspected_entry();
    const int y = pad + 16 * cell + 2 * u;
    if (entry < 0) {
        c.text(pad, y, "POINT AT A COLOUR", Colours::kDim, u);
        c.text(pad, y + Text::line(u), "OR THE PICTURE", Colours::kDim, u);
        return c.take();
    }
    const int ex = pad + entry % 16 * cell, ey = pad + entry / 16 * cell;
    c.frame(ex - gap, ey - gap, cell + gap, cell + gap, Colours::kWhite);
    const uint8_t* col = rgb + 3 * entry;
    char line1[40], line2[40];
    if (pixel_x_ >= 0)
        std::snprintf(line1, sizeof line1, "pixel %d,%d: %d", pixel_x_, pixel_y_, entry);
    else
        std::snprintf(line1, sizeof line1, "entry %d", entry);
    std::snprintf(line2, sizeof line2, "#%02x%02x%02x %d %d %d", col[0], col[1], col[2], col[0], col[1], col[2]);
    c.text(pad, y, upper(line1), Colours::kText, u);
    c.text(pad, y + Text::line(u), upper(line2), Colours::kText, u);
    return c.take();
}

Image Presentation::draw_help(const Rect& r) const {
    const int u = layout_.help_unit, pad = kPad * u;
    Canvas c(r.w, r.h, Colours::kPanel);
    panel_box(c, u);
    int y = pad;
    for (const std::string& line : help_lines(Text::chars_in(r.w - 2 * pad, u))) {
        c.text(pad, y, upper(line), Colours::kText, u);
        y += Text::line(u);
    }
    return c.take();
}

Image Presentation::draw_sign(const Button& b) const {
    Canvas c(b.rect.w, b.rect.h, Shade::kBar);
    const std::string text = b.fold ? fold_label(b.panel) : widest_label(b.action);
    button_box(c, b.rect, b.rect.x, b.rect.y, text, false, Shade::kSign, layout_.unit);
    return c.take();
}

} // namespace Host
