#include "host/viewer/player.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/host/display_controller.h"

namespace Host {

namespace {

constexpr ActionInfo kActions[] = {
    {Action::Start, "start", false, false},
    {Action::PlayPause, "pause", false, false},
    {Action::StepForward, "step", true, false},
    {Action::StepBack, "stepBack", true, false},
    {Action::Ahead, "ahead1", true, false},
    {Action::Back, "back1", true, false},
    {Action::AheadLong, "ahead10", true, false},
    {Action::BackLong, "back10", true, false},
    {Action::NextChapter, "next", true, false},
    {Action::PreviousChapter, "previous", true, false},
    {Action::First, "home", false, false},
    {Action::Last, "end", false, false},
    {Action::Faster, "faster", true, false},
    {Action::Slower, "slower", true, false},
    {Action::NormalSpeed, "normal", false, false},
    {Action::Loop, "loop", false, false},
    {Action::Again, "again", false, false},
    {Action::Osd, "osd", false, false},
    {Action::Inspector, "inspector", false, false},
    {Action::Views, "views", false, false},
    {Action::Help, "help", false, false},
    {Action::Fullscreen, "fullscreen", false, true},
    {Action::Screenshot, "screenshot", false, true},
    {Action::None, "", false, true},
};

constexpr KeyBinding kKeys[] = {
    {"Enter", false, true, Action::Fullscreen},
    {"Enter", false, false, Action::Start},
    {" ", false, false, Action::Start},
    {"Escape", false, false, Action::Start},
    {"p", false, false, Action::PlayPause},
    {"k", false, false, Action::PlayPause},
    {".", false, false, Action::StepForward},
    {",", false, false, Action::StepBack},
    {"ArrowRight", true, false, Action::AheadLong},
    {"ArrowRight", false, false, Action::Ahead},
    {"ArrowLeft", true, false, Action::BackLong},
    {"ArrowLeft", false, false, Action::Back},
    {"l", false, false, Action::AheadLong},
    {"j", false, false, Action::BackLong},
    {"PageDown", false, false, Action::NextChapter},
    {"PageUp", false, false, Action::PreviousChapter},
    {"Home", false, false, Action::First},
    {"End", false, false, Action::Last},
    {"]", false, false, Action::Faster},
    {"[", false, false, Action::Slower},
    {"Backspace", false, false, Action::NormalSpeed},
    {"a", false, false, Action::Loop},
    {"o", false, false, Action::Osd},
    {"i", false, false, Action::Inspector},
    {"v", false, false, Action::Views},
    {"h", false, false, Action::Help},
    {"?", false, false, Action::Help},
    {"F11", false, false, Action::Fullscreen},
    {"f", false, false, Action::Fullscreen},
    {"F12", false, false, Action::Screenshot},
};

// What each action does, for the key list, in the table's order.
constexpr struct {
    Action action;
    const char* what;
} kHelp[] = {
    {Action::Start, "START: ends the show, as on the handheld"},
    {Action::PlayPause, "pause / play"},
    {Action::StepForward, "one refresh forward (pauses)"},
    {Action::StepBack, "one refresh back (pauses)"},
    {Action::Ahead, "1 s forward"},
    {Action::Back, "1 s back"},
    {Action::AheadLong, "10 s forward"},
    {Action::BackLong, "10 s back"},
    {Action::NextChapter, "next stage"},
    {Action::PreviousChapter, "start of this stage, or the one before"},
    {Action::First, "the first refresh"},
    {Action::Last, "the last refresh"},
    {Action::Faster, "faster (up to 8x)"},
    {Action::Slower, "slower (down to 1/4x)"},
    {Action::NormalSpeed, "normal speed"},
    {Action::Loop, "A-B loop: set A, set B, clear"},
    {Action::Osd, "on-screen display"},
    {Action::Inspector, "palette inspector"},
    {Action::Views, "look inside: the next view of the effect"},
    {Action::Help, "this list"},
    {Action::Fullscreen, "fullscreen"},
    {Action::Screenshot, "screenshot of the picture"},
};

std::string key_words(const KeyBinding& k) {
    const std::string_view key = k.key;
    std::string word = key == " " ? "Space"
                       : key == "ArrowRight" ? "Right"
                       : key == "ArrowLeft" ? "Left"
                       : key == "PageDown" ? "Page Down"
                       : key == "PageUp" ? "Page Up"
                       : key.size() == 1 ? std::string(1, static_cast<char>(std::toupper(key[0])))
                                         : std::string(key);
    if (k.shift) word = "Shift+" + word;
    if (k.alt) word = "Alt+" + word;
    return word;
}

bool same_key(std::string_view a, std::string_view b) {
    if (a.size() == 1 && b.size() == 1) return std::tolower(a[0]) == std::tolower(b[0]);
    return a == b;
}

} // namespace

std::span<const ActionInfo> actions() { return kActions; }

const ActionInfo& info(Action a) {
    for (const ActionInfo& i : kActions)
        if (i.action == a) return i;
    return kActions[std::size(kActions) - 1];
}

Action action_named(std::string_view name) {
    for (const ActionInfo& i : kActions)
        if (name == i.name) return i.action;
    return Action::None;
}

std::span<const KeyBinding> key_table() { return kKeys; }

Action action_for_key(std::string_view key, bool shift, bool alt) {
    // A binding that names the modifiers held comes first; one without
    // shift also takes the shifted key (a capital letter).
    for (const KeyBinding& k : kKeys)
        if (same_key(k.key, key) && k.shift == shift && k.alt == alt) return k.action;
    for (const KeyBinding& k : kKeys)
        if (same_key(k.key, key) && !k.shift && !k.alt && !alt) return k.action;
    return Action::None;
}

std::vector<KeyHelp> key_help() {
    std::vector<KeyHelp> list;
    for (const auto& h : kHelp) {
        std::string keys;
        for (const KeyBinding& k : kKeys) {
            if (k.action != h.action) continue;
            keys += (keys.empty() ? "" : ", ") + key_words(k);
        }
        list.push_back({keys, h.what});
    }
    return list;
}

const char* cue_name(Cue c) {
    switch (c) {
    case Cue::FadeIn: return "fade in";
    case Cue::FadeOut: return "fade out";
    case Cue::Rewind: return "rewind";
    case Cue::Pause: return "pause";
    case Cue::End: return "end";
    case Cue::None: break;
    }
    return "cue";
}

Rgb cue_colour(Cue c) {
    switch (c) {
    case Cue::FadeIn: return {80, 220, 90};
    case Cue::FadeOut: return {240, 150, 40};
    case Cue::Rewind: return {80, 150, 255};
    case Cue::Pause: return {240, 230, 60};
    case Cue::End: return {240, 60, 60};
    case Cue::None: break;
    }
    return {160, 160, 160};
}

std::string stage_label(Show::Stage s, int max_chars) {
    const std::string name = stage_name(s);
    const std::string shorter = s == Show::Stage::Rotozoomer ? "roto"
                                : s == Show::Stage::HandOver ? "hand"
                                                             : name;
    for (const std::string& label : {name, shorter, name.substr(0, 1)})
        if (static_cast<int>(label.size()) <= max_chars) return label;
    return "";
}

Player::Player(long press_start_at) : viewer_(std::make_unique<Viewer>(press_start_at)) {}

bool Player::stopped() const {
    return at_end() && DisplayController::ending() == DisplayController::Ending::StoppedByStart;
}

void Player::seek(long n) {
    viewer_->seek(static_cast<uint32_t>(std::clamp<long>(n, 1, timeline().refreshes)));
    credit_ = 0;
    over_ = false;
    changed();
}

uint32_t Player::refresh_at(double fraction) const {
    const uint32_t last = timeline().refreshes;
    const double f = std::clamp(fraction, 0.0, 1.0);
    return 1 + static_cast<uint32_t>(f * (last - 1) + 0.5);
}

void Player::chapter(int direction) {
    const uint32_t at = position();
    if (direction > 0) {
        for (const auto& c : timeline().chapters)
            if (c.first > at) return seek(c.first);
        return seek(timeline().refreshes);
    }
    // Back to the start of this chapter, or of the one before when already there.
    uint32_t target = 1;
    for (const auto& c : timeline().chapters)
        if (c.first < at) target = c.first;
    seek(target);
}

// A, then B, then no loop. The loop runs from the earlier point to the later
// and is at least two refreshes long.
void Player::set_loop_point() {
    const uint32_t at = position();
    if (!loop_a_) {
        loop_a_ = at;
        return;
    }
    if (loop_b_) {
        loop_a_ = loop_b_ = 0;
        return;
    }
    uint32_t from = std::min(loop_a_, at), to = std::max(loop_a_, at);
    if (from == to) {
        if (to < timeline().refreshes) ++to;
        else --from;
    }
    loop_a_ = from;
    loop_b_ = to;
}

bool Player::perform(Action a) {
    const long at = position();
    switch (a) {
    case Action::Start:
        if (at_end()) return true;
        viewer_->press_start();
        paused_ = false;
        break;
    case Action::PlayPause: paused_ = !paused_; break;
    case Action::StepForward:
        paused_ = true;
        viewer_->advance();
        break;
    case Action::StepBack:
        paused_ = true;
        seek(at - 1);
        break;
    case Action::Ahead: seek(at + Display::kRefreshRate); break;
    case Action::Back: seek(at - Display::kRefreshRate); break;
    case Action::AheadLong: seek(at + 10 * Display::kRefreshRate); break;
    case Action::BackLong: seek(at - 10 * Display::kRefreshRate); break;
    case Action::NextChapter: chapter(1); break;
    case Action::PreviousChapter: chapter(-1); break;
    case Action::First: seek(1); break;
    case Action::Last: seek(timeline().refreshes); break;
    case Action::Faster: speed_ = std::min(speed_ + 1, static_cast<int>(std::size(kSpeeds)) - 1); break;
    case Action::Slower: speed_ = std::max(speed_ - 1, 0); break;
    case Action::NormalSpeed: speed_ = kNormalSpeed; break;
    case Action::Loop: set_loop_point(); break;
    case Action::Again:
        seek(1);
        paused_ = false;
        break;
    case Action::Osd: osd_ = !osd_; break;
    case Action::Inspector: inspector_ = !inspector_; break;
    case Action::Views: view_ = view_count_ > 0 ? (view_ + 1) % (view_count_ + 1) : 0; break;
    case Action::Help: help_ = !help_; break;
    case Action::Fullscreen:
    case Action::Screenshot:
    case Action::None:
        return false;
    }
    over_ = over_ && at_end() && !paused_;
    changed();
    return true;
}

Action Player::press(std::string_view key, bool shift, bool alt, bool repeat) {
    const Action a = action_for_key(key, shift, alt);
    if (a != Action::None && !(repeat && !info(a).repeats)) perform(a);
    return a;
}

void Player::set_view_count(int n) {
    view_count_ = std::max(n, 0);
    if (view_ > view_count_) {
        view_ = 0;
        changed();
    }
}

bool Player::tick() {
    if (over_ || paused_) return false;
    const bool looping = loop_b_ != 0;
    // The last refresh has had its display period: the run is over.
    if (at_end() && !(looping && position() >= loop_b_)) {
        over_ = true;
        changed();
        return false;
    }
    credit_ += kSpeeds[speed_];
    bool moved = false;
    while (credit_ >= 4) {
        credit_ -= 4;
        if (looping && position() >= loop_b_) {
            viewer_->seek(loop_a_);
        } else if (!viewer_->advance()) {
            break;
        }
        moved = true;
        // The final picture is shown for a period of its own.
        if (at_end()) break;
    }
    if (at_end()) credit_ = 0;
    if (moved) changed();
    return moved;
}

bool Player::learn(std::chrono::steady_clock::duration budget) {
    if (viewer_->learned_all()) return false;
    return viewer_->learn(budget);
}

std::string Player::speed_text() const {
    const int quarters = kSpeeds[speed_];
    return quarters >= 4 ? std::to_string(quarters / 4) + "x" : "1/" + std::to_string(4 / quarters) + "x";
}

std::vector<std::string> Player::osd_lines() const {
    const uint32_t n = position(), last = timeline().refreshes;
    std::vector<std::string> lines = {
        "refresh " + std::to_string(n) + " / " + std::to_string(last),
        time_text(n) + " / " + time_text(last),
        std::string("stage ") + stage_name(viewer_->stage()),
        "speed " + speed_text() + (at_end() ? "  ended" : paused_ ? "  paused" : ""),
    };
    if (loop_a_)
        lines.push_back("loop " + std::to_string(loop_a_) + " - " + (loop_b_ ? std::to_string(loop_b_) : "?"));
    return lines;
}

std::string Player::status_text() const {
    const uint32_t n = position();
    std::string text = time_text(n) + " / " + time_text(timeline().refreshes) + " \u00b7 " + stage_name(viewer_->stage());
    if (at_end())
        text += stopped() ? " \u00b7 stopped after " + std::to_string(n) + " refreshes" : " \u00b7 the show completed";
    return text;
}

std::string Player::loop_text() const {
    if (!loop_a_) return "A-B";
    return "A-B " + std::to_string(loop_a_) + "-" + (loop_b_ ? std::to_string(loop_b_) : "?");
}

} // namespace Host
