// The project's own libretro frontend for testing the core: it loads the
// core (dlopen, or LoadLibrary on Windows), answers its callbacks as the
// interface documents them, and checks what the core does against a
// reference play of the show in this process, refresh by refresh against
// the stored list. Built natively and by the libretro-* presets (run there
// under qemu or Wine).
//
//   test_frontend CORE info VERSION
//       the core's answers and environment calls, up to and through its first
//       hundred refreshes
//   test_frontend CORE play WHOLE TAILS [--start-at K] [--compare all|N,N,...]
//                 [--after-end R] [--markers] [--save DIR N,N,...]
//       plays until the core asks to shut down, with START held from refresh
//       K on; every refresh (or the listed ones) must equal the stored list's;
//       then R more calls of retro_run must show the last picture. --save:
//       states saved at refreshes N into DIR/N.state on the way
//   test_frontend CORE reset WHOLE TAILS
//       retro_reset in the middle of the show and after its end
//   test_frontend CORE load WHOLE TAILS DIR
//       the states a play saved into DIR, each loaded in this fresh process,
//       where the show plays on exactly
//   test_frontend CORE refuse WHOLE TAILS
//       damaged and foreign states are refused and the show plays on
//   test_frontend CORE foreign WHOLE TAILS DIR
//       the states in DIR, saved under another script, are each refused with
//       that reason logged, and the show plays on
//   test_frontend CORE refused-script FILE
//       the script FILE, given as content, is refused: retro_load_game
//       returns false; the reason the core logged is printed, as
//       "refused: FILE:LINE:COLUMN: REASON"; the core still loads without
//       content afterwards
// --script FILE, after any command that plays: the script FILE is given to
// the core as content (its bytes, need_fullpath being false), and the
// reference plays it too; WHOLE is then its stored list. --compare stages
// compares the refreshes on which the stage changes, the one after each,
// and every 61st.
//
//   test_frontend counts LOG
//       instructions per refresh, stage by stage, from the log of qemu's
//       insn_count plugin of a run with --markers
//
// WHOLE and TAILS are tests/golden/show_checksum.txt and start_checksum.txt.
#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <map>

#include <libretro.h>

#include "data/assets.h"
#include "tests/libretro/reference_show.h"
#include "text/scroller.h"

using Reference::fail;

namespace {

constexpr unsigned kFramesPerRefresh = 735;

// ---- The core's entry points --------------------------------------------
struct Core {
#define NYRA1_ENTRY(name) decltype(&::name) name = nullptr;
#define NYRA1_ENTRIES                                                                                          \
    NYRA1_ENTRY(retro_set_environment) NYRA1_ENTRY(retro_set_video_refresh) NYRA1_ENTRY(retro_set_audio_sample) \
    NYRA1_ENTRY(retro_set_audio_sample_batch) NYRA1_ENTRY(retro_set_input_poll)                                 \
    NYRA1_ENTRY(retro_set_input_state) NYRA1_ENTRY(retro_init) NYRA1_ENTRY(retro_deinit)                        \
    NYRA1_ENTRY(retro_api_version) NYRA1_ENTRY(retro_get_system_info) NYRA1_ENTRY(retro_get_system_av_info)     \
    NYRA1_ENTRY(retro_set_controller_port_device) NYRA1_ENTRY(retro_reset) NYRA1_ENTRY(retro_run)               \
    NYRA1_ENTRY(retro_serialize_size) NYRA1_ENTRY(retro_serialize) NYRA1_ENTRY(retro_unserialize)               \
    NYRA1_ENTRY(retro_cheat_reset) NYRA1_ENTRY(retro_cheat_set) NYRA1_ENTRY(retro_load_game)                    \
    NYRA1_ENTRY(retro_load_game_special) NYRA1_ENTRY(retro_unload_game) NYRA1_ENTRY(retro_get_region)           \
    NYRA1_ENTRY(retro_get_memory_data) NYRA1_ENTRY(retro_get_memory_size)
    NYRA1_ENTRIES
#undef NYRA1_ENTRY

    explicit Core(const char* path) {
#if defined(_WIN32)
        std::string windows_path(path);
        std::replace(windows_path.begin(), windows_path.end(), '/', '\\');
        HMODULE handle = LoadLibraryA(windows_path.c_str());
        if (!handle) fail("LoadLibrary " + windows_path + ": error " + std::to_string(GetLastError()));
        auto find = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(handle, name)); };
#else
        void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (!handle) fail(std::string("dlopen: ") + dlerror());
        auto find = [&](const char* name) { return dlsym(handle, name); };
#endif
#define NYRA1_ENTRY(name)                                                                \
    name = reinterpret_cast<decltype(name)>(find(#name));                                \
    if (!name) fail(std::string(path) + " does not export " #name);
        NYRA1_ENTRIES
#undef NYRA1_ENTRY
    }
};

// ---- What the frontend sees ----------------------------------------------
struct Seen {
    std::map<unsigned, int> environment_calls; // command: how often
    bool no_game = false;
    int pixel_format = -1;
    std::vector<retro_input_descriptor> descriptors;
    std::vector<std::string> descriptions;
    std::vector<std::pair<int, std::string>> log; // level, line
    unsigned shutdowns = 0;
    // Per call of retro_run.
    unsigned videos = 0;
    unsigned width = 0, height = 0;
    size_t pitch = 0;
    bool null_frame = false;
    std::vector<uint32_t> frame = std::vector<uint32_t>(Reference::kPixels);
    size_t audio_frames = 0;
    bool audio_silent = true;
    unsigned polls = 0;
    unsigned start_reads = 0;
    // START is held once this many pictures have been shown (negative: never).
    long start_at = -1;
    unsigned shown = 0;
    bool markers = false;
    bool offer_log = true;
    // --script: its path and bytes, zero-terminated; the reference walks them.
    std::string script_path;
    std::string script;
    bool compare_stages = false;
};
Seen seen;

// A marker for qemu's insn_count plugin: system call 20 with the tag and two
// words (getpid on 32-bit ARM; on arm64 epoll_create1, which refuses the
// tag as flags). The plugin logs the instructions executed so far.
void mark(uint32_t tag, uint32_t a, uint32_t b = 0) {
#if (defined(__arm__) || defined(__aarch64__)) && defined(__linux__)
    if (seen.markers) syscall(20, tag, a, b, 0);
#else
    (void)tag, (void)a, (void)b;
#endif
}
constexpr uint32_t tag(const char (&s)[5]) {
    return uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16 | uint32_t(s[3]) << 24;
}

void log_line(retro_log_level level, const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::string line(text);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    seen.log.emplace_back(level, line);
}

bool environment(unsigned cmd, void* data) {
    ++seen.environment_calls[cmd];
    switch (cmd) {
    case RETRO_ENVIRONMENT_SET_SUPPORT_NO_GAME:
        seen.no_game = *static_cast<const bool*>(data);
        return true;
    case RETRO_ENVIRONMENT_GET_LOG_INTERFACE:
        if (!seen.offer_log) return false;
        static_cast<retro_log_callback*>(data)->log = log_line;
        return true;
    case RETRO_ENVIRONMENT_SET_PIXEL_FORMAT:
        seen.pixel_format = *static_cast<const retro_pixel_format*>(data);
        return true;
    case RETRO_ENVIRONMENT_SET_INPUT_DESCRIPTORS:
        seen.descriptors.clear();
        seen.descriptions.clear();
        for (auto* d = static_cast<const retro_input_descriptor*>(data); d->description; ++d) {
            seen.descriptors.push_back(*d);
            seen.descriptions.emplace_back(d->description);
        }
        return true;
    case RETRO_ENVIRONMENT_SHUTDOWN:
        ++seen.shutdowns;
        return true;
    default: // GET_CAN_DUPE among them: every frame must come whole
        return false;
    }
}

void video_refresh(const void* data, unsigned width, unsigned height, size_t pitch) {
    mark(tag("shwn"), seen.shown + 1);
    ++seen.videos;
    ++seen.shown;
    seen.width = width;
    seen.height = height;
    seen.pitch = pitch;
    seen.null_frame = data == nullptr;
    if (!data || width != Reference::kWidth || height != Reference::kHeight || pitch < width * 4) return;
    for (unsigned y = 0; y < height; ++y)
        std::memcpy(&seen.frame[y * width], static_cast<const uint8_t*>(data) + y * pitch, width * 4);
}

// Takes at most 512 frames a call, as a frontend with a small buffer may:
// the rest must come in further calls.
size_t audio_batch(const int16_t* data, size_t frames) {
    frames = std::min<size_t>(frames, 512);
    seen.audio_frames += frames;
    for (size_t i = 0; i < 2 * frames; ++i) seen.audio_silent = seen.audio_silent && data[i] == 0;
    return frames;
}

void audio_sample(int16_t left, int16_t right) {
    ++seen.audio_frames;
    seen.audio_silent = seen.audio_silent && left == 0 && right == 0;
}

void input_poll() { ++seen.polls; }

int16_t input_state(unsigned port, unsigned device, unsigned, unsigned id) {
    if (port != 0 || device != RETRO_DEVICE_JOYPAD || id != RETRO_DEVICE_ID_JOYPAD_START) return 0;
    ++seen.start_reads;
    return seen.start_at >= 0 && seen.shown >= static_cast<unsigned long>(seen.start_at);
}

// ---- Driving the core ----------------------------------------------------
// The core loaded with the script as content, or without content.
bool load_content(Core& core) {
    if (seen.script_path.empty()) return core.retro_load_game(nullptr);
    const retro_game_info game{seen.script_path.c_str(), seen.script.data(), seen.script.size(), nullptr};
    return core.retro_load_game(&game);
}

Core& open_core(const char* path) {
    static Core core(path);
    core.retro_set_environment(environment);
    core.retro_set_video_refresh(video_refresh);
    core.retro_set_audio_sample(audio_sample);
    core.retro_set_audio_sample_batch(audio_batch);
    core.retro_set_input_poll(input_poll);
    core.retro_set_input_state(input_state);
    core.retro_init();
    if (!load_content(core)) {
        std::string why;
        for (const auto& l : seen.log) why += "; " + l.second;
        fail("retro_load_game failed" + why);
    }
    return core;
}

// One retro_run: exactly one whole picture and one refresh's silence.
void run(Core& core) {
    seen.videos = 0;
    seen.audio_frames = 0;
    seen.polls = 0;
    mark(tag("run "), seen.shown + 1);
    core.retro_run();
    const std::string at = " at picture " + std::to_string(seen.shown);
    if (seen.videos != 1) fail("retro_run showed " + std::to_string(seen.videos) + " pictures" + at);
    if (seen.null_frame) fail("a NULL frame, though the frontend cannot repeat frames" + at);
    if (seen.width != 320 || seen.height != 240 || seen.pitch < 320 * 4)
        fail("a picture of " + std::to_string(seen.width) + " x " + std::to_string(seen.height) + ", pitch " +
             std::to_string(seen.pitch) + at);
    if (seen.audio_frames != kFramesPerRefresh || !seen.audio_silent)
        fail(std::to_string(seen.audio_frames) + " audio frames" + (seen.audio_silent ? "" : ", not silent") + at +
             "; 735 of silence are due");
    if (seen.polls != 1) fail("input polled " + std::to_string(seen.polls) + " times" + at);
}

void expect_picture(const Reference::Show& reference, const char* what) {
    const std::vector<uint32_t>& want = reference.xrgb();
    for (int p = 0; p < Reference::kPixels; ++p) {
        if ((seen.frame[p] & 0xFFFFFF) == want[p]) continue;
        char text[200];
        std::snprintf(text, sizeof text, "%s: refresh %u differs at (%d, %d): %06x where the show has %06x", what,
                      reference.number(), p % Reference::kWidth, p / Reference::kWidth,
                      seen.frame[p] & 0xFFFFFF, want[p]);
        fail(text);
    }
}

struct Play {
    unsigned refreshes = 0; // run (and compared, where `compare` says so)
    unsigned compared = 0;
};

// Runs the core and the reference side by side for up to `limit` refreshes
// or to the show's end. The core must ask to shut down on the very refresh
// that ends the show, and never before.
Play play_on(Core& core, Reference::Show& reference, unsigned limit, const std::vector<uint32_t>& compare = {}) {
    Play play;
    const unsigned shutdowns = seen.shutdowns;
    while (play.refreshes < limit && !reference.ended()) {
        const ::Show::Stage before = reference.stage();
        run(core);
        reference.step();
        mark(tag("stag"), reference.number(), static_cast<uint32_t>(reference.stage()));
        ++play.refreshes;
        // --compare stages: the refresh of a stage change, the one after, a sample.
        static bool changed = false;
        const bool change = reference.stage() != before;
        const bool chosen = seen.compare_stages
                                ? change || changed || reference.number() % 61 == 0
                                : std::binary_search(compare.begin(), compare.end(), reference.number());
        changed = change;
        if ((compare.empty() && !seen.compare_stages) || chosen) {
            expect_picture(reference, "the core's picture");
            ++play.compared;
        }
        const unsigned asked = seen.shutdowns - shutdowns;
        if (asked != (reference.ended() ? 1u : 0u))
            fail("the core asked to shut down " + std::to_string(asked) + " times by refresh " +
                 std::to_string(reference.number()) + (reference.ended() ? ", the show's last" : ", in mid-show"));
    }
    return play;
}

std::vector<uint32_t> numbers(const std::string& list) {
    std::vector<uint32_t> out;
    for (size_t at = 0; at < list.size();) {
        out.push_back(static_cast<uint32_t>(std::stoul(list.substr(at))));
        at = list.find(',', at);
        at = at == std::string::npos ? list.size() : at + 1;
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<uint8_t> read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fail("cannot read " + path.string());
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool logged(int level, const std::string& part) {
    return std::any_of(seen.log.begin(), seen.log.end(),
                       [&](const auto& l) { return l.first == level && l.second.find(part) != std::string::npos; });
}

// ---- The commands ----------------------------------------------------------
int info(const char* path, const std::string& version) {
    Core& core = open_core(path);
    if (core.retro_api_version() != RETRO_API_VERSION) fail("API version " + std::to_string(core.retro_api_version()));
    if (!seen.no_game) fail("the core did not say that it needs no content (SET_SUPPORT_NO_GAME)");
    if (!seen.environment_calls.count(RETRO_ENVIRONMENT_GET_LOG_INTERFACE))
        fail("the core did not ask for the log interface");
    if (seen.pixel_format != RETRO_PIXEL_FORMAT_XRGB8888) fail("pixel format " + std::to_string(seen.pixel_format));
    if (seen.descriptors.size() != 1 || seen.descriptors[0].port != 0 ||
        seen.descriptors[0].device != RETRO_DEVICE_JOYPAD || seen.descriptors[0].id != RETRO_DEVICE_ID_JOYPAD_START ||
        seen.descriptions[0].find("Start") == std::string::npos)
        fail("the input descriptors must name the RetroPad's Start, and only it");

    retro_system_info system{};
    core.retro_get_system_info(&system);
    if (std::string(system.library_name) != "Nyra 1" || version != system.library_version)
        fail(std::string("system info: ") + system.library_name + " " + system.library_version);
    if (!system.valid_extensions || std::string(system.valid_extensions) != "nyra1")
        fail(std::string("extensions ") + (system.valid_extensions ? system.valid_extensions : "(none)") +
             "; scripts are .nyra1 files");
    if (system.need_fullpath) fail("the core asks for a full path to a script it reads from its bytes");

    retro_system_av_info av{};
    core.retro_get_system_av_info(&av);
    const retro_game_geometry& g = av.geometry;
    if (g.base_width != 320 || g.base_height != 240 || g.max_width != 320 || g.max_height != 240 ||
        std::fabs(g.aspect_ratio - 4.0f / 3.0f) > 1e-6f)
        fail("geometry " + std::to_string(g.base_width) + " x " + std::to_string(g.base_height) + ", aspect " +
             std::to_string(g.aspect_ratio));
    // Frontends that pace by audio keep the refresh rate only when the
    // silence per refresh matches the declared rate.
    if (av.timing.fps != 60.0 || av.timing.sample_rate != 44100.0 ||
        av.timing.sample_rate / av.timing.fps != kFramesPerRefresh)
        fail("timing " + std::to_string(av.timing.fps) + " Hz, " + std::to_string(av.timing.sample_rate) +
             " samples a second");
    if (core.retro_get_region() != RETRO_REGION_NTSC) fail("region");
    if (core.retro_load_game_special(0, nullptr, 0)) fail("retro_load_game_special succeeded");

    // The state's size stays the same as the show plays, through a stage
    // change; rewind and run-ahead depend on it.
    const size_t size = core.retro_serialize_size();
    if (size <= SavedState::kHeaderSize) fail("serialize size " + std::to_string(size));
    std::vector<uint8_t> state(size);
    for (int i = 0; i < 100; ++i) {
        core.retro_run();
        if (core.retro_serialize_size() != size) fail("the serialize size changed at refresh " + std::to_string(i + 1));
    }
    if (!core.retro_serialize(state.data(), size)) fail("retro_serialize failed");
    if (core.retro_serialize(state.data(), size - 1)) fail("retro_serialize wrote into a buffer too small");
    if (!logged(RETRO_LOG_INFO, version)) fail("the core logged nothing through the log interface");
    // RetroArch sets the environment again while the core runs, without a
    // log interface; the core logs on through the one it had.
    seen.offer_log = false;
    core.retro_set_environment(environment);
    core.retro_reset();
    if (!logged(RETRO_LOG_INFO, "starts again")) fail("a second environment without a log interface silenced the core");
    core.retro_unload_game();
    core.retro_deinit();
    std::printf("info: %s %s, scripts as .nyra1 content, 320 x 240 (4:3) at 60 Hz, 44100 Hz silence; XRGB8888; "
                "Start described; states of %zu bytes; log: %s\n",
                system.library_name, system.library_version, size, seen.log.front().second.c_str());
    return 0;
}

// The core's state now, into DIR/N.state (N: the refresh on display).
void save_state(Core& core, const std::string& dir, uint32_t n) {
    const size_t size = core.retro_serialize_size();
    std::vector<uint8_t> state(size);
    if (!core.retro_serialize(state.data(), size)) fail("retro_serialize failed at refresh " + std::to_string(n));
    std::ofstream(std::filesystem::path(dir) / (std::to_string(n) + ".state"), std::ios::binary)
        .write(reinterpret_cast<const char*>(state.data()), static_cast<std::streamsize>(size));
}

int play(const char* path, const std::string& whole, const std::string& tails, long start_at,
         const std::vector<uint32_t>& compare, unsigned after_end, const std::string& save_dir,
         const std::vector<uint32_t>& save_at) {
    Core& core = open_core(path);
    seen.start_at = start_at;
    Reference::Show reference(Reference::stored_list(whole, tails, start_at));
    reference.start(start_at);
    Play p;
    if (!save_at.empty()) {
        std::filesystem::remove_all(save_dir);
        std::filesystem::create_directories(save_dir);
    }
    const size_t size = core.retro_serialize_size();
    for (uint32_t n : save_at) {
        // Saving must not disturb the play: the refreshes after it are compared too.
        const Play part = play_on(core, reference, n - reference.number(), compare);
        p.refreshes += part.refreshes;
        p.compared += part.compared;
        if (reference.number() != n) fail("the show ended before refresh " + std::to_string(n));
        if (core.retro_serialize_size() != size) fail("the serialize size changed by refresh " + std::to_string(n));
        save_state(core, save_dir, n);
    }
    const Play rest = play_on(core, reference, 100000, compare);
    p.refreshes += rest.refreshes;
    p.compared += rest.compared;
    if (!reference.ended()) fail("the show did not end");
    if (p.refreshes != reference.stored().size())
        fail(std::to_string(p.refreshes) + " refreshes; the stored list has " + std::to_string(reference.stored().size()));
    // A frontend that does not shut down gets the last picture again.
    for (unsigned i = 0; i < after_end; ++i) {
        run(core);
        expect_picture(reference, "after the end");
    }
    if (seen.shutdowns != 1) fail("after the end the core asked to shut down again");
    const bool by_start = start_at >= 0;
    if (!logged(RETRO_LOG_INFO, by_start ? "ended by START" : "has ended")) fail("the end was not logged");
    std::printf("play: %u refreshes, %u compared with the stored list%s; shutdown asked at refresh %u; "
                "%u more runs showed the last picture; START read %u times",
                p.refreshes, p.compared, by_start ? (", START from " + std::to_string(start_at)).c_str() : "",
                reference.number(), after_end, seen.start_reads);
    if (!save_at.empty()) std::printf("; %zu states of %zu bytes saved in %s", save_at.size(), size, save_dir.c_str());
    std::printf("\n");
    return 0;
}

int reset(const char* path, const std::string& whole, const std::string& tails) {
    Core& core = open_core(path);
    Reference::Show reference(Reference::stored_list(whole, tails, -1));
    reference.start(-1);
    // In mid-show, in the plasma.
    play_on(core, reference, 700);
    core.retro_reset();
    reference.start(-1);
    play_on(core, reference, 60);
    // After an end by START (a stored run's), once the core has asked to
    // shut down.
    constexpr long kStart = 320;
    Reference::Show stopped(Reference::stored_list(whole, tails, kStart));
    core.retro_reset();
    stopped.start(kStart);
    seen.start_at = seen.shown + kStart;
    const unsigned shutdowns = seen.shutdowns;
    const Play p = play_on(core, stopped, 100000);
    if (!stopped.ended() || seen.shutdowns != shutdowns + 1) fail("after a reset START did not end the show");
    run(core);
    expect_picture(stopped, "after the end");
    seen.start_at = -1;
    core.retro_reset();
    reference.start(-1);
    play_on(core, reference, 60);
    std::printf("reset: in mid-show at refresh 700 and after START had ended the show at refresh %u: "
                "each time the show started again from refresh 1, as the stored list has it\n",
                p.refreshes);
    return 0;
}

// The states saved into `dir`, in the order of their names.
std::vector<std::filesystem::path> state_files(const std::string& dir) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().extension() == ".state") files.push_back(entry.path());
    if (files.empty()) fail("no states in " + dir);
    std::sort(files.begin(), files.end());
    return files;
}

int load(const char* path, const std::string& whole, const std::string& tails, const std::string& dir) {
    constexpr unsigned kPlayOn = 30;
    Core& core = open_core(path);
    Reference::Show reference(Reference::stored_list(whole, tails, -1));
    reference.start(-1);
    // The core is somewhere else in the show when each state arrives.
    play_on(core, reference, 200);
    const std::vector<std::filesystem::path> files = state_files(dir);
    for (const auto& file : files) {
        const std::vector<uint8_t> state = read_file(file);
        if (!core.retro_unserialize(state.data(), state.size())) fail(file.string() + " was refused");
        reference.load(state);
        const unsigned shutdowns = seen.shutdowns;
        if (reference.ended()) {
            // A state of the ended show shows its last picture and asks again.
            run(core);
            expect_picture(reference, "a state after the end");
            if (seen.shutdowns != shutdowns + 1) fail("a state after the end did not ask to shut down");
        } else {
            play_on(core, reference, kPlayOn);
        }
    }
    std::printf("load: %zu states loaded in this process; each played on %u refreshes as the stored list has them\n",
                files.size(), kPlayOn);
    return 0;
}

int refuse(const char* path, const std::string& whole, const std::string& tails) {
    Core& core = open_core(path);
    Reference::Show reference(Reference::stored_list(whole, tails, -1));
    reference.start(-1);
    play_on(core, reference, 1000);
    const size_t size = core.retro_serialize_size();
    std::vector<uint8_t> good(size);
    if (!core.retro_serialize(good.data(), size)) fail("retro_serialize failed");
    // A state otherwise sound whose show is in a stage that does not exist:
    // the first section is the show's, its stage the first byte.
    std::vector<uint8_t> bad_stage = good;
    bad_stage[SavedState::kHeaderSize + 8] = 0x7F;
    const uint32_t crc = Crc32::of(bad_stage.data() + SavedState::kHeaderSize, size - SavedState::kHeaderSize);
    for (int i = 0; i < 4; ++i) bad_stage[12 + i] = static_cast<uint8_t>(crc >> 8 * i);

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* reason; // a word of the logged reason
    };
    std::vector<Case> cases = {
        {"a flipped bit", good, "damaged"},          {"one byte short", good, "cut"},
        {"four bytes more", good, "padded"},          {"another format", good, "NYRA"},
        {"a later version", good, "version"},         {"an unknown stage", bad_stage, "stage"},
        {"nothing", {}, "too short"},
    };
    cases[0].bytes[size / 2] ^= 0x10;
    cases[1].bytes.pop_back();
    cases[2].bytes.resize(size + 4);
    std::memcpy(cases[3].bytes.data(), "RIFF", 4);
    cases[4].bytes[4] += 1;
    for (const Case& c : cases) {
        seen.log.clear();
        if (core.retro_unserialize(c.bytes.data(), c.bytes.size())) fail(std::string("a state with ") + c.what + " was loaded");
        if (!logged(RETRO_LOG_WARN, c.reason))
            fail(std::string("refusing a state with ") + c.what + ", the core did not log why ('" + c.reason + "')");
        // The show plays on as if nothing had come.
        play_on(core, reference, 20);
    }
    // The sound state still loads and plays on, from where it was taken.
    if (!core.retro_unserialize(good.data(), size)) fail("the sound state was refused");
    reference.load(good);
    play_on(core, reference, 30);
    std::printf("refuse: %zu damaged or foreign states refused with the reason logged; the show played on each time; "
                "the sound state still loads\n",
                cases.size());
    return 0;
}

int foreign(const char* path, const std::string& whole, const std::string& tails, const std::string& dir) {
    Core& core = open_core(path);
    Reference::Show reference(Reference::stored_list(whole, tails, -1));
    reference.start(-1);
    play_on(core, reference, 200);
    const std::vector<std::filesystem::path> files = state_files(dir);
    std::string said;
    for (const auto& file : files) {
        const std::vector<uint8_t> state = read_file(file);
        seen.log.clear();
        if (core.retro_unserialize(state.data(), state.size()))
            fail(file.string() + " was loaded under another script");
        if (!logged(RETRO_LOG_WARN, "saved under another script"))
            fail(file.string() + " was refused, but not for its script: " +
                 (seen.log.empty() ? std::string("nothing logged") : seen.log.back().second));
        said = seen.log.back().second;
        play_on(core, reference, 20);
    }
    std::printf("foreign: %zu states saved under another script refused; the show played on each time; "
                "the core said: %s\n",
                files.size(), said.c_str());
    return 0;
}

int refused_script(const char* path, const std::string& file) {
    static Core core(path);
    core.retro_set_environment(environment);
    core.retro_set_video_refresh(video_refresh);
    core.retro_set_audio_sample_batch(audio_batch);
    core.retro_set_input_poll(input_poll);
    core.retro_set_input_state(input_state);
    core.retro_init();
    seen.script_path = file;
    const std::vector<uint8_t> bytes = read_file(file);
    seen.script.assign(bytes.begin(), bytes.end());
    if (load_content(core)) fail(file + " was accepted");
    std::string reason;
    for (const auto& l : seen.log)
        if (l.first == RETRO_LOG_ERROR) reason = l.second;
    const std::string prefix = "[Nyra 1] ";
    if (reason.rfind(prefix + file + ":", 0) != 0) fail("the core logged no reason with the script's place: " + reason);
    // The refusal leaves the core ready for other content, or none.
    seen.script_path.clear();
    if (!load_content(core)) fail("after refusing a script the core did not load without content");
    core.retro_run();
    core.retro_unload_game();
    core.retro_deinit();
    std::printf("refused: %s\n", reason.substr(prefix.size()).c_str());
    return 0;
}

// The insn_count plugin's log: "groups ..." then "r0 r1 r2 r3 total ..."
// per marker. A refresh costs the instructions from its retro_run call to
// its picture.
int counts(const std::string& log_path) {
    std::ifstream in(log_path);
    if (!in) fail("cannot read " + log_path);
    static const char* const kStages[] = {"start-up", "title", "plasma", "flight", "hand-over", "rotozoomer", "final"};
    struct Sum {
        unsigned refreshes = 0;
        unsigned long long total = 0, worst = 0, worst_at = 0;
    } stages[7], all;
    unsigned long long run_at = 0, cost = 0;
    for (std::string line; std::getline(in, line);) {
        unsigned long long w[4], total;
        if (std::sscanf(line.c_str(), "%llu %llu %llu %llu %llu", &w[0], &w[1], &w[2], &w[3], &total) != 5) continue;
        if (w[0] == tag("run ")) {
            run_at = total;
        } else if (w[0] == tag("shwn")) {
            cost = total - run_at;
        } else if (w[0] == tag("stag") && w[2] < 7) {
            for (Sum* s : {&stages[w[2]], &all}) {
                ++s->refreshes;
                s->total += cost;
                if (cost > s->worst) s->worst = cost, s->worst_at = w[1];
            }
        }
    }
    if (all.refreshes == 0) fail(log_path + " holds no refreshes");
    std::printf("| stage | refreshes | instructions per refresh, mean | worst (refresh) |\n"
                "| --- | ---: | ---: | ---: |\n");
    for (int i = 0; i < 7; ++i)
        if (stages[i].refreshes)
            std::printf("| %s | %u | %llu | %llu (%llu) |\n", kStages[i], stages[i].refreshes,
                        stages[i].total / stages[i].refreshes, stages[i].worst, stages[i].worst_at);
    std::printf("| **whole show** | %u | %llu | %llu (%llu) |\n", all.refreshes, all.total / all.refreshes, all.worst,
                all.worst_at);
    return 0;
}

int usage() {
    std::fputs("usage: test_frontend CORE info VERSION | CORE play WHOLE TAILS [--start-at K] [--compare all|N,...]"
               " [--after-end R] [--markers] [--save DIR N,...] | CORE reset WHOLE TAILS |"
               " CORE load WHOLE TAILS DIR | CORE refuse WHOLE TAILS | CORE foreign WHOLE TAILS DIR |"
               " CORE refused-script FILE | counts LOG; --script FILE after a command that plays\n",
               stderr);
    return 2;
}

} // namespace

int main(int given_count, char** given) {
    try {
        // --script FILE, wherever it stands.
        std::vector<char*> args;
        for (int i = 0; i < given_count; ++i) {
            if (std::strcmp(given[i], "--script") == 0 && i + 1 < given_count) {
                seen.script_path = given[++i];
                const std::vector<uint8_t> bytes = read_file(seen.script_path);
                seen.script.assign(bytes.begin(), bytes.end());
                // The reference walks the same text.
                static std::string text;
                text = seen.script;
                Scroller::use_text(Assets::scroller_font, text.c_str());
            } else if (std::strcmp(given[i], "--compare") == 0 && i + 1 < given_count &&
                       std::strcmp(given[i + 1], "stages") == 0) {
                seen.compare_stages = true;
                ++i;
            } else {
                args.push_back(given[i]);
            }
        }
        const int argc = static_cast<int>(args.size());
        char** argv = args.data();
        if (argc == 4 && std::strcmp(argv[2], "refused-script") == 0) return refused_script(argv[1], argv[3]);
        if (argc == 3 && std::strcmp(argv[1], "counts") == 0) return counts(argv[2]);
        if (argc < 4) return usage();
        const char* core = argv[1];
        const std::string command = argv[2];
        if (command == "info") return info(core, argv[3]);
        if (argc < 5) return usage();
        const std::string whole = argv[3], tails = argv[4];
        if (command == "play") {
            long start_at = -1;
            unsigned after_end = 0;
            std::vector<uint32_t> compare, save_at;
            std::string save_dir;
            for (int i = 5; i < argc; ++i) {
                const std::string option = argv[i];
                if (option == "--markers") {
                    seen.markers = true;
                } else if (i + 1 < argc && option == "--start-at") {
                    start_at = std::stol(argv[++i]);
                } else if (i + 1 < argc && option == "--after-end") {
                    after_end = static_cast<unsigned>(std::stoul(argv[++i]));
                } else if (i + 1 < argc && option == "--compare") {
                    const std::string list = argv[++i];
                    if (list != "all") compare = numbers(list);
                } else if (i + 2 < argc && option == "--save") {
                    save_dir = argv[++i];
                    save_at = numbers(argv[++i]);
                } else {
                    return usage();
                }
            }
            return play(core, whole, tails, start_at, compare, after_end, save_dir, save_at);
        }
        if (command == "reset" && argc == 5) return reset(core, whole, tails);
        if (command == "refuse" && argc == 5) return refuse(core, whole, tails);
        if (command == "load" && argc == 6) return load(core, whole, tails, argv[5]);
        if (command == "foreign" && argc == 6) return foreign(core, whole, tails, argv[5]);
        return usage();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "FAILED: %s\n", e.what());
        return 1;
    }
}
