// The browser page's side of the show: the viewer's library (the player, the
// presentation, the clock, clips) behind a few plain calls. The page's
// script passes the time, its input and its viewport in, and shows the
// pieces the presentation draws where the layout puts them, with the DOM
// only for what needs it (buttons, the go-to field, the editor).
#include <emscripten.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/viewer/clip.h"
#include "host/viewer/handheld_program.h"
#include "host/viewer/presentation.h"
#include "host/viewer/script.h"
#include "host/web/check_json.h"
#include "host/state/crc32.h"
#include "platform/host/display_controller.h"

namespace {

Host::Player* player = nullptr;
Host::Presentation* shown = nullptr;
std::string text; // the last string handed to the script
std::vector<int32_t> table;
uint8_t rgba[Display::kWidth * Display::kHeight * 4];

// A clip: an exact GIF made here, or frames handed one by one to the
// page's video encoder (2 x 2 blocks, RGBA).
constexpr int kVideoScale = 2;
class FrameQueue : public Host::ClipSink {
public:
    bool take(uint32_t, const uint8_t* pixels, const uint8_t* rgb, bool, bool) override {
        if (frames.size() >= 4) return false; // the encoder has not caught up
        constexpr int w = Display::kWidth * kVideoScale;
        std::vector<uint8_t> f(static_cast<size_t>(w) * Display::kHeight * kVideoScale * 4);
        for (int y = 0; y < Display::kHeight * kVideoScale; ++y)
            for (int x = 0; x < w; ++x) {
                const uint8_t* c = rgb + 3 * pixels[(y / kVideoScale) * Display::kWidth + x / kVideoScale];
                uint8_t* out = &f[(static_cast<size_t>(y) * w + x) * 4];
                out[0] = c[0];
                out[1] = c[1];
                out[2] = c[2];
                out[3] = 255;
            }
        frames.push_back(std::move(f));
        return true;
    }
    std::deque<std::vector<uint8_t>> frames;
};
struct Clip {
    bool video;
    Host::ClipMaker maker;
    Host::GifWriter gif;
    FrameQueue queue;
    Host::ClipSink& sink() { return video ? static_cast<Host::ClipSink&>(queue) : gif; }
};
std::unique_ptr<Clip> clip;
std::vector<uint8_t> taken; // the frame the script is encoding
std::vector<uint8_t> program; // the handheld program with the script in it

using Web::quoted;

const char* flag(bool b) { return b ? "true" : "false"; }

Host::Player::Time at(double ms) {
    return std::chrono::duration_cast<Host::Player::Time>(std::chrono::duration<double, std::milli>(ms));
}

// The action the page does itself ("" when none).
const char* own(Host::Action a) { return a == Host::Action::None ? "" : Host::info(a).name; }

// Where the page opens: ?refresh=N (a number, held to the show) or ?t=TIME
// (any time the viewer shows: m:ss.ff or seconds). Anything else opens at
// the start with a notice.
void open_at(const std::string& refresh, const std::string& time) {
    const uint32_t last = player->timeline().refreshes;
    uint32_t n = 1;
    std::string reason;
    if (!refresh.empty()) {
        bool digits = true;
        for (char c : refresh) digits = digits && c >= '0' && c <= '9';
        if (!digits) {
            player->notice("?refresh= needs a refresh number, not '" + refresh + "'");
        } else {
            // Past the end (or 0): the nearest refresh of the show, however long the number.
            const std::string trimmed = refresh.substr(std::min(refresh.find_first_not_of('0'), refresh.size()));
            const bool beyond = trimmed.size() > 9 || (!trimmed.empty() && std::stoul(trimmed) > last);
            n = trimmed.empty() ? 1 : beyond ? last : static_cast<uint32_t>(std::stoul(trimmed));
            if (beyond || trimmed.empty())
                player->notice("?refresh=" + refresh + " is past the show: refresh " + std::to_string(n));
        }
    } else if (!time.empty() && !Host::parse_point(time, Host::PointRole::Time, n, reason)) {
        player->notice("?t= " + reason);
        n = 1;
    }
    player->seek(std::clamp<uint32_t>(n, 1, last));
}

} // namespace

extern "C" {

// Learns the show and stands where the address says; the key table, as
// JSON: {"refreshes":N,"refreshRate":60,"width":320,"height":240,
// "actions":[["pause","Pause / play (P, K)"],...]}.
EMSCRIPTEN_KEEPALIVE const char* nyra1_open(const char* refresh, const char* time, int pause) {
    if (!player) {
        player = new Host::Player();
        shown = new Host::Presentation(*player);
        player->set_editor(true);
    }
    if (pause && !player->paused()) player->perform(Host::Action::PlayPause);
    open_at(refresh, time); // after the pause, which would take its notice away
    text = "{\"refreshes\":" + std::to_string(player->timeline().refreshes) +
           ",\"refreshRate\":" + std::to_string(Display::kRefreshRate) + ",\"width\":" +
           std::to_string(Display::kWidth) + ",\"height\":" + std::to_string(Display::kHeight) + ",\"actions\":[";
    bool first = true;
    for (const Host::ActionInfo& a : Host::actions()) {
        if (a.action == Host::Action::None) continue;
        text += std::string(first ? "" : ",") + "[" + quoted(a.name) + "," +
                quoted(Host::Presentation::title(a.action)) + "]";
        first = false;
    }
    text += "]}";
    return text.c_str();
}

// The viewport in device pixels, with device pixels to a CSS pixel.
EMSCRIPTEN_KEEPALIVE void nyra1_viewport(int width, int height, double ratio, int touch) {
    shown->set_viewport({width, height, ratio, touch != 0});
}

// An animation frame at `now` (ms): the refreshes due, then what changed
// drawn. 1 when a piece or the layout changed.
EMSCRIPTEN_KEEPALIVE int nyra1_frame(double now) {
    player->advance(at(now));
    return shown->update() ? 1 : 0;
}

// What is left of the period, at `now` (ms): a clip's next refreshes, then
// learning. 1 while there is more to do.
EMSCRIPTEN_KEEPALIVE int nyra1_work(double now) {
    if (clip && !clip->maker.done()) {
        clip->maker.work(player->spare(at(now)), clip->sink());
        player->notice((clip->video ? "video " : "gif ") + std::to_string(clip->maker.first()) + "-" +
                       std::to_string(clip->maker.last()) + ": " +
                       std::to_string(clip->maker.made() * 100 / clip->maker.total()) + "%");
    }
    return player->learn_in_spare(at(now)) || (clip && !clip->maker.done()) ? 1 : 0;
}

// The pieces: [count, layout version, then for each: kind, x, y, w, h,
// image width, image height, version, image address].
EMSCRIPTEN_KEEPALIVE const int32_t* nyra1_pieces() {
    table.assign(2, 0);
    table[0] = static_cast<int32_t>(shown->pieces().size());
    table[1] = static_cast<int32_t>(shown->layout_version());
    for (const Host::Piece& p : shown->pieces())
        table.insert(table.end(), {static_cast<int32_t>(p.kind), p.rect.x, p.rect.y, p.rect.w, p.rect.h,
                                   p.image.width, p.image.height, static_cast<int32_t>(p.version),
                                   static_cast<int32_t>(reinterpret_cast<uintptr_t>(p.image.rgba.data()))});
    return table.data();
}

// The buttons and fields where the layout puts them, as JSON:
// {"buttons":[["pause",x,y,w,h,"fold panel or ''"],...],"field":[x,y,w,h],"editor":[x,y,w,h]}.
EMSCRIPTEN_KEEPALIVE const char* nyra1_places() {
    const Host::Layout& l = shown->layout();
    auto rect = [](const Host::Rect& r) {
        return "[" + std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.w) + "," +
               std::to_string(r.h) + "]";
    };
    text = "{\"buttons\":[";
    for (size_t i = 0; i < l.buttons.size(); ++i) {
        const Host::Button& b = l.buttons[i];
        const std::string name = b.fold ? std::string("fold:") + Host::panel_name(b.panel) : Host::info(b.action).name;
        text += std::string(i ? "," : "") + "[" + quoted(name) + "," + rect(b.rect).substr(1);
    }
    text += "],\"field\":" + rect(l.field) + ",\"editor\":" + rect(l.panel(Host::Panel::Editor)) + "}";
    return text.c_str();
}

// A key as the browser names it: "" when no action has it, "." when the
// player did it, else the name of the action the page does itself
// (fullscreen, screenshot, clip, clipVideo).
EMSCRIPTEN_KEEPALIVE const char* nyra1_key(const char* key, int shift, int alt, int repeat) {
    const Host::Action a = player->press(key, shift != 0, alt != 0, repeat != 0);
    if (a == Host::Action::None) return "";
    return Host::info(a).frontends && !repeat ? own(a) : ".";
}

// A button's action by name (a fold sign: "fold:panel"); the page's own, or "".
EMSCRIPTEN_KEEPALIVE const char* nyra1_act(const char* name) {
    const std::string n = name;
    if (n.rfind("fold:", 0) == 0) {
        for (const Host::Button& b : shown->layout().buttons)
            if (b.fold && n == std::string("fold:") + Host::panel_name(b.panel))
                return own(shown->pointer_down(b.rect.x, b.rect.y));
        return "";
    }
    Host::Action a = Host::action_named(name);
    if (a == Host::Action::Start && player->over()) a = Host::Action::Again;
    return own(shown->press(a));
}

// The pointer at (x, y) in device pixels: 0 moves, 1 presses, 2 lets go,
// 3 leaves. The page's own action, or "".
EMSCRIPTEN_KEEPALIVE const char* nyra1_pointer(int kind, int x, int y) {
    switch (kind) {
    case 0: shown->pointer_move(x, y); break;
    case 1: return own(shown->pointer_down(x, y));
    case 2: shown->pointer_up(); break;
    default: shown->pointer_leave(); break;
    }
    return "";
}

// The go-to field's text: 1 when it went there, 0 when refused (a notice says why).
EMSCRIPTEN_KEEPALIVE int nyra1_go_to(const char* typed) { return player->go_to(typed) ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE void nyra1_fullscreen(int on) { player->set_fullscreen(on != 0); }
EMSCRIPTEN_KEEPALIVE void nyra1_seek(uint32_t n) { player->seek(n); }

// For bench/page_seek.js: a seek as the timeline makes it and how long it
// took inside the WASM, in milliseconds; learning at once; and where the learned snapshots
// stand, with the bytes they take and the show's chapters:
// {"at":[1,...],"bytes":N,"timeline":{"refreshes":N,"chapters":[["title",2],...]}}.
EMSCRIPTEN_KEEPALIVE double nyra1_bench_seek(uint32_t n) {
    const double start = emscripten_get_now();
    player->seek(n);
    return emscripten_get_now() - start;
}
// Learns on for about `ms` milliseconds, as the page's frames would; 1
// while there is more to learn.
EMSCRIPTEN_KEEPALIVE int nyra1_bench_learn(double ms) {
    return player->viewer().learn(std::chrono::microseconds(static_cast<long>(ms * 1000))) ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE const char* nyra1_bench_snapshots() {
    text = "{\"at\":[";
    for (uint32_t at : player->viewer().snapshot_refreshes()) text += (text.back() == '[' ? "" : ",") + std::to_string(at);
    text += "],\"bytes\":" + std::to_string(player->viewer().snapshot_bytes());
    const Host::Timeline& t = player->timeline();
    text += ",\"timeline\":{\"refreshes\":" + std::to_string(t.refreshes) + ",\"chapters\":[";
    for (const Host::Timeline::Chapter& c : t.chapters)
        text += std::string(text.back() == '[' ? "" : ",") + "[\"" + Host::stage_name(c.stage) + "\"," +
                std::to_string(c.first) + "]";
    text += "]}}";
    return text.c_str();
}

// A clip of the loop or of the stage on show: 0 an exact GIF, 1 video
// frames for the page's encoder. 0 when one is being made already.
EMSCRIPTEN_KEEPALIVE int nyra1_clip_start(int video) {
    if (clip && !clip->maker.done()) return 0;
    const auto [first, last] = player->clip_range();
    clip.reset(new Clip{video != 0, Host::ClipMaker(player->viewer(), first, last), Host::GifWriter(1), FrameQueue()});
    return 1;
}
// The next video frame (RGBA, 640 x 480) or null; its refresh's place in the clip.
EMSCRIPTEN_KEEPALIVE const uint8_t* nyra1_clip_frame() {
    if (!clip || clip->queue.frames.empty()) return nullptr;
    taken = std::move(clip->queue.frames.front());
    clip->queue.frames.pop_front();
    return taken.data();
}
EMSCRIPTEN_KEEPALIVE int nyra1_clip_done() { return clip && clip->maker.done() && clip->queue.frames.empty(); }
EMSCRIPTEN_KEEPALIVE const uint8_t* nyra1_clip_gif() { return clip ? clip->gif.bytes().data() : nullptr; }
EMSCRIPTEN_KEEPALIVE int nyra1_clip_gif_size() { return clip ? static_cast<int>(clip->gif.bytes().size()) : 0; }
EMSCRIPTEN_KEEPALIVE const char* nyra1_clip_name() {
    text = clip ? "nyra1-" + std::to_string(clip->maker.first()) + "-" + std::to_string(clip->maker.last()) : "nyra1";
    return text.c_str();
}
EMSCRIPTEN_KEEPALIVE void nyra1_notice(const char* what) { player->notice(what); }

// ---- scripts

// The check of a script's bytes, as the editor marks it (check_json.h).
EMSCRIPTEN_KEEPALIVE const char* nyra1_check(const uint8_t* bytes, int size) {
    text = Web::check_json(Host::check_script({reinterpret_cast<const char*>(bytes), static_cast<size_t>(size)}));
    return text.c_str();
}

// Plays a script from its first refresh: the show, its timeline, chapters
// and seeks are the script's from now on. A refused script changes nothing.
// The check, as nyra1_check gives it.
EMSCRIPTEN_KEEPALIVE const char* nyra1_play(const uint8_t* bytes, int size) {
    Host::ScriptCheck check;
    std::optional<Host::Script> script =
        Host::Script::from(std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size)), check);
    text = Web::check_json(check);
    if (!script) return text.c_str();
    // A new player for the new show, with the page around it as it was.
    const Host::Viewport viewport = shown->viewport();
    const bool osd = player->osd_shown(), inspector = player->inspector_shown(), help = player->help_shown();
    const bool editor = player->editor_shown(), controls = player->controls_shown();
    const bool fullscreen = player->fullscreen();
    clip.reset();
    delete shown;
    delete player;
    Host::use_script(*script);
    player = new Host::Player();
    shown = new Host::Presentation(*player);
    shown->set_viewport(viewport);
    if (osd) player->perform(Host::Action::Osd);
    if (inspector) player->perform(Host::Action::Inspector);
    if (help) player->perform(Host::Action::Help);
    if (!controls) player->perform(Host::Action::Controls);
    player->set_editor(editor);
    player->set_fullscreen(fullscreen);
    return text.c_str();
}

// The text of the script playing, for the editor.
EMSCRIPTEN_KEEPALIVE const char* nyra1_script_text() {
    text = Host::script_in_use().text();
    return text.c_str();
}

// The editor shown or not (the page's E).
EMSCRIPTEN_KEEPALIVE void nyra1_editor(int on) { player->set_editor(on != 0); }
EMSCRIPTEN_KEEPALIVE int nyra1_editor_shown() { return player->editor_shown() ? 1 : 0; }

// The handheld program `gpe` with the script in its slot: its size (its
// bytes at nyra1_program), or 0 with the reason at nyra1_program_reason.
EMSCRIPTEN_KEEPALIVE int nyra1_program_with(const uint8_t* gpe, int gpe_size, const uint8_t* script, int size) {
    program.assign(gpe, gpe + gpe_size);
    if (!Host::put_script(program, {reinterpret_cast<const char*>(script), static_cast<size_t>(size)}, text)) {
        program.clear();
        return 0;
    }
    return static_cast<int>(program.size());
}
EMSCRIPTEN_KEEPALIVE const uint8_t* nyra1_program() { return program.data(); }
EMSCRIPTEN_KEEPALIVE const char* nyra1_program_reason() { return text.c_str(); }

// CRC-32 of the refresh on show as the stored lists take it: its indices,
// then its 256 colours.
EMSCRIPTEN_KEEPALIVE uint32_t nyra1_checksum() {
    const uint32_t crc = Crc32::update(0, player->viewer().pixels(), Display::kWidth * Display::kHeight);
    return Crc32::update(crc, player->viewer().rgb(), 256 * 3);
}

// What the page and its tests read of the player, as JSON.
EMSCRIPTEN_KEEPALIVE const char* nyra1_state() {
    const Host::Player& p = *player;
    std::string osd;
    for (const std::string& line : p.osd_lines()) osd += (osd.empty() ? "" : "   ") + line;
    text = "{\"refresh\":" + std::to_string(p.position()) + ",\"paused\":" + flag(p.paused()) +
           ",\"playing\":" + flag(p.playing()) + ",\"atEnd\":" + flag(p.at_end()) + ",\"over\":" + flag(p.over()) +
           ",\"stopped\":" + flag(p.stopped()) + ",\"speed\":" + quoted(p.speed_text()) +
           ",\"loop\":" + quoted(p.loop_text()) + ",\"loopA\":" + std::to_string(p.loop_a()) +
           ",\"loopB\":" + std::to_string(p.loop_b()) + ",\"osd\":" + flag(p.osd_shown()) +
           ",\"inspector\":" + flag(p.inspector_shown()) + ",\"help\":" + flag(p.help_shown()) +
           ",\"controls\":" + flag(p.controls_shown()) + ",\"view\":" + std::to_string(p.view()) +
           ",\"field\":" + flag(p.field_open()) + ",\"status\":" + quoted(p.status_text()) +
           ",\"notice\":" + quoted(p.notice_text()) + ",\"osdText\":" + quoted(osd) +
           ",\"entry\":" + std::to_string(shown->inspected_entry()) + ",\"learned\":" + std::to_string(p.learned()) +
           ",\"learnedAll\":" + flag(p.learned_all()) + ",\"scale\":" + std::to_string(shown->layout().scale) +
           ",\"unit\":" + std::to_string(shown->layout().unit) + ",\"editor\":" + flag(p.editor_shown()) +
           ",\"refreshes\":" + std::to_string(p.timeline().refreshes) +
           ",\"builtIn\":" + flag(Host::script_in_use().is_built_in()) + "}";
    return text.c_str();
}

// The refresh on show: 320 x 240 indices, 256 x R, G, B, and as RGBA.
EMSCRIPTEN_KEEPALIVE const uint8_t* nyra1_pixels() { return player->viewer().pixels(); }
EMSCRIPTEN_KEEPALIVE const uint8_t* nyra1_palette() { return player->viewer().rgb(); }
EMSCRIPTEN_KEEPALIVE const uint8_t* nyra1_rgba() {
    const uint8_t* pixels = player->viewer().pixels();
    const uint8_t* rgb = player->viewer().rgb();
    for (int i = 0; i < Display::kWidth * Display::kHeight; ++i) {
        const uint8_t* c = rgb + 3 * pixels[i];
        rgba[4 * i] = c[0];
        rgba[4 * i + 1] = c[1];
        rgba[4 * i + 2] = c[2];
        rgba[4 * i + 3] = 255;
    }
    return rgba;
}

} // extern "C"
