#include "host/viewer/packed_state.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/viewer/save_state.h"
#include "platform/display.h"
#include "show/show.h"

namespace Host {

namespace StatePacking {

// Packed: the number of bytes of runs, the runs, then the kept bytes of
// every kept run one after another. A run is a LEB128 number, its length
// in bytes times two, plus one for kept bytes (zero for zero bytes). The
// pieces are read eight bytes at a time: a zero run is made of whole zero
// words, and a piece's last few bytes are kept whatever they are.
namespace {

uint64_t word(const uint8_t* at) {
    uint64_t w;
    std::memcpy(&w, at, 8);
    return w;
}

void put_number(std::vector<uint8_t>& out, uint64_t n) {
    do {
        out.push_back(static_cast<uint8_t>((n & 0x7F) | (n > 0x7F ? 0x80 : 0)));
        n >>= 7;
    } while (n);
}

bool get_number(const uint8_t*& at, const uint8_t* end, uint64_t& n) {
    n = 0;
    for (int shift = 0; at < end && shift < 64; shift += 7) {
        const uint8_t b = *at++;
        n |= static_cast<uint64_t>(b & 0x7F) << shift;
        if (!(b & 0x80)) return true;
    }
    return false;
}

// The packing's working space, kept from one packing to the next: the runs
// and the kept bytes, which follow them once their length is known.
struct Packer {
    std::vector<uint8_t> runs;
    std::vector<uint8_t> kept;
    uint8_t* to = nullptr; // the next kept byte
    uint64_t run = 0;      // the length of the open run
    bool keeping = false;

    void start(size_t most) {
        if (kept.size() < most) kept.resize(most);
        runs.clear();
        to = kept.data();
        run = 0;
        keeping = false;
    }
    void close() {
        if (run) put_number(runs, run * 2 + (keeping ? 1 : 0));
        run = 0;
    }
    void begin_run(bool keep) {
        if (keeping != keep) close();
        keeping = keep;
    }
    // A piece's whole words: runs of zero words and runs of others.
    void words(const uint8_t* data, const uint8_t* ref, size_t count) {
        size_t i = 0;
        while (i < count) {
            const size_t first = i;
            if ((word(data + 8 * i) ^ (ref ? word(ref + 8 * i) : 0)) == 0) {
                while (i < count && (word(data + 8 * i) ^ (ref ? word(ref + 8 * i) : 0)) == 0) ++i;
                begin_run(false);
            } else if (ref) {
                for (uint64_t w; i < count && (w = word(data + 8 * i) ^ word(ref + 8 * i)) != 0; ++i, to += 8)
                    std::memcpy(to, &w, 8);
                begin_run(true);
            } else {
                while (i < count && word(data + 8 * i) != 0) ++i;
                std::memcpy(to, data + 8 * first, 8 * (i - first));
                to += 8 * (i - first);
                begin_run(true);
            }
            run += 8 * (i - first);
        }
    }
    void tail(const uint8_t* data, const uint8_t* ref, size_t count) {
        if (!count) return;
        begin_run(true);
        for (size_t k = 0; k < count; ++k) *to++ = data[k] ^ (ref ? ref[k] : 0);
        run += count;
    }
};

} // namespace

void pack(const std::vector<Piece>& pieces, std::vector<uint8_t>& out) {
    static Packer p;
    size_t total = 0;
    for (const Piece& piece : pieces) total += piece.size;
    p.start(total);
    for (const Piece& piece : pieces) {
        const size_t words = piece.size / 8;
        p.words(piece.data, piece.reference, words);
        p.tail(piece.data + 8 * words, piece.reference ? piece.reference + 8 * words : nullptr, piece.size % 8);
    }
    p.close();
    const size_t kept = static_cast<size_t>(p.to - p.kept.data());
    out.reserve(out.size() + 10 + p.runs.size() + kept);
    put_number(out, p.runs.size());
    out.insert(out.end(), p.runs.begin(), p.runs.end());
    out.insert(out.end(), p.kept.begin(), p.kept.begin() + static_cast<std::ptrdiff_t>(kept));
}

bool unpack(const uint8_t* packed, size_t size, const std::vector<Piece>& pieces) {
    const uint8_t* const end = packed + size;
    const uint8_t* at = packed;
    uint64_t runs_size;
    if (!get_number(at, end, runs_size) || runs_size > static_cast<uint64_t>(end - at)) return false;
    const uint8_t* const runs_end = at + runs_size;
    const uint8_t* kept = runs_end;
    size_t piece = 0, into = 0; // where the next byte goes
    while (at < runs_end) {
        uint64_t run;
        if (!get_number(at, runs_end, run) || run < 2) return false;
        const bool keeping = run & 1;
        uint64_t left = run >> 1;
        if (keeping && left > static_cast<uint64_t>(end - kept)) return false;
        while (left > 0) {
            if (piece == pieces.size()) return false;
            const Piece& p = pieces[piece];
            const size_t n = static_cast<size_t>(std::min<uint64_t>(left, p.size - into));
            uint8_t* to = p.data + into;
            const uint8_t* ref = p.reference ? p.reference + into : nullptr;
            if (!keeping) {
                if (ref) std::memcpy(to, ref, n);
                else std::memset(to, 0, n);
            } else if (ref) {
                for (size_t k = 0; k < n; ++k) to[k] = kept[k] ^ ref[k];
                kept += n;
            } else {
                std::memcpy(to, kept, n);
                kept += n;
            }
            left -= n;
            into += n;
            if (into == p.size) {
                ++piece;
                into = 0;
            }
        }
    }
    while (piece < pieces.size() && pieces[piece].size == 0) ++piece;
    return piece == pieces.size() && into == 0 && kept == end;
}

} // namespace StatePacking

namespace {

// The state's sections as pieces: every section whole, but for the frame
// buffers, whose rows are taken against the canvas rows copied into them.
std::vector<StatePacking::Piece> state_pieces() {
    std::vector<StatePacking::Piece> pieces;
    const uint8_t* canvas = nullptr;
    for (const StateSection& s : state_sections()) {
        const StateBlock b = s.block();
        uint8_t* data = static_cast<uint8_t*>(b.data);
        if (std::memcmp(s.tag, "canv", 4) == 0 && b.size == Display::kCanvasSize) canvas = data;
        if (std::memcmp(s.tag, "vram", 4) == 0 && canvas && b.size == 2 * Display::kFrameBufferSize) {
            for (uint32_t row = 0; row < 2 * Display::kHeight; ++row)
                pieces.push_back({data + row * Display::kWidth, canvas + row % Display::kHeight * Display::kCanvasPitch,
                                  Display::kWidth});
        } else {
            pieces.push_back({data, nullptr, b.size});
        }
    }
    return pieces;
}

const std::vector<StatePacking::Piece>& pieces() {
    static const std::vector<StatePacking::Piece> list = state_pieces();
    return list;
}

} // namespace

PackedState PackedState::take() {
    Show::before_save();
    PackedState s;
    StatePacking::pack(pieces(), s.bytes_);
    return s;
}

// The bytes go straight back into the sections, with none of the checks
// load_state makes. Those are for bytes from elsewhere: a file, another
// build, a user. These were read out of this process's own show by take()
// and have never left its memory, so they are a state the show was in, and
// checking them again (the CRC of 281 KB, every section's ranges) would
// cost every seek time and prove nothing new.
void PackedState::restore() const {
    if (!StatePacking::unpack(bytes_.data(), bytes_.size(), pieces())) {
        std::fprintf(stderr, "nyra1: a packed state of this process did not unpack\n");
        std::abort();
    }
    Show::after_load();
}

} // namespace Host
