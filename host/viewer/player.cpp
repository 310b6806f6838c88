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
    {Action::Zoom, "zoom", false, false},
    {Action::Controls, "controls", false, false},
    {Action::GoTo, "goto", false, false},
    {Action::Close, "close", false, false},
    {Action::Fullscreen, "fullscreen", false, true},
    {Action::Screenshot, "screenshot", false, true},
    {Action::Clip, "clip", false, true},
    {Action::ClipVideo, "clipVideo", false, true},
    {Action::None, "", false, true},
};

constexpr KeyBinding kKeys[] = {
    {"Enter", false, true, Action::Fullscreen},
    {"Enter", false, false, Action::Start},
    {" ", false, false, Action::Start},
    {"Escape", false, false, Action::Close},
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
    {"z", false, false, Action::Zoom},
    {"c", false, false, Action::Controls},
    {"g", false, false, Action::GoTo},
    {"r", true, false, Action::ClipVideo},
    {"r", false, false, Action::Clip},
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
    {Action::Start, "START: ends the show, as on the handheld (so do a gamepad's Start and the START button)"},
    {Action::Close, "closes what is open (the keys, a panel, fullscreen); with nothing open, START"},
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
    {Action::Zoom, "the view enlarged, or back"},
    {Action::Controls, "the timeline and the buttons shown or hidden"},
    {Action::GoTo, "go to: type a refresh or a time m:ss.ff"},
    {Action::Clip, "a clip of the A-B loop (or of the stage on show) as an exact GIF"},
    {Action::ClipVideo, "the same clip as a video"},
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

std::string keys_of(Action a) {
    std::string keys;
    for (const KeyBinding& k : kKeys)
        if (k.action == a) keys += (keys.empty() ? "" : ", ") + key_words(k);
    return keys;
}

const char* what_it_does(Action a) {
    for (const auto& h : kHelp)
        if (h.action == a) return h.what;
    return "";
}

std::vector<KeyHelp> key_help() {
    std::vector<KeyHelp> list;
    for (const auto& h : kHelp) list.push_back({keys_of(h.action), h.what});
    return list;
}

Player::Player(long press_start_at) : viewer_(std::make_unique<Viewer>(press_start_at)) {}

bool Player::stopped() const {
    return at_end() && DisplayController::ending() == DisplayController::Ending::StoppedByStart;
}

void Player::seek(long n) {
    viewer_->seek(static_cast<uint32_t>(std::clamp<long>(n, 1, timeline().refreshes)));
    credit_ = 0;
    over_ = false;
    due_.reset(); // the picture sought has a period of its own
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

void Player::toggle_panel(Action a, bool& shown) {
    shown = !shown;
    if (shown) bring_forward(a);
}

void Player::bring_forward(Action panel) {
    order_.erase(std::remove(order_.begin(), order_.end(), panel), order_.end());
    order_.insert(order_.begin(), panel);
    changed();
}

void Player::set_editor(bool shown) {
    if (shown == editor_) return;
    editor_ = shown;
    if (shown) bring_forward(Action::None);
    changed();
}

std::pair<uint32_t, uint32_t> Player::clip_range() const {
    if (loop_b_) return {loop_a_, loop_b_};
    const Timeline& t = timeline();
    const Timeline::Chapter& c = t.chapter_at(position());
    const uint32_t length = t.chapter_length(c.stage);
    return {c.first, std::min(t.refreshes, c.first + std::max(length, 1u) - 1)};
}

Action Player::close() {
    if (help_) {
        help_ = false;
        return Action::Help;
    }
    if (field_) {
        field_ = false;
        field_text_.clear();
        return Action::GoTo;
    }
    for (Action a : order_) {
        bool* shown = a == Action::Osd ? &osd_ : a == Action::Inspector ? &inspector_ : a == Action::None ? &editor_ : nullptr;
        if (shown && *shown) {
            *shown = false;
            return a;
        }
        if (a == Action::Views && view_ > 0) {
            view_ = 0;
            return a;
        }
    }
    if (fullscreen_) return Action::Fullscreen;
    perform(Action::Start);
    return Action::Start;
}

bool Player::perform(Action a) {
    const long at = position();
    switch (a) {
    case Action::Start:
        // At the end, even paused there, START ends the run.
        if (at_end()) {
            over_ = true;
            due_.reset();
            changed();
            return true;
        }
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
    case Action::Osd: toggle_panel(a, osd_); break;
    case Action::Inspector: toggle_panel(a, inspector_); break;
    case Action::Views:
        view_ = view_count_ > 0 ? (view_ + 1) % (view_count_ + 1) : 0;
        if (view_ == 1) bring_forward(a);
        break;
    case Action::Zoom:
        // With no view on, the first view comes enlarged.
        if (view_ == 0 && view_count_ > 0) {
            view_ = 1;
            enlarged_ = true;
            bring_forward(Action::Views);
        } else {
            enlarged_ = !enlarged_;
        }
        break;
    case Action::Help: toggle_panel(a, help_); break;
    case Action::Controls: controls_ = !controls_; break;
    case Action::GoTo:
        field_ = !field_;
        field_text_.clear();
        break;
    case Action::Close: close(); break;
    case Action::Fullscreen:
    case Action::Screenshot:
    case Action::Clip:
    case Action::ClipVideo:
    case Action::None:
        return false;
    }
    // A new step of the play: an old notice goes.
    if (a != Action::Close && !notice_.empty()) notice_until_ = now_;
    over_ = over_ && at_end() && !paused_;
    if (!playing()) due_.reset();
    changed();
    return true;
}

Action Player::press(std::string_view key, bool shift, bool alt, bool repeat) {
    if (field_ && !alt) {
        // The field takes the keys that edit it; a letter or digit is typed
        // (type()) and swallowed here.
        if (key == "Enter") {
            go_to(field_text_);
            return Action::GoTo;
        }
        if (key == "Backspace") {
            if (!field_text_.empty()) field_text_.pop_back();
            changed();
            return Action::GoTo;
        }
        if (key.size() == 1) return Action::GoTo;
    }
    const Action a = action_for_key(key, shift, alt);
    if (a == Action::None || (repeat && !info(a).repeats)) return a;
    if (a == Action::Close) {
        const Action done = close();
        changed();
        return done == Action::Fullscreen ? done : a;
    }
    perform(a);
    return a;
}

void Player::type(std::string_view text) {
    if (!field_) return;
    for (char c : text)
        if (c >= ' ' && c <= '~' && field_text_.size() < 16) field_text_ += c;
    changed();
}

bool Player::go_to(const std::string& text) {
    uint32_t n = 0;
    std::string reason;
    if (!parse_point(text, PointRole::Start, n, reason)) {
        notice("go to " + reason);
        return false;
    }
    field_ = false;
    field_text_.clear();
    seek(n);
    return true;
}

void Player::notice(std::string text) {
    notice_ = std::move(text);
    notice_until_.reset(); // its time starts at the next advance
    changed();
}

bool Player::advance(Time now) {
    const uint64_t before = changes_;
    now_ = now;
    if (!notice_.empty() && !notice_until_) notice_until_ = now + kNoticeFor;
    if (notice_until_ && now >= *notice_until_) {
        notice_.clear();
        notice_until_.reset();
        changed();
    }
    if (paused_ || over_) {
        due_.reset();
        return changes_ != before;
    }
    // The picture on show has its period from now on.
    if (!due_) {
        due_ = now + kPeriod;
        return changes_ != before;
    }
    if (now > *due_ + kStall) due_ = now;
    while (due_ && now + kEarly >= *due_) {
        tick();
        if (paused_ || over_) {
            due_.reset();
            break;
        }
        *due_ += kPeriod;
    }
    return changes_ != before;
}

Player::Time Player::spare(Time now) const {
    if (!due_) return kSlice;
    return std::clamp(*due_ - now - kMargin, Time{0}, kPeriod);
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
    if (budget <= std::chrono::steady_clock::duration{0}) return true;
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
    std::string text = time_text(n) + " / " + time_text(timeline().refreshes) + "  " + stage_name(viewer_->stage());
    if (at_end())
        text += stopped() ? "  stopped after " + std::to_string(n) + " refreshes" : "  the show completed";
    else if (paused_)
        text += "  paused";
    return text;
}

std::string Player::loop_text() const {
    if (!loop_a_) return "A-B";
    return "A-B " + std::to_string(loop_a_) + "-" + (loop_b_ ? std::to_string(loop_b_) : "?");
}

} // namespace Host
