// The palettes over time: every refresh's 256 colours as a column, the
// whole show at a glance and the refreshes around the one on display one
// by one. Every fade and cross-fade of the show shows as a gradient.
#include <utility>
#include <vector>

#include "host/viewer/inside/views.h"

namespace Host::Inside {

namespace {

void column(Canvas& c, int x, int top, const uint8_t* rgb) {
    for (int i = 0; i < 256; ++i) {
        uint8_t* p = c.row(top + i) + 4 * x;
        p[0] = rgb[3 * i];
        p[1] = rgb[3 * i + 1];
        p[2] = rgb[3 * i + 2];
    }
}

// A mark of the refresh on display above and below a band.
void now_mark(Canvas& c, int x, int top) {
    c.vline(x, top - 4, top - 1, Colours::kAccent);
    c.vline(x, top + 256, top + 259, Colours::kAccent);
    c.hline(x - 2, x + 2, top - 4, Colours::kAccent);
}

} // namespace

Image render_palettes(const Context& context) {
    const Shown s = shown(context.viewer);
    const History* h = context.history;
    Canvas c(kViewWidth, kPalettesNearTop + 256 + 6 + kLine, Colours::kBackground);
    heading(c, "palettes over time", "refresh " + number(s.refresh));
    if (!h || h->refreshes() == 0) {
        c.text(3, 30, "the palettes come with the history", Colours::kDim);
        return c.take();
    }
    const uint32_t total = h->refreshes();
    const Timeline& t = context.viewer.timeline();

    // The whole show: column x, the refresh at x / 320 of it.
    for (int x = 0; x < kViewWidth; ++x) {
        const uint32_t n = 1 + static_cast<uint32_t>(static_cast<uint64_t>(x) * total / kViewWidth);
        column(c, x, kPalettesWholeTop, h->palette(n));
    }
    // Where each stage begins, under it, each named as fully as the room
    // up to the next allows.
    int y = kPalettesWholeTop + 256 + 2;
    std::vector<std::pair<int, Show::Stage>> starts;
    for (const Timeline::Chapter& ch : t.chapters) {
        if (ch.stage == Show::Stage::StartUp || ch.stage == Show::Stage::Ended || ch.first > total) continue;
        starts.push_back({static_cast<int>(static_cast<uint64_t>(ch.first - 1) * kViewWidth / total), ch.stage});
    }
    for (const auto& [x, stage] : starts) c.vline(x, y, y + 8, Colours::kDim);
    for (size_t i = 0; i < starts.size(); ++i) {
        const int x = starts[i].first, next = i + 1 < starts.size() ? starts[i + 1].first : kViewWidth;
        c.text(x + 2, y + 2, stage_label(starts[i].second, (next - x - 3) / 6), Colours::kDim);
    }
    if (s.refresh <= total) now_mark(c, static_cast<int>(static_cast<uint64_t>(s.refresh - 1) * kViewWidth / total), kPalettesWholeTop);

    // Around the refresh on display, one column each; the label clear of
    // the mark of the refresh on display.
    y = kPalettesNearTop - 13;
    const long first = static_cast<long>(s.refresh) - kPalettesNow;
    c.text(3, y, "refreshes " + number(first > 0 ? first : 1) + " to " +
                     number(std::min<long>(first + kViewWidth - 1, total)) + ", one a column",
           Colours::kText);
    for (int x = 0; x < kViewWidth; ++x) {
        const long n = first + x;
        if (n >= 1 && n <= static_cast<long>(total)) {
            column(c, x, kPalettesNearTop, h->palette(static_cast<uint32_t>(n)));
        } else {
            for (int i = 0; i < 256; i += 2) c.pixel(x, kPalettesNearTop + i + (x & 1), Colours::kPanel);
        }
    }
    now_mark(c, kPalettesNow, kPalettesNearTop);
    c.text(3, kPalettesNearTop + 256 + 6, "rows: entries 0 (top) to 255", Colours::kDim);
    return c.take();
}

} // namespace Host::Inside
