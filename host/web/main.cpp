// The browser page's side of the show: the player (host/viewer/player.h) behind a
// few plain calls. The page's script keeps the page itself (the canvas, the
// layout, the pointer, the pacing from animation frames) and asks the
// player for everything else: what a key or a button does, how far a
// display period moves the play, and the texts it shows.
#include <emscripten.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "host/viewer/inside/inside.h"
#include "host/viewer/player.h"
#include "platform/host/display_controller.h"

namespace {

Host::Player* player = nullptr;
Host::Inside::HistoryLearner* history = nullptr; // learned with the viewer's snapshots
uint8_t rgba[Display::kWidth * Display::kHeight * 4];
std::string text; // the last string handed to the script
Host::Inside::Image view;

// The views of the stage on show, for the V key and the button.
std::vector<Host::Inside::Kind> views() {
    const std::vector<Host::Inside::Kind> kinds = Host::Inside::views_for(Host::Inside::shown_stage(player->viewer()));
    player->set_view_count(static_cast<int>(kinds.size()));
    return kinds;
}

std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string hex(Host::Rgb c) {
    char t[8];
    std::snprintf(t, sizeof t, "#%02x%02x%02x", c.r, c.g, c.b);
    return t;
}

// The timeline and the key list as the page's script reads them:
// {"refreshes":N,"chapters":[["title",2],...],"cues":[["fade in",40,"#50dc5a"],...],
//  "keys":[["P, K","pause / play"],...]}
std::string describe(const Host::Timeline& t) {
    std::string out = "{\"refreshes\":" + std::to_string(t.refreshes) + ",\"chapters\":[";
    for (size_t i = 0; i < t.chapters.size(); ++i)
        out += std::string(i ? "," : "") + "[" + quoted(Host::stage_name(t.chapters[i].stage)) + "," +
               std::to_string(t.chapters[i].first) + "]";
    out += "],\"cues\":[";
    for (size_t i = 0; i < t.cues.size(); ++i)
        out += std::string(i ? "," : "") + "[" + quoted(Host::cue_name(t.cues[i].cue)) + "," +
               std::to_string(t.cues[i].refresh) + "," + quoted(hex(Host::cue_colour(t.cues[i].cue))) + "]";
    out += "],\"keys\":[";
    bool first = true;
    for (const Host::KeyHelp& k : Host::key_help()) {
        out += std::string(first ? "" : ",") + "[" + quoted(k.keys) + "," + quoted(k.what) + "]";
        first = false;
    }
    return out + "]}";
}

const char* flag(bool b) { return b ? "true" : "false"; }

} // namespace

extern "C" {

// Learns the show and stands at refresh 1, playing; the timeline as JSON.
EMSCRIPTEN_KEEPALIVE const char* nyra1_open() {
    if (!player) {
        player = new Host::Player();
        history = new Host::Inside::HistoryLearner(player->viewer());
    }
    text = describe(player->timeline());
    return text.c_str();
}

// A key as the browser names it: the action's name ("" when unbound), done
// by the player unless it is the page's own (fullscreen, screenshot).
EMSCRIPTEN_KEEPALIVE const char* nyra1_key(const char* key, int shift, int alt, int repeat) {
    views();
    return Host::info(player->press(key, shift != 0, alt != 0, repeat != 0)).name;
}

// A button's action by name; 0 when it is the page's own or unknown.
EMSCRIPTEN_KEEPALIVE int nyra1_act(const char* name) {
    views();
    return player->perform(Host::action_named(name)) ? 1 : 0;
}

// The view chosen at the refresh on show, as RGBA (nullptr: none), with the
// picture's column under the pointer (-1: none); then its size.
EMSCRIPTEN_KEEPALIVE const uint8_t* nyra1_view(int pointer_column) {
    const std::vector<Host::Inside::Kind> kinds = views();
    const int chosen = player->view();
    if (chosen < 1 || chosen > static_cast<int>(kinds.size())) {
        view = {};
        return nullptr;
    }
    view = Host::Inside::render(kinds[chosen - 1], {player->viewer(), history->history(), pointer_column});
    return view.rgba.data();
}
EMSCRIPTEN_KEEPALIVE int nyra1_view_width() { return view.width; }
EMSCRIPTEN_KEEPALIVE int nyra1_view_height() { return view.height; }

// Learns the show's snapshots for about `ms` milliseconds; 0 once all is learned.
EMSCRIPTEN_KEEPALIVE int nyra1_learn(double ms) {
    return player->learn(std::chrono::microseconds(static_cast<long>(ms * 1000))) ? 1 : 0;
}

// One display period has passed; 1 when the picture changed.
EMSCRIPTEN_KEEPALIVE int nyra1_tick() { return player->tick() ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE int nyra1_playing() { return player->playing() ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE uint32_t nyra1_changes() { return static_cast<uint32_t>(player->changes()); }

EMSCRIPTEN_KEEPALIVE void nyra1_seek(uint32_t n) { player->seek(n); }
// The refresh at a point of the timeline, 0 at its start and 1 at its end.
EMSCRIPTEN_KEEPALIVE void nyra1_seek_fraction(double f) {
    const uint32_t n = player->refresh_at(f);
    if (n != player->position()) player->seek(n);
}

// For bench/page_seek.js: a seek as the timeline makes it and how long it
// took inside the WASM, in milliseconds; and where the learned snapshots
// stand, with the bytes they take: {"at":[1,...],"bytes":N}.
EMSCRIPTEN_KEEPALIVE double nyra1_bench_seek(uint32_t n) {
    const double start = emscripten_get_now();
    player->seek(n);
    return emscripten_get_now() - start;
}
EMSCRIPTEN_KEEPALIVE const char* nyra1_bench_snapshots() {
    text = "{\"at\":[";
    for (uint32_t at : player->viewer().snapshot_refreshes()) text += (text.back() == '[' ? "" : ",") + std::to_string(at);
    text += "],\"bytes\":" + std::to_string(player->viewer().snapshot_bytes()) + "}";
    return text.c_str();
}

// What the page shows besides the picture, as JSON.
EMSCRIPTEN_KEEPALIVE const char* nyra1_state() {
    const Host::Player& p = *player;
    std::string osd;
    for (const std::string& line : p.osd_lines()) osd += (osd.empty() ? "" : "   ") + line;
    text = "{\"refresh\":" + std::to_string(p.position()) + ",\"paused\":" + flag(p.paused()) +
           ",\"playing\":" + flag(p.playing()) + ",\"atEnd\":" + flag(p.at_end()) + ",\"stopped\":" +
           flag(p.stopped()) + ",\"speed\":" + quoted(p.speed_text()) + ",\"loop\":" + quoted(p.loop_text()) +
           ",\"loopA\":" + std::to_string(p.loop_a()) + ",\"loopB\":" + std::to_string(p.loop_b()) +
           ",\"osd\":" + flag(p.osd_shown()) + ",\"inspector\":" + flag(p.inspector_shown()) +
           ",\"help\":" + flag(p.help_shown()) + ",\"status\":" + quoted(p.status_text()) +
           ",\"osdText\":" + quoted(osd) + ",\"learned\":" + std::to_string(p.learned()) +
           ",\"learnedAll\":" + flag(p.learned_all()) + ",\"view\":" + std::to_string(p.view()) + "}";
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
