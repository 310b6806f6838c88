// The show as a libretro core: a frontend such as RetroArch loads it without
// content and calls retro_run once a refresh; each call plays one vertical
// sync of the show on the display controller model and hands the frontend
// that refresh as XRGB8888 (exact: every palette colour is 8 bits a
// channel), with a refresh's worth of silence. START is the RetroPad's Start,
// read whenever the show polls it. When the show has ended, by START or by
// its own end, the core asks the frontend to shut down; until it does, every
// further retro_run shows the last picture again. States are the project's
// portable ones (host/state/saved_state.h), of one size for the whole run.
//
// Like the show, this glue is freestanding: the core needs no C or C++
// runtime (runtime.cpp has the few block moves the compiler calls), so one
// file loads in every frontend of its platform, whatever C library that has.
#include <libretro.h>

#include "host/state/saved_state.h"
#include "platform/display.h"
#include "platform/host/display_controller.h"
#include "show/show.h"

namespace {

constexpr unsigned kWidth = Display::kWidth;
constexpr unsigned kHeight = Display::kHeight;
constexpr unsigned kRefreshRate = Display::kRefreshRate;
constexpr unsigned kSampleRate = 44100;
// Stereo frames of silence a refresh: frontends that pace by audio keep
// the refresh rate only if these add up to the declared sample rate.
constexpr unsigned kFramesPerRefresh = kSampleRate / kRefreshRate;
static_assert(kFramesPerRefresh * kRefreshRate == kSampleRate);

retro_environment_t environment;
retro_video_refresh_t video_refresh;
retro_audio_sample_t audio_sample;
retro_audio_sample_batch_t audio_batch;
retro_input_poll_t input_poll;
retro_input_state_t input_state;
retro_log_printf_t frontend_log;

// A line in the frontend's log: the format and its arguments go to the
// frontend's own printf-like function. Without a log interface (RetroArch
// always offers one) the core has no other place to write to.
#define NYRA1_SAY(level, format, ...)                                                                    \
    do {                                                                                                   \
        if (frontend_log) frontend_log(level, "[Nyra 1] " format "\n" __VA_OPT__(, ) __VA_ARGS__);         \
    } while (false)

// The picture on display, as the frontend receives it. The buffers are
// zero-initialised statics, so that they take no room in the file.
uint32_t xrgb[kWidth * kHeight];
uint8_t shown_indices[kWidth * kHeight];

void show(const uint8_t* indices, const uint8_t* rgb) {
    uint32_t colour[256];
    for (int i = 0; i < 256; ++i)
        colour[i] = uint32_t{rgb[3 * i]} << 16 | uint32_t{rgb[3 * i + 1]} << 8 | rgb[3 * i + 2];
    // Eight pixels a round: on ARM this halves the instructions a pixel
    // (loop overhead, paired stores), and the conversion is a good part of a
    // refresh's cost there.
    static_assert(kWidth * kHeight % 8 == 0);
    uint32_t* out = xrgb;
    for (const uint8_t* in = indices; in < indices + kWidth * kHeight; in += 8, out += 8) {
        out[0] = colour[in[0]];
        out[1] = colour[in[1]];
        out[2] = colour[in[2]];
        out[3] = colour[in[3]];
        out[4] = colour[in[4]];
        out[5] = colour[in[5]];
        out[6] = colour[in[6]];
        out[7] = colour[in[7]];
    }
}

// After a state has been loaded: the picture that state has on display.
void show_display() {
    DisplayController::picture(shown_indices);
    show(shown_indices, DisplayController::hardware_palette());
}

class Screen : public DisplayController::Frontend {
public:
    void refresh(const DisplayController::Refresh& r) override { show(r.pixels, r.rgb); }
    bool start_held() override {
        return input_state && input_state(0, RETRO_DEVICE_JOYPAD, 0, RETRO_DEVICE_ID_JOYPAD_START) != 0;
    }
    // Made once in static room (a static object would need a runtime to
    // register its destructor), and never deleted.
    static void* operator new(decltype(sizeof 0), void* room) noexcept { return room; }
    static void operator delete(void*) {}
};

Screen* screen() {
    alignas(Screen) static unsigned char room[sizeof(Screen)];
    static Screen* made;
    if (!made) made = new (room) Screen;
    return made;
}

// The show's exit to the menu program has an empty environment here.
char* const no_environment[] = {nullptr};
bool loaded;
bool ended;          // the show has handed over its final refresh
bool shutdown_asked; // since it ended, or since a state that had ended was loaded

void start_show() {
    SavedState::restart_show();
    DisplayController::attach(screen());
    Show::begin(no_environment);
    __builtin_memset(xrgb, 0, sizeof xrgb);
    ended = false;
    shutdown_asked = false;
}

void deliver_silence() {
    static const int16_t silence[2 * kFramesPerRefresh] = {};
    if (audio_batch) {
        // A frontend may take fewer frames than offered; the rest follow.
        for (size_t done = 0; done < kFramesPerRefresh;) {
            const size_t took = audio_batch(silence + 2 * done, kFramesPerRefresh - done);
            if (took == 0 || took > kFramesPerRefresh - done) break;
            done += took;
        }
    } else if (audio_sample) {
        for (unsigned i = 0; i < kFramesPerRefresh; ++i) audio_sample(0, 0);
    }
}

} // namespace

extern "C" {

unsigned retro_api_version(void) { return RETRO_API_VERSION; }

void retro_set_environment(retro_environment_t callback) {
    environment = callback;
    bool no_game = true;
    environment(RETRO_ENVIRONMENT_SET_SUPPORT_NO_GAME, &no_game);
    // RetroArch calls this again while the core runs, with an environment
    // that offers no log interface: the one offered before stays.
    retro_log_callback log{};
    if (environment(RETRO_ENVIRONMENT_GET_LOG_INTERFACE, &log) && log.log) frontend_log = log.log;
}

void retro_set_video_refresh(retro_video_refresh_t callback) { video_refresh = callback; }
void retro_set_audio_sample(retro_audio_sample_t callback) { audio_sample = callback; }
void retro_set_audio_sample_batch(retro_audio_sample_batch_t callback) { audio_batch = callback; }
void retro_set_input_poll(retro_input_poll_t callback) { input_poll = callback; }
void retro_set_input_state(retro_input_state_t callback) { input_state = callback; }

void retro_init(void) {}

void retro_deinit(void) {
    DisplayController::attach(nullptr);
    loaded = false;
}

void retro_get_system_info(retro_system_info* info) {
    *info = {};
    info->library_name = "Nyra 1";
    info->library_version = NYRA1_VERSION;
    info->valid_extensions = ""; // the show needs no content
    info->need_fullpath = false;
    info->block_extract = false;
}

void retro_get_system_av_info(retro_system_av_info* info) {
    *info = {};
    info->geometry = {kWidth, kHeight, kWidth, kHeight, 4.0f / 3.0f};
    info->timing = {double{kRefreshRate}, double{kSampleRate}};
}

void retro_set_controller_port_device(unsigned, unsigned) {}

bool retro_load_game(const retro_game_info* game) {
    retro_pixel_format format = RETRO_PIXEL_FORMAT_XRGB8888;
    if (!environment || !environment(RETRO_ENVIRONMENT_SET_PIXEL_FORMAT, &format)) {
        NYRA1_SAY(RETRO_LOG_ERROR, "the frontend does not take XRGB8888 pictures, which the show's colours need");
        return false;
    }
    static const retro_input_descriptor descriptors[] = {
        {0, RETRO_DEVICE_JOYPAD, 0, RETRO_DEVICE_ID_JOYPAD_START, "Start (ends the show)"},
        {0, 0, 0, 0, nullptr},
    };
    environment(RETRO_ENVIRONMENT_SET_INPUT_DESCRIPTORS, const_cast<retro_input_descriptor*>(descriptors));
    if (game && game->path) NYRA1_SAY(RETRO_LOG_INFO, "the show needs no content; %s is not used", game->path);
    start_show();
    loaded = true;
    NYRA1_SAY(RETRO_LOG_INFO, "version %s: %u x %u at %u Hz; states of %u bytes", NYRA1_VERSION, kWidth, kHeight,
              kRefreshRate, static_cast<unsigned>(SavedState::size()));
    return true;
}

bool retro_load_game_special(unsigned, const retro_game_info*, size_t) { return false; }

void retro_unload_game(void) {
    DisplayController::attach(nullptr);
    loaded = false;
}

void retro_reset(void) {
    if (!loaded) return;
    start_show();
    NYRA1_SAY(RETRO_LOG_INFO, "the show starts again");
}

void retro_run(void) {
    if (!loaded) return;
    if (input_poll) input_poll();
    if (!ended) ended = !Show::step();
    if (video_refresh) video_refresh(xrgb, kWidth, kHeight, kWidth * sizeof(uint32_t));
    deliver_silence();
    if (ended && !shutdown_asked) {
        shutdown_asked = true;
        const bool by_start = DisplayController::ending() == DisplayController::Ending::StoppedByStart;
        NYRA1_SAY(RETRO_LOG_INFO, "the show %s after %u refreshes", by_start ? "was ended by START" : "has ended",
                  static_cast<unsigned>(DisplayController::refreshes()));
        environment(RETRO_ENVIRONMENT_SHUTDOWN, nullptr);
    }
}

size_t retro_serialize_size(void) { return SavedState::size(); }

bool retro_serialize(void* data, size_t size) {
    if (!loaded || !data || size < SavedState::size()) return false;
    SavedState::save(static_cast<uint8_t*>(data));
    return true;
}

bool retro_unserialize(const void* data, size_t size) {
    if (!loaded) return false;
    static const uint8_t nothing = 0;
    if (!data) size = 0;
    if (const char* why = SavedState::load(data ? static_cast<const uint8_t*>(data) : &nothing, size)) {
        NYRA1_SAY(RETRO_LOG_WARN, "state refused, the show plays on: %s", why);
        return false;
    }
    show_display();
    ended = Show::stage() == Show::Stage::Ended;
    shutdown_asked = false;
    return true;
}

void retro_cheat_reset(void) {}
void retro_cheat_set(unsigned, bool, const char*) {}

unsigned retro_get_region(void) { return RETRO_REGION_NTSC; }

void* retro_get_memory_data(unsigned) { return nullptr; }
size_t retro_get_memory_size(unsigned) { return 0; }

} // extern "C"
