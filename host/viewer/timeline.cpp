#include "host/viewer/timeline.h"

#include <algorithm>
#include <cstdio>

#include "data/assets.h"
#include "host/viewer/script_run.h"

namespace Host {

std::string time_text(uint32_t refresh) {
    const uint64_t n = refresh > 0 ? refresh - 1 : 0;
    // Hundredths, rounded up: the first hundredth within the refresh's period.
    const uint64_t hundredths = (n * 100 + Display::kRefreshRate - 1) / Display::kRefreshRate;
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02llu.%02llu", static_cast<unsigned long long>(hundredths / 6000),
                  static_cast<unsigned long long>(hundredths / 100 % 60),
                  static_cast<unsigned long long>(hundredths % 100));
    return text;
}

namespace {

bool all_digits(const std::string& t, size_t from, size_t to) {
    if (from >= to) return false;
    for (size_t i = from; i < to; ++i)
        if (t[i] < '0' || t[i] > '9') return false;
    return true;
}

// Digits to a number, false past `limit`.
bool number_of(const std::string& t, size_t from, size_t to, uint64_t limit, uint64_t& value) {
    value = 0;
    for (size_t i = from; i < to; ++i) {
        value = value * 10 + static_cast<uint64_t>(t[i] - '0');
        if (value > limit) return false;
    }
    return true;
}

} // namespace

bool parse_point(const std::string& text, PointRole role, uint32_t& refresh, std::string& reason) {
    const std::string forms = role == PointRole::Time ? "a time m:ss.ff or seconds"
                                                      : "a refresh number or a time m:ss.ff";
    const std::string malformed = "needs " + forms + ", not '" + text + "'";
    constexpr uint64_t kLimit = 1'000'000'000; // milliseconds, or a refresh number, past any show
    const size_t colon = text.find(':');
    const bool seconds_suffix = !text.empty() && text.back() == 's';
    const std::string body = seconds_suffix ? text.substr(0, text.size() - 1) : text;
    const size_t dot = body.find('.');
    // A refresh number: digits alone.
    if (role != PointRole::Time && colon == std::string::npos && !seconds_suffix && dot == std::string::npos) {
        uint64_t n = 0;
        if (!all_digits(text, 0, text.size())) {
            reason = malformed;
            return false;
        }
        if (!number_of(text, 0, text.size(), UINT32_MAX, n)) {
            reason = text + " is past any show";
            return false;
        }
        if (n < 1) {
            reason = "must be a refresh, 1 or more, or a time m:ss.ff, not " + text;
            return false;
        }
        refresh = static_cast<uint32_t>(n);
        return true;
    }
    // A time: [m:]ss[.fff][s]; with minutes, seconds are two digits under 60.
    uint64_t minutes = 0, seconds = 0, ms = 0;
    size_t from = 0;
    if (colon != std::string::npos) {
        if (seconds_suffix || colon < 1 || colon > 4 || !all_digits(body, 0, colon)) {
            reason = malformed;
            return false;
        }
        number_of(body, 0, colon, kLimit, minutes);
        from = colon + 1;
    }
    const size_t seconds_end = dot == std::string::npos ? body.size() : dot;
    const size_t fraction = dot == std::string::npos ? 0 : body.size() - dot - 1;
    const bool shaped = all_digits(body, from, seconds_end) &&
                        (colon == std::string::npos || (seconds_end - from == 2 && body[from] < '6')) &&
                        (dot == std::string::npos || (fraction >= 1 && fraction <= 3 && all_digits(body, dot + 1, body.size())));
    if (!shaped || !number_of(body, from, seconds_end, kLimit, seconds)) {
        reason = shaped ? text + " is past any show" : malformed;
        return false;
    }
    if (fraction > 0) {
        std::string f = body.substr(dot + 1);
        f.resize(3, '0');
        ms = static_cast<uint64_t>(std::stoul(f));
    }
    const uint64_t total = (minutes * 60 + seconds) * 1000 + ms;
    if (total > kLimit) {
        reason = text + " is past any show";
        return false;
    }
    // Refresh n is on display from (n - 1) / 60 s to n / 60 s.
    const uint64_t sixtieths = total * Display::kRefreshRate;
    const uint64_t n = role == PointRole::End ? (sixtieths + 999) / 1000 : sixtieths / 1000 + 1;
    if (n < 1) {
        reason = text + " ends before the first refresh";
        return false;
    }
    refresh = static_cast<uint32_t>(n);
    return true;
}

bool parse_refresh_point(const std::string& text, bool end, uint32_t& refresh, std::string& reason) {
    return parse_point(text, end ? PointRole::End : PointRole::Start, refresh, reason);
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
