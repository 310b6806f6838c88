#include "host/viewer/timeline.h"

#include <algorithm>
#include <cstdio>

#include "data/assets.h"
#include "host/viewer/script_run.h"

namespace Host {

std::string time_text(uint32_t refresh) {
    const uint32_t n = refresh > 0 ? refresh - 1 : 0;
    char text[24];
    std::snprintf(text, sizeof text, "%u:%02u.%02u", n / (60 * Display::kRefreshRate), n / Display::kRefreshRate % 60,
                  n % Display::kRefreshRate * 100 / Display::kRefreshRate);
    return text;
}

const char* stage_name(Show::Stage s) {
    switch (s) {
    case Show::Stage::StartUp: return "start-up";
    case Show::Stage::Title: return "title";
    case Show::Stage::Plasma: return "plasma";
    case Show::Stage::Flight: return "flight";
    case Show::Stage::HandOver: return "hand-over";
    case Show::Stage::Rotozoomer: return "rotozoomer";
    case Show::Stage::Ended: return "final";
    }
    return "?";
}

const Timeline::Chapter& Timeline::chapter_at(uint32_t n) const {
    auto after = std::upper_bound(chapters.begin(), chapters.end(), n,
                                  [](uint32_t refresh, const Chapter& c) { return refresh < c.first; });
    return after == chapters.begin() ? chapters.front() : *(after - 1);
}

uint32_t Timeline::chapter_start(Show::Stage s) const {
    for (const Chapter& c : chapters)
        if (c.stage == s) return c.first;
    return 0;
}

uint32_t Timeline::chapter_length(Show::Stage s) const {
    for (size_t i = 0; i < chapters.size(); ++i)
        if (chapters[i].stage == s) return (i + 1 < chapters.size() ? chapters[i + 1].first : refreshes + 1) - chapters[i].first;
    return 0;
}

uint32_t Timeline::refreshes_with_start_at(long k) const {
    if (k < 0) return refreshes;
    // START ends the show at the first poll that sees it, with one refresh
    // more: the picture left on display.
    auto poll = std::lower_bound(polls.begin(), polls.end(), static_cast<uint32_t>(k));
    return poll == polls.end() ? refreshes : *poll + 1;
}

Timeline Timeline::with_start_at(long k) const {
    const uint32_t last = refreshes_with_start_at(k);
    if (last == refreshes) return *this;
    Timeline t;
    t.refreshes = last;
    for (const Chapter& c : chapters)
        if (c.first < last) t.chapters.push_back(c);
    t.chapters.push_back({Show::Stage::Ended, last});
    for (const Mark& m : cues)
        if (m.refresh < last) t.cues.push_back(m);
    for (uint32_t p : polls)
        if (p < last) t.polls.push_back(p);
    return t;
}

Timeline learn_timeline(std::string_view script) {
    return run_script(Assets::scroller_font, script, UINT32_MAX).timeline;
}

} // namespace Host
