#include "host/viewer/script.h"

#include <algorithm>
#include <cstdio>

#include "host/state/crc32.h"
#include "host/viewer/script_run.h"
#include "text/scroller.h"

namespace Host {

namespace {

using Stage = Show::Stage;

const uint8_t* font() { return Assets::scroller_font; }

bool has_glyph(uint32_t ch) { return ch < 128 && (font()[2 * ch] | font()[2 * ch + 1]) != 0; }

// The characters without a glyph that a script may hold: they pass by
// unseen and take no room, as in the built-in text; and the line break,
// which the Scroller walks the same way.
bool passes_unseen(uint32_t ch) { return ch == '.' || ch == ',' || ch == '\'' || ch == '\n'; }

std::string number_text(uint64_t n) {
    std::string digits = std::to_string(n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

// How long n refreshes last: m:ss.ff.
std::string duration_text(uint32_t n) { return time_text(n + 1); }

std::string code_point_text(uint32_t cp) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", cp);
    return text;
}

// A character as a message names it: itself in quotes where it can be
// shown, its code point where it is not plain ASCII.
std::string character_text(std::string_view bytes, uint32_t cp) {
    switch (cp) {
    case '\t': return "a tab (U+0009)";
    case '\n': return "a line break (U+000A)";
    case '\r': return "a carriage return (U+000D) without a line feed after it";
    case 0: return "a zero byte (U+0000)";
    case 0x7F: return "a delete character (U+007F)";
    case 0xFEFF: return "a byte order mark (U+FEFF)";
    default: break;
    }
    if (cp < 0x20 || (cp >= 0x80 && cp < 0xA0)) return "the control character " + code_point_text(cp);
    if (cp < 0x80) return {'\'', static_cast<char>(cp), '\''};
    std::string text = "'";
    text += bytes;
    text += "' (";
    text += code_point_text(cp);
    return text += ")";
}

// What the scroller font holds, from its offset table: "space ! ) 0-9 = A-Z
// a-z".
std::string font_contents() {
    std::string out = "space";
    for (uint32_t ch = 33; ch < 127;) {
        if (!has_glyph(ch)) {
            ++ch;
            continue;
        }
        uint32_t last = ch;
        while (last + 1 < 127 && has_glyph(last + 1)) ++last;
        out += ' ';
        out += static_cast<char>(ch);
        if (last > ch + 1) out += '-';
        if (last > ch) out += static_cast<char>(last);
        ch = last + 1;
    }
    return out;
}

// One UTF-8 character at bytes[i]: its code point and length, or a length
// of 0 when the bytes there are not UTF-8 (a stray or missing continuation,
// an overlong form, a surrogate, beyond U+10FFFF).
uint32_t decode(std::string_view bytes, size_t i, size_t& length) {
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
    if (i + n > bytes.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        const uint8_t c = static_cast<uint8_t>(bytes[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (c & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    length = n;
    return cp;
}

// The line and column of every byte of the text (of a character's first
// byte; a line break belongs to the line it ends), so that the run's
// findings, which name bytes, can name places.
class Places {
public:
    explicit Places(std::string_view bytes) : at_(bytes.size() + 1) {
        ScriptPlace p;
        for (size_t i = 0; i < bytes.size();) {
            size_t length;
            decode(bytes, i, length);
            if (length == 0) length = 1;
            for (size_t k = 0; k < length && i + k < bytes.size(); ++k) at_[i + k] = p;
            if (bytes[i] == '\n') p = {p.line + 1, 1};
            else ++p.column;
            i += length;
        }
        at_[bytes.size()] = p;
    }
    ScriptPlace operator[](size_t i) const { return at_[std::min(i, at_.size() - 1)]; }

private:
    std::vector<ScriptPlace> at_;
};

std::string place_text(const ScriptPlace& p) {
    char text[48];
    std::snprintf(text, sizeof text, "line %u, column %u", p.line, p.column);
    return text;
}

const char* stage_noun(Stage s) {
    switch (s) {
    case Stage::Plasma: return "the plasma";
    case Stage::Flight: return "the flight";
    case Stage::HandOver: return "the hand-over (the text over the flight's last picture)";
    case Stage::Rotozoomer: return "the rotozoomer";
    default: return "the show";
    }
}

// The codes that end a stage.
const char* ending_codes(Stage s) { return s == Stage::Flight ? "@2, @4 or @5" : "@4 or @5"; }

const char* code_text(Cue c) {
    switch (c) {
    case Cue::FadeIn: return "@1";
    case Cue::FadeOut: return "@2";
    case Cue::Rewind: return "@3";
    case Cue::End: return "@4";
    case Cue::Pause: return "@5";
    default: return "@?";
    }
}

// What the stage on screen does with a cue; `ignored` says when it does
// nothing. `faded_in`: the plasma has had its fade-in cue already.
std::string effect_of(Stage stage, Cue cue, bool pause_end, bool faded_in, bool& ignored) {
    ignored = false;
    char pause[64];
    std::snprintf(pause, sizeof pause, "; the text stands still, unseen, for %d steps", Scroller::kPauseSteps);
    if (pause_end) {
        if (stage == Stage::Flight) return "the pause ends: starts the flight's fade-out";
        if (stage == Stage::Plasma) return "the pause ends: starts the fade-out";
        ignored = true;
        return std::string("the pause ends; ") + stage_noun(stage) + " ignores the fade-out it brings";
    }
    switch (cue) {
    case Cue::Rewind: return "starts the text again";
    case Cue::End:
    case Cue::Pause: {
        std::string what = stage == Stage::Rotozoomer ? "ends the show"
                           : stage == Stage::HandOver ? "ends the hand-over"
                                                      : std::string("ends ") + stage_noun(stage);
        if (cue == Cue::Pause && stage != Stage::Rotozoomer) what += pause;
        return what;
    }
    case Cue::FadeIn:
        if (stage == Stage::Plasma && !faded_in) return "starts the fade-in";
        ignored = true;
        if (stage == Stage::Plasma) return "ignored: the plasma has faded in already";
        return "ignored: only the plasma fades in";
    case Cue::FadeOut:
        if (stage == Stage::Plasma) return "starts the fade-out";
        if (stage == Stage::Flight) return "starts the flight's fade-out; the text waits, unseen, for the hand-over";
        ignored = true;
        return "ignored: only the plasma and the flight fade out";
    default: return "nothing";
    }
}

// A code that fires within this many steps of a pause's end (a second)
// comes as the pause ends.
constexpr uint32_t kRunsInto = Display::kRefreshRate;

class Checker {
public:
    explicit Checker(std::string_view bytes) : bytes_(bytes), places_(bytes) {}

    ScriptCheck check() {
        if (refused_as_text() || refused_as_show()) return std::move(out_);
        note_codes_and_warnings();
        return std::move(out_);
    }

private:
    bool refuse(size_t at, std::string message) {
        out_.refusal = ScriptFinding{places_[at], std::move(message)};
        return true;
    }
    void warn(size_t at, std::string message) {
        for (const ScriptFinding& w : out_.warnings)
            if (w.message == message) return;
        out_.warnings.push_back({places_[at], std::move(message)});
    }
    std::string code_at(size_t at) const { return {'@', bytes_[at + 1]}; }

    std::string why_silent(const SilentCode& s) const {
        const std::string by = s.by >= 0 ? code_at(static_cast<size_t>(s.by)) + " at " +
                                               place_text(places_[static_cast<size_t>(s.by)])
                                         : "";
        switch (s.why) {
        case SilentCode::Why::Later:
            return "the " + by + " comes into view on the same step, and of the codes a step meets only the last fires";
        case SilentCode::Why::Same:
            return (s.by >= 0 ? "it comes into view while the " + by + " is the code last met"
                              : std::string("the same code has just fired")) +
                   ", and a code fires only when it differs from the one met before";
        case SilentCode::Why::First:
            break;
        }
        return "the text's first character leaves the screen on the first step, before anything is drawn; put a "
               "space before it";
    }

    // A code after `after` that the show passed without firing: what the
    // stage may have waited for in vain.
    std::string silent_after(int32_t after) const {
        for (const SilentCode& s : run_.silent)
            if (s.at > after)
                return "; the " + code_at(static_cast<size_t>(s.at)) + " at " +
                       place_text(places_[static_cast<size_t>(s.at)]) + " never fires: " + why_silent(s);
        return "";
    }

    // Empty, too long, not UTF-8 text, a character without glyph, an "@"
    // that is no code: the first of these, at its place.
    bool refused_as_text() {
        if (bytes_.empty()) return refuse(0, "the script is empty");
        if (bytes_.size() > kScriptMaxBytes)
            return refuse(kScriptMaxBytes, "the script is " + number_text(bytes_.size()) +
                                               " bytes, and the handheld program's script slot holds " +
                                               number_text(kScriptMaxBytes) + ": it is full from here on");
        for (size_t i = 0; i < bytes_.size();) {
            size_t length;
            const uint32_t cp = decode(bytes_, i, length);
            if (length == 0) {
                char byte[8];
                std::snprintf(byte, sizeof byte, "0x%02X", static_cast<uint8_t>(bytes_[i]));
                return refuse(i, std::string("the byte ") + byte +
                                     " is not UTF-8: a script is UTF-8 text (was the file saved in another encoding?)");
            }
            const std::string shown = character_text(bytes_.substr(i, length), cp);
            if (cp == '\r' && i + 1 < bytes_.size() && bytes_[i + 1] == '\n') {
                i += 1; // a Windows line break: the Scroller walks both, unseen
                continue;
            }
            const bool control = (cp < 0x20 && cp != '\n') || (cp >= 0x7F && cp < 0xA0);
            if (control) return refuse(i, shown + " is not allowed: a script is text" + (cp == '\t' ? "; use spaces" : ""));
            if (cp == 0xFEFF) return refuse(i, shown + " is not allowed: save the script as UTF-8 without one");
            if (cp == '@') {
                if (i + 1 == bytes_.size())
                    return refuse(i, "'@' at the end of the script: a code is '@' and its digit, @1 to @5");
                const char digit = bytes_[i + 1];
                if (digit < '1' || digit > '5') {
                    size_t next_length;
                    const uint32_t next = decode(bytes_, i + 1, next_length);
                    const std::string after =
                        next_length ? character_text(bytes_.substr(i + 1, next_length), next) : "a byte that is not UTF-8";
                    return refuse(i, "'@' followed by " + after +
                                         " is not a code: the codes are @1 fade in, @2 fade out, @3 start the text "
                                         "again, @4 end the effect, @5 end the effect and pause the text");
                }
                i += 2;
                continue;
            }
            if (cp != ' ' && !has_glyph(cp) && !passes_unseen(cp))
                return refuse(i, shown + " has no glyph in the scroller font, which has " + font_contents() +
                                     "; . , ' and line breaks pass by unseen");
            i += length;
        }
        return false;
    }

    // The run: a stage that never ends, or a show longer than allowed.
    bool refused_as_show() {
        run_ = run_script(font(), bytes_, kScriptLongestShow);
        const ScriptRun& r = run_;
        const std::string stage = stage_noun(r.stage);
        const std::string codes = ending_codes(r.stage);
        switch (r.ending) {
        case ScriptRun::Ending::Ended: return false;
        case ScriptRun::Ending::RunsOut: {
            if (r.cues.empty())
                return refuse(0, stage + " never ends: no " + codes + " comes in the script" + silent_after(-1));
            const int32_t last = r.cues.back().at;
            return refuse(static_cast<size_t>(last), stage + " never ends: no " + codes + " comes after " +
                                                         place_text(places_[static_cast<size_t>(last)]) +
                                                         silent_after(last));
        }
        case ScriptRun::Ending::RewindLoop:
            return refuse(static_cast<size_t>(r.at), stage + " never ends: this @3 starts the text again before any " +
                                                         codes + " comes, and so it comes round again and again");
        case ScriptRun::Ending::TooLong: {
            const size_t last = r.cues.empty() ? 0 : static_cast<size_t>(r.cues.back().at);
            const std::string length = r.timeline.refreshes
                                           ? duration_text(r.timeline.refreshes) + " (" +
                                                 number_text(r.timeline.refreshes) + " refreshes)"
                                           : "for days";
            return refuse(last, "the show would end only here and last " + length + "; a script's show may last " +
                                    duration_text(kScriptLongestShow) + " at most");
        }
        }
        return false;
    }

    void note_codes_and_warnings() {
        const ScriptRun& r = run_;
        out_.timeline = r.timeline;
        bool faded_in = false;
        for (size_t k = 0; k < r.cues.size(); ++k) {
            const RunCue& c = r.cues[k];
            const size_t at = static_cast<size_t>(c.at);
            bool ignored;
            std::string effect = effect_of(c.stage, c.cue, c.pause_end, faded_in, ignored);
            if (ignored)
                warn(at, (c.pause_end ? "the pause of this @5 ends in " + std::string(stage_noun(c.stage)) +
                                            ", which ignores the fade-out its end brings"
                                      : "this " + code_at(at) + " fires in " + stage_noun(c.stage) +
                                            ", which ignores it" + effect.substr(effect.find(':'))));
            if (c.stage == Stage::Plasma && c.cue == Cue::FadeIn) faded_in = true;
            // A code that comes into view within a second of a pause's end
            // has the pause run straight into it: the stage it ends is over
            // almost as soon as the text moves again.
            if (c.cue == Cue::Pause && c.stage != Stage::Rotozoomer) {
                for (size_t j = k + 1; j < r.cues.size(); ++j) {
                    if (r.cues[j].pause_end) continue;
                    const uint32_t after = r.cues[j].step - (c.step + Scroller::kPauseSteps);
                    if (after <= kRunsInto)
                        warn(at, "the pause of this @5 runs into the " + code_at(static_cast<size_t>(r.cues[j].at)) +
                                     " at " + place_text(places_[static_cast<size_t>(r.cues[j].at)]) +
                                     ": that code fires " + std::to_string(after) + (after == 1 ? " step" : " steps") +
                                     " after the pause ends, as soon as the text moves again");
                    break;
                }
            }
            if ((c.cue == Cue::End || c.cue == Cue::Pause) && c.stage == Stage::Plasma && !faded_in)
                warn(at, "the plasma never fades in: no @1 fires before this " + code_at(at) +
                             " ends it, and it stays black under the text");
            out_.codes.push_back({c.step, c.refresh, c.cue, c.pause_end, places_[at], c.stage, std::move(effect)});
        }
        for (const SilentCode& s : r.silent)
            warn(static_cast<size_t>(s.at), "this " + code_at(static_cast<size_t>(s.at)) + " never fires: " + why_silent(s));
        const size_t unseen = static_cast<size_t>(r.unseen_from);
        if (bytes_.find_first_not_of(" \r\n", unseen) != std::string_view::npos)
            warn(bytes_.find_first_not_of(" \r\n", unseen), "the text from here on is never seen: the show ends before it");
        std::sort(out_.warnings.begin(), out_.warnings.end(), [](const ScriptFinding& a, const ScriptFinding& b) {
            return a.place.line != b.place.line ? a.place.line < b.place.line : a.place.column < b.place.column;
        });
    }

    std::string_view bytes_;
    Places places_;
    ScriptRun run_;
    ScriptCheck out_;
};

} // namespace

ScriptCheck check_script(std::string_view bytes) { return Checker(bytes).check(); }

std::string finding_line(std::string_view file, const ScriptFinding& finding, bool warning) {
    char place[32];
    std::snprintf(place, sizeof place, ":%u:%u: ", finding.place.line, finding.place.column);
    std::string line(file);
    line += place;
    if (warning) line += "warning: ";
    return line += finding.message;
}

std::string timeline_report(const ScriptCheck& check) {
    const Timeline& t = check.timeline;
    std::string out = "the show: " + number_text(t.refreshes) + " refreshes, " + duration_text(t.refreshes) + "\n";
    char line[200];
    std::snprintf(line, sizeof line, "  %-11s %9s %10s  %s\n", "stage", "first", "refreshes", "from");
    out += line;
    for (const Timeline::Chapter& c : t.chapters) {
        std::snprintf(line, sizeof line, "  %-11s %9s %10s  %s\n", stage_name(c.stage), number_text(c.first).c_str(),
                      number_text(t.chapter_length(c.stage)).c_str(), time_text(c.first).c_str());
        out += line;
    }
    out += "the codes, as the Scroller reports them (a step is one move of 2 pixels):\n";
    std::snprintf(line, sizeof line, "  %-5s %-11s %7s %8s  %-8s %-11s %s\n", "code", "line:column", "step", "refresh",
                  "time", "stage", "what it does");
    out += line;
    for (const ScriptCode& c : check.codes) {
        const std::string code = c.pause_end ? "(@5)" : code_text(c.cue);
        char where[24];
        std::snprintf(where, sizeof where, "%u:%u", c.place.line, c.place.column);
        std::snprintf(line, sizeof line, "  %-5s %-11s %7s %8s  %-8s %-11s %s\n", code.c_str(), where,
                      number_text(c.step).c_str(), number_text(c.refresh).c_str(), time_text(c.refresh).c_str(),
                      stage_name(c.stage), c.effect.c_str());
        out += line;
    }
    return out;
}

uint64_t script_identity(std::string_view text) {
    return uint64_t{static_cast<uint32_t>(text.size())} << 32 | Crc32::of(text.data(), text.size());
}

Script::Script(std::shared_ptr<const std::string> text, std::shared_ptr<const Timeline> timeline)
    : text_(std::move(text)), timeline_(std::move(timeline)), identity_(script_identity(*text_)) {}

const Script& Script::built_in() {
    static const Script script(std::make_shared<const std::string>(Assets::scroll_text, Assets::scroll_text_size),
                               std::shared_ptr<const Timeline>(&built_in_timeline(), [](const Timeline*) {}));
    return script;
}

std::optional<Script> Script::from(std::string bytes, ScriptCheck& check) {
    check = check_script(bytes);
    if (!check.accepted()) return std::nullopt;
    return Script(std::make_shared<const std::string>(std::move(bytes)), std::make_shared<const Timeline>(check.timeline));
}

bool Script::is_built_in() const { return text_ == built_in().text_; }

namespace {

std::optional<Script>& in_use() {
    static std::optional<Script> script;
    return script;
}

} // namespace

void use_script(const Script& script) {
    in_use() = script;
    Scroller::use_text(Assets::scroller_font, script.is_built_in() ? Assets::scroll_text : in_use()->text().c_str());
}

const Script& script_in_use() { return in_use() ? *in_use() : Script::built_in(); }

} // namespace Host
