// The scroll text, the show's script: the whole text as one strip with the
// part on screen framed, each control code marked with what it does and the
// step it fires on, and the text itself to read.
#include <algorithm>

#include "host/viewer/inside/layout.h"
#include "host/viewer/inside/views.h"
#include "platform/display.h"
#include "text/scroller.h"
#include "text/text_renderer.h"

namespace Host::Inside {

namespace {

constexpr int kColumns = (kViewWidth - 6) / 6; // characters a line of the small font

// Each ink pixel of ch's glyph as (column, row), the renderer's bit order.
template <typename Ink>
void glyph_ink(const uint8_t* font, uint8_t ch, Ink ink) {
    if (ch >= 128) return;
    const uint32_t offset = font[2 * ch] | font[2 * ch + 1] << 8;
    if (offset == 0) return;
    const uint8_t* g = font + offset;
    const int rows = g[0], columns = g[1];
    const uint8_t* bits = g + 2;
    uint32_t byte = 0, left = 0;
    for (int r = 0; r < rows; ++r)
        for (int j = 0; j < columns; ++j) {
            if (left == 0) {
                byte = *bits++;
                left = 8;
            }
            if (byte & 1) ink(j, r);
            byte >>= 1;
            --left;
        }
}

bool has_glyph(const uint8_t* font, uint8_t ch) {
    return ch == ' ' || (ch < 128 && (font[2 * ch] | font[2 * ch + 1] << 8) != 0);
}

// What a cue did, from the stage whose frame took its step. A stage that
// ends on the text's end cue without waiting for a sync hands over its
// refresh already as the next stage's.
std::string meaning(const History::Report& r, const Viewer& viewer) {
    const Timeline& t = viewer.timeline();
    Show::Stage took = t.chapter_at(r.refresh).stage;
    if ((r.cue == Cue::End || r.cue == Cue::Pause) && t.chapter_start(took) == r.refresh && r.refresh > 1)
        took = t.chapter_at(r.refresh - 1).stage;
    const std::string stage = stage_name(took);
    switch (r.cue) {
    case Cue::FadeIn: return stage + " fades in";
    case Cue::FadeOut: return stage + " fades out";
    case Cue::End: return stage + " ends";
    case Cue::Rewind: return "the text starts again";
    case Cue::Pause: return stage + " ends, text stands";
    case Cue::None: break;
    }
    return "";
}

// The whole strip's ink, summed into the view's columns: made once for a
// font and text.
const std::vector<int>& strip_ink(const uint8_t* font, const char* text, const ScrollModel& m) {
    static const uint8_t* made_font = nullptr;
    static const char* made_text = nullptr;
    static std::vector<int> ink;
    if (made_font == font && made_text == text) return ink;
    const double scale = static_cast<double>(kViewWidth) / std::max(m.strip_width, 1);
    ink.assign(kViewWidth, 0);
    for (size_t i = 0; i + 1 < m.x.size(); ++i)
        glyph_ink(font, static_cast<uint8_t>(text[i]), [&](int j, int) {
            const int x = static_cast<int>((m.x[i] + j) * scale);
            if (x >= 0 && x < kViewWidth) ++ink[x];
        });
    made_font = font;
    made_text = text;
    return ink;
}

} // namespace

ScrollModel scroll_model(const Context& context) {
    const Shown s = shown(context.viewer);
    const uint8_t* font = Scroller::font();
    const char* text = Scroller::text();
    ScrollModel m;
    m.x = strip_positions(font, text);
    m.strip_width = m.x.back();
    const History* h = context.history;
    for (int32_t i = 0; text[i] != 0;) {
        if (text[i] == '@' && text[i + 1] != 0) {
            ScrollModel::Mark mark{i, static_cast<Cue>(text[i + 1] - '0'), 0, 0};
            if (h) {
                for (const History::Report& r : h->reports()) {
                    if (r.code_at == i && mark.step == 0) mark.step = r.step;
                    if (mark.step && mark.cue == Cue::Pause && r.code_at < 0 && r.step > mark.step && !mark.end_step)
                        mark.end_step = r.step;
                }
            }
            m.marks.push_back(mark);
            i += 2;
        } else {
            ++i;
        }
    }

    // The frame on display took the step the Scroller had taken when the
    // refresh before was handed over.
    if (h && s.refresh <= h->refreshes()) {
        m.step = s.state_ahead && s.refresh >= 2 ? h->steps_at(s.refresh - 1) : h->steps_at(s.refresh);
        m.on_screen = h->text_on_screen(s.refresh) != 0;
        if (m.step >= 1) {
            const History::Step& st = h->step(m.step);
            m.window = m.x[st.index] - st.pen;
            m.pause = st.pause;
        }
    } else {
        // Without the history: where the Scroller stands now.
        const Scroller::Position p = Scroller::position();
        m.step = Scroller::steps();
        m.window = m.x[p.index] - p.pen;
        m.pause = p.pause;
    }
    return m;
}

Image render_scroll_text(const Context& context) {
    const Shown s = shown(context.viewer);
    const ScrollModel m = scroll_model(context);
    const uint8_t* font = Scroller::font();
    const char* text = Scroller::text();
    const History* h = context.history;

    // The text folded into lines of the small font, words kept whole; runs
    // of three or more spaces (the script's waits) as <n>.
    struct Token {
        int32_t first, last; // characters of the text
        std::string shown;
    };
    std::vector<std::vector<Token>> lines(1);
    int column = 0;
    for (int32_t i = 0; text[i] != 0;) {
        Token t{i, i, ""};
        if (text[i] == ' ') {
            int32_t j = i;
            while (text[j] == ' ') ++j;
            t.last = j - 1;
            t.shown = j - i >= 3 ? "<" + number(j - i) + ">" : std::string(static_cast<size_t>(j - i), ' ');
        } else if (text[i] == '@' && text[i + 1] != 0) {
            t.last = i + 1;
            t.shown = std::string("@") + text[i + 1];
        } else {
            int32_t j = i + 1; // a word: up to a space or a code
            while (text[j] != 0 && text[j] != ' ' && !(text[j] == '@' && text[j + 1] != 0)) ++j;
            t.last = j - 1;
            t.shown.assign(text + i, text + j);
        }
        if (column + static_cast<int>(t.shown.size()) > kColumns && column > 0) {
            lines.emplace_back();
            column = 0;
        }
        column += static_cast<int>(t.shown.size());
        lines.back().push_back(t);
        i = t.last + 1;
    }

    const int strip_top = 26, overview_top = strip_top + 30, codes_top = overview_top + 22;
    int code_lines = 0;
    for (const ScrollModel::Mark& mark : m.marks) code_lines += mark.end_step ? 2 : 1;
    const int text_top = codes_top + code_lines * kLine + 6;
    Canvas c(kViewWidth, text_top + static_cast<int>(lines.size()) * kLine + kLine + 2, Colours::kBackground);
    heading(c, "scroll text: the show's script", "refresh " + number(s.refresh));

    std::string state = m.step == 0 ? "not started: it starts with the plasma" : "step " + number(m.step);
    if (m.step) state += m.on_screen ? ", on screen" : ", not in the picture";
    c.text(3, 14, state, Colours::kText);
    if (m.pause > 0) {
        const std::string pause = "pause " + number(m.pause) + " of " + number(Scroller::kPauseSteps);
        c.text(kViewWidth - 3 - text_width(pause), 14, pause, cue_colour(Cue::Pause));
    }

    // Near the screen: the strip at half size, 160 strip pixels either side.
    const int32_t near0 = m.window - 160;
    c.rect(0, strip_top, kViewWidth, 26, Colours::kPanel);
    for (size_t i = 0; i + 1 < m.x.size(); ++i) {
        const int32_t x0 = m.x[i];
        if (x0 + 40 < near0 || x0 > near0 + 640) continue;
        glyph_ink(font, static_cast<uint8_t>(text[i]), [&](int j, int r) {
            c.pixel((x0 + j - near0) / 2, strip_top + 4 + r / 2, Colours::kText);
        });
    }
    if (m.step) {
        const Rgb frame = m.on_screen ? Colours::kAccent : Colours::kDim;
        c.frame(80, strip_top - 1, 160, 28, frame);
    }
    // The codes' marks, then their numbers where one does not run into the
    // one before or the screen's frame.
    int free_from = 0;
    for (const ScrollModel::Mark& mark : m.marks) {
        const int x = (m.x[mark.at] - near0) / 2;
        if (x < 0 || x >= kViewWidth) continue;
        c.vline(x, strip_top, strip_top + 25, cue_colour(mark.cue));
    }
    for (const ScrollModel::Mark& mark : m.marks) {
        const int x = (m.x[mark.at] - near0) / 2;
        const std::string label = number(static_cast<int>(mark.cue));
        const int left = x + 2, right = left + text_width(label);
        if (x < 0 || right >= kViewWidth || left < free_from) continue;
        if (m.step && ((left <= 80 && right >= 80) || (left <= 239 && right >= 239))) continue;
        c.text(left, strip_top + 1, label, cue_colour(mark.cue));
        free_from = right + 2;
    }

    // The whole strip: ink per column, the screen's window, the codes.
    const double scale = static_cast<double>(kViewWidth) / std::max(m.strip_width, 1);
    const std::vector<int>& ink = strip_ink(font, text, m);
    for (int x = 0; x < kViewWidth; ++x) {
        const int v = std::min(255, ink[x] / 2);
        c.vline(x, overview_top, overview_top + 9, {static_cast<uint8_t>(v), static_cast<uint8_t>(v), static_cast<uint8_t>(v)});
    }
    // The codes over the whole text, numbered where the numbers do not run
    // together, each inside the view.
    free_from = 0;
    for (const ScrollModel::Mark& mark : m.marks) {
        const int x = static_cast<int>(m.x[mark.at] * scale);
        c.vline(x, overview_top - 2, overview_top + 11, cue_colour(mark.cue));
        const std::string label = number(static_cast<int>(mark.cue));
        const int left = std::clamp(x - 2, 0, kViewWidth - text_width(label));
        if (left < free_from) continue;
        c.text(left, overview_top + 13, label, cue_colour(mark.cue));
        free_from = left + text_width(label) + 2;
    }
    if (m.step) {
        const int x0 = static_cast<int>(m.window * scale), x1 = static_cast<int>((m.window + Display::kWidth) * scale);
        c.frame(x0, overview_top - 3, std::max(3, x1 - x0 + 1), 16, m.on_screen ? Colours::kAccent : Colours::kDim);
    }

    // The codes in the order they fire, and the end of each pause.
    int y = codes_top;
    for (const ScrollModel::Mark& mark : m.marks) {
        const bool fired = mark.step && m.step >= mark.step;
        const Rgb colour = fired ? cue_colour(mark.cue) : Colours::kDim;
        c.text(3, y, "@" + number(static_cast<int>(mark.cue)), colour);
        const std::string step = mark.step ? number(mark.step) : "-";
        c.text(48 - text_width(step), y, step, colour);
        std::string what = cue_name(mark.cue);
        if (h && mark.step)
            for (const History::Report& r : h->reports())
                if (r.code_at == mark.at) {
                    what += ": " + meaning(r, context.viewer);
                    break;
                }
        c.text(56, y, what, colour);
        y += kLine;
        if (mark.end_step) {
            const bool over = m.step >= mark.end_step;
            const Rgb end_colour = over ? cue_colour(Cue::FadeOut) : Colours::kDim;
            const std::string end = number(mark.end_step);
            c.text(48 - text_width(end), y, end, end_colour);
            std::string what_then = "pause over (" + number(Scroller::kPauseSteps) + " steps)";
            for (const History::Report& r : h->reports())
                if (r.code_at < 0 && r.step == mark.end_step) what_then += ": " + meaning(r, context.viewer);
            c.text(56, y, what_then, end_colour);
            y += kLine;
        }
    }
    if (!h) c.text(3, y, "(the steps come with the history)", Colours::kDim);

    // The text to read: what is on screen lit, codes in their colours,
    // characters without a glyph (never drawn) dim.
    y = text_top;
    const int32_t lit0 = m.window, lit1 = m.window + Display::kWidth;
    for (const std::vector<Token>& line : lines) {
        int x = 3;
        for (const Token& t : line) {
            const bool on = m.step && m.x[t.last + 1] > lit0 && m.x[t.first] < lit1;
            if (on) c.rect(x - 1, y - 1, static_cast<int>(t.shown.size()) * 6 + 1, kLine, {70, 62, 20});
            if (t.shown[0] == '@') {
                c.text(x, y, t.shown, cue_colour(static_cast<Cue>(text[t.first + 1] - '0')));
            } else if (t.shown[0] == '<') {
                c.text(x, y, t.shown, Colours::kDim);
            } else {
                for (size_t k = 0; k < t.shown.size(); ++k) {
                    const bool drawn = has_glyph(font, static_cast<uint8_t>(text[t.first + static_cast<int32_t>(k)]));
                    c.text(x + 6 * static_cast<int>(k), y, std::string(1, t.shown[k]), drawn ? Colours::kText : Colours::kDim);
                }
            }
            x += 6 * static_cast<int>(t.shown.size());
        }
        y += kLine;
    }
    c.text(3, y, "<n>: n spaces, a wait   dim: no glyph, not drawn", Colours::kDim);
    return c.take();
}

} // namespace Host::Inside
