#include "show/script_rules.h"

#include "data/decimal.h"
#include "text/scroller.h"
#include "text/text_renderer.h"

namespace ScriptRules {

namespace {

using Stage = Show::Stage;

bool has_glyph(const uint8_t* font, uint32_t ch) { return ch < 128 && (font[2 * ch] | font[2 * ch + 1]) != 0; }

// ---- The run ----------------------------------------------------------------

// No run yet: nothing found.
void clear_findings(Work& w) {
    w.ending = Ending::Ended;
    w.stage = Stage::Ended;
    w.at = -1;
    w.refreshes = 0;
    w.cue_count = 0;
    w.last_cue_at = -1;
    w.unseen_from = 0;
    w.silent_count = 0;
}

// The Scroller (text/scroller.cpp) and the renderer's walk (draw_text in
// text/text_renderer.cpp) without the drawing: the same state, moved by the
// same rules, and the code a walk meets found from sums instead of a walk.
//
// A walk from the first character at pen x passes every character whose
// pen is below the screen's right edge and stops at the first one that is
// not (or at the terminator); spaces move the pen 8, glyphs their columns
// + 2, everything else (codes and their digits included) nothing. With
// `pen_before[k]` the pen movement of characters 0..k-1, the walk from
// index i passes exactly the characters before the first k >= i with
// pen_before[k] - pen_before[i] >= 320 - x: a search. The code it reports
// is that of the last "@" before that k, when it stands at i or later.
class LeanScroller {
public:
    LeanScroller(const uint8_t* font, const char* text, size_t size, Work& work)
        : font_(font), text_(text), size_(static_cast<int32_t>(size)), w_(work) {
        const int32_t n = size_;
        int32_t pen = 0;
        int32_t last = -1;
        w_.code_count = 0;
        for (int32_t k = 0; k < n; ++k) {
            w_.pen_before[k] = pen;
            w_.last_code_before[k] = static_cast<int16_t>(last);
            w_.fired[k] = 0;
            w_.told[k] = 0;
            const uint8_t ch = char_at(k);
            if (ch == '@' && k + 1 < n) {
                // The code's digit is taken with it and moves nothing.
                last = k;
                w_.codes[w_.code_count++] = static_cast<int16_t>(k);
                w_.pen_before[k + 1] = pen;
                w_.last_code_before[k + 1] = static_cast<int16_t>(last);
                w_.fired[k + 1] = 0;
                w_.told[k + 1] = 0;
                ++k;
                continue;
            }
            pen += ch == ' ' ? 8 : glyph_columns(ch) + (has_glyph(font_, ch) ? 2 : 0);
        }
        w_.pen_before[n] = pen;
        w_.last_code_before[n] = static_cast<int16_t>(last);
        restart();
    }

    void restart() {
        x_ = 0;
        index_ = 0;
        limit_ = -advance(char_at(0));
        seen_until_ = 0;
    }

    // One Scroller::step: what it returns, with `acted` the cue the step
    // acted on (Scroller::last_cue) and `at` the code's "@" (-1: none).
    Cue step(Cue& acted, int32_t& at) {
        ++steps_;
        at = -1;
        acted = advance_one(at);
        return acted == Cue::Pause ? Cue::End : acted;
    }

    uint32_t steps() const { return steps_; }
    bool paused() const { return pause_ > 0; }
    // Nothing will ever be reported again: the text has run out and no
    // pause is left to end.
    bool spent() const { return char_at(index_) == 0 && pause_ == 0; }
    int32_t unseen_from() const { return furthest_; }

private:
    uint8_t char_at(int32_t i) const { return i >= 0 && i < size_ ? static_cast<uint8_t>(text_[i]) : 0; }
    int32_t glyph_columns(uint8_t ch) const {
        return has_glyph(font_, ch) ? font_[(font_[2 * ch] | font_[2 * ch + 1] << 8) + 1] : 0;
    }
    int32_t advance(uint8_t ch) const { return TextRenderer::advance_width(font_, ch); }

    // A code passed without firing, noted the first time.
    void silent(int32_t at, int32_t by, SilentCode::Why why) {
        if (w_.told[at]) return;
        w_.told[at] = 1;
        w_.silent[w_.silent_count++] = {at, by, why};
    }

    // The first k in [from, size_) with pen_before[k] >= reach (size_ when none).
    int32_t walk_end(int32_t from, int32_t reach) const {
        int32_t low = from, high = size_;
        while (low < high) {
            const int32_t mid = low + (high - low) / 2;
            if (w_.pen_before[mid] < reach) low = mid + 1;
            else high = mid;
        }
        return low;
    }

    Cue advance_one(int32_t& at) {
        if (pause_ > 0) {
            if (++pause_ > Scroller::kPauseSteps) {
                pause_ = 0;
                at = pause_code_;
                return Cue::FadeOut;
            }
            return Cue::None;
        }
        if (char_at(index_) == 0) return Cue::None;
        x_ -= Scroller::kStep;
        if (x_ < limit_) {
            const bool code = char_at(index_) == '@' && char_at(index_ + 1) != 0;
            // The first step after a restart passes a code at the text's
            // start before any walk has met it.
            if (code && index_ >= seen_until_) silent(index_, -1, SilentCode::Why::First);
            index_ += code ? 2 : 1;
            x_ = 0;
            limit_ = -advance(char_at(index_));
            if (char_at(index_) == 0) return Cue::None;
        }
        // The walk: characters index_ .. end - 1.
        const int32_t end = walk_end(index_, w_.pen_before[index_] + 320 - x_);
        if (end > furthest_) furthest_ = end;
        const int32_t last = w_.last_code_before[end];
        const int32_t code_at = last >= index_ ? last : -1;
        const Cue met = code_at >= 0 ? static_cast<Cue>(char_at(code_at + 1) - '0') : Cue::None;
        note_seen(end, code_at, met != stored_);
        if (met == stored_) return Cue::None;
        stored_ = met;
        stored_at_ = code_at;
        at = code_at;
        if (met == Cue::Rewind) restart();
        if (met == Cue::Pause) {
            pause_ = 1;
            pause_code_ = code_at;
        }
        return met;
    }

    // The codes that came into view on this walk: the one reported fires,
    // the others stay silent (and say why).
    void note_seen(int32_t end, int32_t reported, bool fires) {
        const int32_t from = seen_until_ > index_ ? seen_until_ : index_;
        uint32_t low = 0, high = w_.code_count;
        while (low < high) {
            const uint32_t mid = low + (high - low) / 2;
            if (w_.codes[mid] < from) low = mid + 1;
            else high = mid;
        }
        for (uint32_t c = low; c < w_.code_count && w_.codes[c] < end; ++c) {
            if (w_.codes[c] != reported) silent(w_.codes[c], reported, SilentCode::Why::Later);
            else if (!fires) silent(w_.codes[c], stored_at_, SilentCode::Why::Same);
        }
        if (end > seen_until_) seen_until_ = end;
    }

    const uint8_t* font_;
    const char* text_;
    int32_t size_;
    Work& w_;
    int32_t x_ = 0, index_ = 0, limit_ = 0, pause_ = 0;
    Cue stored_ = Cue::None; // the title's texts have no codes: none is stored when the plasma begins
    int32_t stored_at_ = -1; // the code that walk met
    uint32_t steps_ = 0;
    int32_t pause_code_ = -1;
    int32_t seen_until_ = 0; // codes before this have come into view since the latest restart
    int32_t furthest_ = 0;
};

// Where a run's news goes when nobody listens.
class Nobody final : public Listener {};

// The stages' frame rules, refresh by refresh, as show/show.cpp and the
// effects present them, noted as Host's learning of a real play notes them
// (play_timeline): a stage's first refresh is the first sync its frames
// wait for, a cue is marked at the sync that ends the show step in which it
// was reported, a poll at the sync of the frame that polls.
class Run {
public:
    Run(const uint8_t* font, const char* text, size_t size, uint32_t bound, Work& work, Listener& listener)
        : scroller_(font, text, size, work), bound_(bound), w_(work), tell_(listener) {
        clear_findings(w_);
        refreshes_ = kPlasmaFirst - 1;
    }

    void play() {
        if (plasma() && flight() && hand_over() && rotozoomer()) {
            ++refreshes_; // the final refresh: the picture left on display
            chapter(Stage::Ended);
            w_.refreshes = refreshes_;
            if (refreshes_ > bound_) {
                w_.ending = Ending::TooLong;
                w_.stage = Stage::Rotozoomer;
            }
        }
        // A code silent on one pass may fire on another: only those that
        // never did stay.
        uint32_t kept = 0;
        for (uint32_t i = 0; i < w_.silent_count; ++i)
            if (!w_.fired[w_.silent[i].at]) w_.silent[kept++] = w_.silent[i];
        w_.silent_count = kept;
        w_.unseen_from = scroller_.unseen_from();
    }

private:
    // One Scroller step in `stage`'s frame; `stuck` when that stage will
    // never end (the work says why).
    Cue step(Stage stage, bool& stuck) {
        Cue acted;
        int32_t at;
        const bool was_paused = scroller_.paused();
        const Cue cue = scroller_.step(acted, at);
        if (acted != Cue::None) {
            ++w_.cue_count;
            w_.last_cue_at = at;
            if (!was_paused) w_.fired[at] = 1;
            tell_.cue({scroller_.steps(), 0, acted, at, was_paused, stage});
            pending_mark_ = true;
            if (acted == Cue::Rewind) {
                if (rewound_in_ == stage) return never(Ending::RewindLoop, stage, at, stuck);
                rewound_in_ = stage;
            }
        }
        if (cue == Cue::None && scroller_.spent()) return never(Ending::RunsOut, stage, -1, stuck);
        return cue;
    }

    Cue never(Ending why, Stage stage, int32_t at, bool& stuck) {
        w_.ending = why;
        w_.stage = stage;
        w_.at = at;
        stuck = true;
        return Cue::None;
    }

    // A frame that waits for the sync: the refresh it is shown at, its
    // stage's first when the stage is new, the cue its show step reported.
    void sync(Stage stage) {
        ++refreshes_;
        chapter(stage);
        if (pending_mark_) {
            tell_.marked(refreshes_);
            pending_mark_ = false;
        }
    }
    void poll() {
        if (within() && polled_ != refreshes_) {
            tell_.poll(refreshes_);
            polled_ = refreshes_;
        }
    }
    void chapter(Stage stage) {
        if (stage_ == stage) return;
        stage_ = stage;
        tell_.chapter(stage, refreshes_);
    }
    // Past the bound only the length is still counted, and only so far.
    bool within() const { return refreshes_ <= bound_; }
    bool too_far() {
        if (refreshes_ <= kHardLimit) return false;
        w_.ending = Ending::TooLong;
        w_.refreshes = 0; // longer than can be told
        return true;
    }

    // Plasma::frame: a step a frame, every frame shown and polled; ends
    // with the frame of its end cue.
    bool plasma() {
        for (bool stuck = false;;) {
            const Cue cue = step(Stage::Plasma, stuck);
            if (stuck) return false;
            sync(Stage::Plasma);
            poll();
            if (cue == Cue::End) return true;
            if (too_far()) return false;
        }
    }

    // VoxelFlight::frame: two set-up frames that wait for nothing, then a
    // frame a sync, stepping the Scroller until the fade-out begins; the
    // fades move after each sync, the fade-in first (64 frames), then the
    // fade-out (by 8 from 255 down to below 0); the frame after the fade
    // has run down ends the flight without a sync, the frame of an end cue
    // with one.
    bool flight() {
        int32_t fade_in = 0, fade_out = 256;
        for (bool stuck = false;;) {
            if (fade_out <= 0) return true;
            Cue cue = Cue::None;
            if (fade_out > 255) {
                cue = step(Stage::Flight, stuck);
                if (stuck) return false;
                if (cue == Cue::FadeOut) fade_out = 255;
            }
            sync(Stage::Flight);
            if (fade_in <= 255) fade_in += 4;
            else if (fade_out <= 255) fade_out -= 8;
            poll();
            if (cue == Cue::End) return true;
            if (too_far()) return false;
        }
    }

    // The show's hand-over loop: a step a frame; the end cue ends it at
    // once, without a sync, so that cue is marked at the rotozoomer's first.
    bool hand_over() {
        for (bool stuck = false;;) {
            const Cue cue = step(Stage::HandOver, stuck);
            if (stuck) return false;
            if (cue == Cue::End) return true;
            sync(Stage::HandOver);
            poll();
            if (too_far()) return false;
        }
    }

    // Rotozoomer::frame: a grey frame first (a sync, no step, no poll), then
    // a step a frame until the frame of the end cue, after which the show
    // ends.
    bool rotozoomer() {
        sync(Stage::Rotozoomer);
        for (bool stuck = false;;) {
            const Cue cue = step(Stage::Rotozoomer, stuck);
            if (stuck) return false;
            sync(Stage::Rotozoomer);
            poll();
            if (cue == Cue::End) return true;
            if (too_far()) return false;
        }
    }

    // A show that ends, however late, ends within this: each stage passes
    // over the text at most twice (a second rewind in one stage is a loop),
    // 16 steps a character at most.
    static constexpr uint32_t kHardLimit = 20'000'000;

    LeanScroller scroller_;
    uint32_t bound_;
    Work& w_;
    Listener& tell_;
    uint32_t refreshes_ = 0;
    uint32_t polled_ = 0;
    bool pending_mark_ = false;
    Stage stage_ = Stage::Title; // the stage before the plasma
    // The stage of the latest rewind. A second one in the same stage brings
    // back the very state the first left (the text at its start, the code 3
    // stored, no pause), and the stage can only go round again.
    Stage rewound_in_ = Stage::StartUp;
};

// ---- The check ----------------------------------------------------------------

// A reason, written into the verdict's buffer.
class Say {
public:
    Say(char* out, uint32_t capacity) : out_(out), capacity_(capacity) { out_[0] = 0; }

    Say& operator<<(const char* text) {
        while (*text) put(*text++);
        return *this;
    }
    Say& bytes(const char* from, size_t n) {
        for (size_t i = 0; i < n; ++i) put(from[i]);
        return *this;
    }
    // In decimal, with thousands separated by commas.
    Say& number(uint64_t n) {
        Decimal::each_digit(n, [this](char digit, int k) {
            put(digit);
            if (k > 0 && k % 3 == 0) put(',');
        });
        return *this;
    }
    // Two digits at least.
    Say& two_digits(uint32_t n) {
        if (n < 10) put('0');
        return number(n);
    }
    Say& code_point(uint32_t cp) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        *this << "U+";
        int shift = 20;
        while (shift > 12 && (cp >> shift & 0xF) == 0) shift -= 4;
        for (; shift >= 0; shift -= 4) put(kDigits[cp >> shift & 0xF]);
        return *this;
    }
    Say& hex_byte(uint8_t b) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        *this << "0x";
        put(kDigits[b >> 4]);
        put(kDigits[b & 0xF]);
        return *this;
    }
    Say& place(Place p) {
        *this << "line ";
        number(p.line);
        *this << ", column ";
        return number(p.column);
    }
    // How long n refreshes last, m:ss.ff: the time of the refresh after
    // them, in hundredths rounded up (the first hundredth within that
    // refresh's period), as the timeline tells times.
    Say& duration(uint32_t n) {
        // 32 bits suffice for the longest run: a 64-bit division would
        // need a runtime on 32-bit processors.
        const uint32_t hundredths = (n * 100 + Display::kRefreshRate - 1) / Display::kRefreshRate;
        number(hundredths / 6000);
        put(':');
        two_digits(hundredths / 100 % 60);
        put('.');
        return two_digits(hundredths % 100);
    }

private:
    void put(char c) {
        if (length_ + 1 >= capacity_) return;
        out_[length_++] = c;
        out_[length_] = 0;
    }
    char* out_;
    uint32_t capacity_;
    uint32_t length_ = 0;
};

// A character as a reason names it: itself in quotes where it can be
// shown, its code point where it is not plain ASCII.
void character(Say& say, const char* bytes, size_t length, uint32_t cp) {
    switch (cp) {
    case '\t': say << "a tab (U+0009)"; return;
    case '\n': say << "a line break (U+000A)"; return;
    case '\r': say << "a carriage return (U+000D) without a line feed after it"; return;
    case 0: say << "a zero byte (U+0000)"; return;
    case 0x7F: say << "a delete character (U+007F)"; return;
    case 0xFEFF: say << "a byte order mark (U+FEFF)"; return;
    default: break;
    }
    if (cp < 0x20 || (cp >= 0x80 && cp < 0xA0)) {
        say << "the control character ";
        say.code_point(cp);
        return;
    }
    say << "'";
    say.bytes(bytes, length) << "'";
    if (cp >= 0x80) {
        say << " (";
        say.code_point(cp) << ")";
    }
}

// What the scroller font holds, from its offset table: "space ! ) 0-9 = A-Z
// a-z".
void font_contents(Say& say, const uint8_t* font) {
    say << "space";
    for (uint32_t ch = 33; ch < 127;) {
        if (!has_glyph(font, ch)) {
            ++ch;
            continue;
        }
        uint32_t last = ch;
        while (last + 1 < 127 && has_glyph(font, last + 1)) ++last;
        const char first[] = {' ', static_cast<char>(ch), 0};
        say << first;
        if (last > ch + 1) say << "-";
        if (last > ch) {
            const char end[] = {static_cast<char>(last), 0};
            say << end;
        }
        ch = last + 1;
    }
}

} // namespace

const char* stage_noun(Stage s) {
    switch (s) {
    case Stage::Plasma: return "the plasma";
    case Stage::Flight: return "the flight";
    case Stage::HandOver: return "the hand-over (the text over the flight's last picture)";
    case Stage::Rotozoomer: return "the rotozoomer";
    default: return "the show";
    }
}

namespace {

// The codes that end a stage.
const char* ending_codes(Stage s) { return s == Stage::Flight ? "@2, @4 or @5" : "@4 or @5"; }

// The code at "@" `at` and its place.
Say& code_and_place(Say& say, const char* bytes, size_t size, int32_t at) {
    const char text[] = {'@', bytes[at + 1], 0};
    say << text << " at ";
    return say.place(place_of(bytes, size, static_cast<size_t>(at)));
}

void why_silent(Say& say, const char* bytes, size_t size, const SilentCode& s) {
    switch (s.why) {
    case SilentCode::Why::Later:
        say << "the ";
        code_and_place(say, bytes, size, s.by)
            << " comes into view on the same step, and of the codes a step meets only the last fires";
        return;
    case SilentCode::Why::Same:
        if (s.by >= 0) {
            say << "it comes into view while the ";
            code_and_place(say, bytes, size, s.by) << " is the code last met";
        } else {
            say << "the same code has just fired";
        }
        say << ", and a code fires only when it differs from the one met before";
        return;
    case SilentCode::Why::First: break;
    }
    say << "the text's first character leaves the screen on the first step, before anything is drawn; put a space "
           "before it";
}

class Checker {
public:
    Checker(const char* bytes, size_t size, Work& work, Verdict& verdict, Listener& listener)
        : bytes_(bytes), size_(size), w_(work), v_(verdict), tell_(listener) {}

    void check() {
        clear_findings(w_);
        v_.accepted = true;
        v_.at = 0;
        v_.place = {};
        v_.reason[0] = 0;
        if (!refused_as_text()) refused_as_show();
    }

private:
    // Begins the reason of a refusal at byte `at`.
    Say refuse(size_t at) {
        v_.accepted = false;
        v_.at = at;
        v_.place = place_of(bytes_, size_, at);
        return Say(v_.reason, Verdict::kReasonCapacity);
    }

    // Empty, too long, not UTF-8 text, a character without glyph, an "@"
    // that is no code: the first of these, at its place.
    bool refused_as_text() {
        const uint8_t* font = Assets::scroller_font;
        if (size_ == 0) {
            refuse(0) << "the script is empty";
            return true;
        }
        if (size_ > kMaxBytes) {
            Say say = refuse(kMaxBytes);
            say << "the script is ";
            say.number(size_) << " bytes, and the handheld program's script slot holds ";
            say.number(kMaxBytes) << ": it is full from here on";
            return true;
        }
        for (size_t i = 0; i < size_;) {
            size_t length;
            const uint32_t cp = decode(bytes_, size_, i, length);
            if (length == 0) {
                Say say = refuse(i);
                say << "the byte ";
                say.hex_byte(static_cast<uint8_t>(bytes_[i]))
                    << " is not UTF-8: a script is UTF-8 text (was the file saved in another encoding?)";
                return true;
            }
            if (cp == '\r' && i + 1 < size_ && bytes_[i + 1] == '\n') {
                i += 1; // a Windows line break: the Scroller walks both, unseen
                continue;
            }
            const bool control = (cp < 0x20 && cp != '\n') || (cp >= 0x7F && cp < 0xA0);
            if (control) {
                Say say = refuse(i);
                character(say, bytes_ + i, length, cp);
                say << " is not allowed: a script is text" << (cp == '\t' ? "; use spaces" : "");
                return true;
            }
            if (cp == 0xFEFF) {
                Say say = refuse(i);
                character(say, bytes_ + i, length, cp);
                say << " is not allowed: save the script as UTF-8 without one";
                return true;
            }
            if (cp == '@') {
                if (i + 1 == size_) {
                    refuse(i) << "'@' at the end of the script: a code is '@' and its digit, @1 to @5";
                    return true;
                }
                const char digit = bytes_[i + 1];
                if (digit < '1' || digit > '5') {
                    Say say = refuse(i);
                    say << "'@' followed by ";
                    size_t next_length;
                    const uint32_t next = decode(bytes_, size_, i + 1, next_length);
                    if (next_length) character(say, bytes_ + i + 1, next_length, next);
                    else say << "a byte that is not UTF-8";
                    say << " is not a code: the codes are @1 fade in, @2 fade out, @3 start the text again, @4 end "
                           "the effect, @5 end the effect and pause the text";
                    return true;
                }
                i += 2;
                continue;
            }
            if (cp != ' ' && !has_glyph(font, cp) && cp != '.' && cp != ',' && cp != '\'' && cp != '\n') {
                Say say = refuse(i);
                character(say, bytes_ + i, length, cp);
                say << " has no glyph in the scroller font, which has ";
                font_contents(say, font);
                say << "; . , ' and line breaks pass by unseen";
                return true;
            }
            i += length;
        }
        return false;
    }

    // A code after `after` that the show passed without firing: what the
    // stage may have waited for in vain.
    void silent_after(Say& say, int32_t after) {
        for (uint32_t i = 0; i < w_.silent_count; ++i) {
            const SilentCode& s = w_.silent[i];
            if (s.at <= after) continue;
            say << "; the ";
            code_and_place(say, bytes_, size_, s.at) << " never fires: ";
            why_silent(say, bytes_, size_, s);
            return;
        }
    }

    // The run: a stage that never ends, or a show longer than allowed.
    void refused_as_show() {
        run(Assets::scroller_font, bytes_, size_, kLongestShow, w_, &tell_);
        const char* stage = stage_noun(w_.stage);
        const char* codes = ending_codes(w_.stage);
        switch (w_.ending) {
        case Ending::Ended: return;
        case Ending::RunsOut: {
            if (w_.cue_count == 0) {
                Say say = refuse(0);
                say << stage << " never ends: no " << codes << " comes in the script";
                silent_after(say, -1);
                return;
            }
            const int32_t last = w_.last_cue_at;
            Say say = refuse(static_cast<size_t>(last));
            say << stage << " never ends: no " << codes << " comes after ";
            say.place(place_of(bytes_, size_, static_cast<size_t>(last)));
            silent_after(say, last);
            return;
        }
        case Ending::RewindLoop:
            refuse(static_cast<size_t>(w_.at)) << stage << " never ends: this @3 starts the text again before any "
                                               << codes << " comes, and so it comes round again and again";
            return;
        case Ending::TooLong: {
            Say say = refuse(w_.cue_count ? static_cast<size_t>(w_.last_cue_at) : 0);
            say << "the show would end only here and last ";
            if (w_.refreshes) {
                say.duration(w_.refreshes) << " (";
                say.number(w_.refreshes) << " refreshes)";
            } else {
                say << "for days";
            }
            say << "; a script's show may last ";
            say.duration(kLongestShow) << " at most";
            return;
        }
        }
    }

    const char* bytes_;
    size_t size_;
    Work& w_;
    Verdict& v_;
    Listener& tell_;
};

} // namespace

uint32_t decode(const char* bytes, size_t size, size_t i, size_t& length) {
    const uint8_t b = static_cast<uint8_t>(bytes[i]);
    length = 0;
    if (b < 0x80) {
        length = 1;
        return b;
    }
    size_t n;
    uint32_t cp, least;
    if ((b & 0xE0) == 0xC0) n = 2, cp = b & 0x1F, least = 0x80;
    else if ((b & 0xF0) == 0xE0) n = 3, cp = b & 0x0F, least = 0x800;
    else if ((b & 0xF8) == 0xF0) n = 4, cp = b & 0x07, least = 0x10000;
    else return 0;
    if (i + n > size) return 0;
    for (size_t k = 1; k < n; ++k) {
        const uint8_t c = static_cast<uint8_t>(bytes[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (c & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    length = n;
    return cp;
}

Place place_of(const char* bytes, size_t size, size_t at) {
    if (at > size) at = size;
    Place p;
    for (size_t i = 0; i < size;) {
        size_t length;
        decode(bytes, size, i, length);
        if (length == 0) length = 1;
        if (at < i + length) return p;
        if (bytes[i] == '\n') p = {p.line + 1, 1};
        else ++p.column;
        i += length;
    }
    return p;
}

void why_silent(const char* bytes, size_t size, const SilentCode& s, char* out, uint32_t capacity) {
    Say say(out, capacity);
    why_silent(say, bytes, size, s);
}

void run(const uint8_t* font, const char* text, size_t size, uint32_t bound, Work& work, Listener* listener) {
    Nobody nobody;
    Run(font, text, size, bound, work, listener ? *listener : nobody).play();
}

void check(const char* bytes, size_t size, Work& work, Verdict& verdict, Listener* listener) {
    Nobody nobody;
    Checker(bytes, size, work, verdict, listener ? *listener : nobody).check();
}

} // namespace ScriptRules
