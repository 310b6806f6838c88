#include "host/state/saved_state.h"

#include "data/assets.h"
#include "data/decimal.h"
#include "host/state/crc32.h"
#include "platform/host/display_controller.h"
#include "show/show.h"
#include "text/scroller.h"

namespace SavedState {

namespace {

// The display model's sections follow the core's.
constexpr StateSection kModelSections[] = {
    {{'r', 'e', 'g', 's'}, DisplayController::state_block, DisplayController::reset, DisplayController::check_state},
    {{'v', 'r', 'a', 'm'}, DisplayController::frame_buffers_block, nullptr, nullptr}, // reset with the registers
};

// Every section of a state, in its order: the show's, then the model's. A
// further table of sections is one more entry here.
class Sections {
public:
    Sections() {
        tables_[0].count = Show::sections(tables_[0].first);
        tables_[1] = {kModelSections, sizeof kModelSections / sizeof kModelSections[0]};
    }
    uint32_t count() const {
        uint32_t n = 0;
        for (const Table& t : tables_) n += t.count;
        return n;
    }
    const StateSection& operator[](uint32_t i) const {
        const Table* t = tables_;
        while (i >= t->count) i -= t++->count;
        return t->first[i];
    }

private:
    struct Table {
        const StateSection* first = nullptr;
        uint32_t count = 0;
    };
    Table tables_[2];
};

constexpr uint32_t padded(uint32_t n) { return (n + 3) & ~uint32_t{3}; }

void put32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> 8 * i);
}

uint32_t get32(const uint8_t* at) {
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24;
}

bool same_tag(const uint8_t* a, const char* b) {
    for (int i = 0; i < 4; ++i)
        if (a[i] != static_cast<uint8_t>(b[i])) return false;
    return true;
}

uint32_t body_size() {
    const Sections all;
    uint32_t n = 0;
    for (uint32_t i = 0; i < all.count(); ++i) n += 8 + padded(all[i].block().size);
    return n;
}

// The identity of the text the Scroller walks: the built-in script's or one
// of the user's.
uint64_t running_script() {
    const char* text = Scroller::text();
    size_t size = 0;
    while (text[size]) ++size;
    return script_identity(text, size);
}

bool is_built_in(uint64_t identity) {
    return identity == script_identity(Assets::scroll_text, Assets::scroll_text_size);
}

// Parts of a reason other than words.
struct Hex {
    uint32_t value; // as eight hexadecimal digits
};
struct Tag {
    const uint8_t* bytes; // four, any that is not printable as \xNN
};

// A refusal's reason, written into one buffer.
class Reason {
public:
    Reason& operator<<(const char* text) {
        while (*text) put(*text++);
        return *this;
    }
    Reason& operator<<(uint64_t n) {
        Decimal::each_digit(n, [this](char digit, int) { put(digit); });
        return *this;
    }
    Reason& operator<<(Hex h) {
        for (int shift = 28; shift >= 0; shift -= 4) put(kDigits[h.value >> shift & 0xF]);
        return *this;
    }
    Reason& operator<<(Tag t) {
        for (int i = 0; i < 4; ++i) {
            const uint8_t c = t.bytes[i];
            if (c >= 0x20 && c < 0x7F) {
                put(static_cast<char>(c));
            } else {
                *this << "\\x";
                put(kDigits[c >> 4]);
                put(kDigits[c & 0xF]);
            }
        }
        return *this;
    }
    void clear() { length_ = 0; }
    const char* text() {
        text_[length_] = 0;
        return text_;
    }

private:
    static constexpr char kDigits[] = "0123456789abcdef";
    void put(char c) {
        if (length_ + 1 < sizeof text_) text_[length_++] = c;
    }
    char text_[192] = {};
    uint32_t length_ = 0;
};

Reason reason;

// Begins a new reason.
Reason& refuse() {
    reason.clear();
    return reason;
}

// A script as a reason names it.
Reason& script(Reason& r, uint64_t identity) {
    if (is_built_in(identity)) return r << "the built-in one";
    return r << "one of " << (identity >> 32) << " bytes with CRC-32 " << Hex{static_cast<uint32_t>(identity)};
}

// The header against this build; nullptr when the body may be looked at.
const char* check_header(const uint8_t* bytes, size_t size) {
    if (size < kHeaderSize)
        return (refuse() << "too short for a state: " << uint64_t{size} << " bytes, a header alone is "
                         << uint64_t{kHeaderSize})
            .text();
    if (!same_tag(bytes, kMagic)) return "not a Nyra 1 state (it does not begin with NYRA)";
    const uint32_t version = get32(bytes + 4 * kVersionWord);
    if (version != kVersion)
        return (refuse() << "a state of format version " << uint64_t{version}
                         << (version < kVersion ? ", from an older build" : ", from a newer build")
                         << "; this build reads version " << uint64_t{kVersion})
            .text();
    const uint32_t declared = get32(bytes + 4 * kBodySizeWord);
    if (declared != size - kHeaderSize)
        return (refuse() << "the header gives a body of " << uint64_t{declared} << " bytes, but "
                         << uint64_t{size - kHeaderSize} << " follow it: the state is cut or padded")
            .text();
    const uint32_t crc = Crc32::of(bytes + kHeaderSize, declared);
    if (crc != get32(bytes + 4 * kCrcWord))
        return (refuse() << "damaged: the body's CRC-32 is " << Hex{crc} << ", the header says "
                         << Hex{get32(bytes + 4 * kCrcWord)})
            .text();
    if (declared != body_size())
        return (refuse() << "a state of " << uint64_t{size} << " bytes; this build's states are "
                         << uint64_t{SavedState::size()})
            .text();
    const uint64_t saved = uint64_t{get32(bytes + 4 * kScriptSizeWord)} << 32 | get32(bytes + 4 * kScriptCrcWord);
    const uint64_t playing = running_script();
    if (saved != playing) {
        Reason& r = refuse() << "the state was saved under another script (";
        script(r, saved) << "); this show plays ";
        return script(r, playing).text();
    }
    return nullptr;
}

// After every section has passed its own check: why they cannot be one
// state together (nullptr: they can). The core's sections must agree with
// one another, then the display model's with where they say the show stands.
const char* check_together(const uint8_t* body) {
    constexpr uint32_t kMost = 16;
    const Sections all;
    if (all.count() > kMost) return "this build has more sections than it can check together";
    const uint8_t* bytes[kMost];
    const uint8_t* at = body;
    for (uint32_t i = 0; i < all.count(); ++i) {
        bytes[i] = at + 8;
        at += 8 + padded(all[i].block().size);
    }
    const StateSection* core = nullptr;
    const uint32_t model = Show::sections(core);
    Show::Standing standing;
    if (const char* why = Show::check_together(bytes, standing)) return why;
    const DisplayController::Expected expected = {standing.refreshes, standing.frames, standing.opened,
                                                  standing.turned_on, standing.ended, standing.may_complete};
    return DisplayController::check_state_at(bytes[model], expected);
}

// Every section of a sound body against this build: its tag, its size and
// its own check; then the sections together. This is the one place where a
// body is judged; nothing is loaded until it has passed.
const char* check_sections(const uint8_t* body) {
    const Sections all;
    const uint8_t* at = body;
    for (uint32_t i = 0; i < all.count(); ++i) {
        const StateSection& s = all[i];
        const uint32_t size = s.block().size;
        if (!same_tag(at, s.tag))
            return (refuse() << "section '" << Tag{at} << "' where this build has '"
                             << Tag{reinterpret_cast<const uint8_t*>(s.tag)} << "'")
                .text();
        if (get32(at + 4) != size)
            return (refuse() << "section '" << Tag{at} << "' is " << uint64_t{get32(at + 4)}
                             << " bytes; this build's is " << uint64_t{size})
                .text();
        if (s.check)
            if (const char* why = s.check(at + 8)) return why;
        at += 8 + padded(size);
    }
    return check_together(body);
}

} // namespace

size_t size() { return kHeaderSize + body_size(); }

uint64_t script_identity(const char* text, size_t size) {
    return uint64_t{static_cast<uint32_t>(size)} << 32 | Crc32::of(text, size);
}

void save(uint8_t* out) {
    Show::before_save();
    const Sections all;
    uint8_t* const body = out + kHeaderSize;
    uint8_t* at = body;
    for (uint32_t i = 0; i < all.count(); ++i) {
        const StateSection& s = all[i];
        const StateBlock b = s.block();
        __builtin_memcpy(at, s.tag, 4);
        put32(at + 4, b.size);
        __builtin_memcpy(at + 8, b.data, b.size);
        __builtin_memset(at + 8 + b.size, 0, padded(b.size) - b.size);
        at += 8 + padded(b.size);
    }
    const uint32_t body_bytes = static_cast<uint32_t>(at - body);
    __builtin_memcpy(out + 4 * kMagicWord, kMagic, 4);
    put32(out + 4 * kVersionWord, kVersion);
    put32(out + 4 * kBodySizeWord, body_bytes);
    put32(out + 4 * kCrcWord, Crc32::of(body, body_bytes));
    const uint64_t script = running_script();
    put32(out + 4 * kScriptSizeWord, static_cast<uint32_t>(script >> 32));
    put32(out + 4 * kScriptCrcWord, static_cast<uint32_t>(script));
}

const char* load(const uint8_t* bytes, size_t size) {
    if (const char* why = check_header(bytes, size)) return why;
    const uint8_t* const body = bytes + kHeaderSize;
    if (const char* why = check_sections(body)) return why;
    const Sections all;
    const uint8_t* at = body;
    for (uint32_t i = 0; i < all.count(); ++i) {
        const StateBlock b = all[i].block();
        __builtin_memcpy(b.data, at + 8, b.size);
        at += 8 + padded(b.size);
    }
    Show::after_load();
    return nullptr;
}

uint32_t section_count() { return Sections().count(); }

const StateSection& section(uint32_t i) { return Sections()[i]; }

void restart_show() {
    const Sections all;
    for (uint32_t i = 0; i < all.count(); ++i)
        if (all[i].reset) all[i].reset();
}

} // namespace SavedState
