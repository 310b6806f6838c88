// libFuzzer target for RunLengthImage::decode_rle: any stream bytes, any
// length, any destination size.
//
// Input: 2 bytes destination size (little-endian, & 0x3FFF), 1 byte kind,
// then the stream. Kind & 3: 0 and 1 pass the stream with its exact length;
// 2 passes a null stream; 3 passes a length of 0 or below (from the first
// four stream bytes) with a pointer to an empty allocation.
//
// The stream is copied into a heap block of exactly `length` bytes and the
// destination is a heap block of exactly the destination size, so a read past
// the given length or a write past the destination is reported by the address
// sanitizer. The output is also compared with a plain model of the decoder's
// documented handling: a packet reaching past the length stops decoding
// before it, output beyond the destination is dropped, a wrong header, a null
// stream or a length below 1 writes nothing.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "data/run_length_image.h"

namespace {

void model_decode(uint8_t* dst, uint32_t dst_size, const uint8_t* s, int32_t length) {
    if (s == nullptr || length < 1 || (s[0] >> 4) != 1) return;
    const uint32_t unit = (s[0] & 0x0Fu) + 1;
    const uint64_t end = static_cast<uint64_t>(length);
    uint64_t pos = 1;
    uint64_t out = 0;
    while (pos < end && out < dst_size) {
        const uint32_t ctl = s[pos];
        const uint32_t count = ctl & 0x7Fu;
        if (ctl & 0x80u) {
            const uint64_t k = uint64_t{count} * unit;
            if (pos + 1 + k > end) return;
            for (uint64_t i = 0; i < k && out < dst_size; ++i) dst[out++] = s[pos + 1 + i];
            pos += 1 + k;
        } else {
            if (pos + 1 + unit > end) return;
            for (uint32_t c = 0; c < ctl; ++c)
                for (uint32_t i = 0; i < unit && out < dst_size; ++i) dst[out++] = s[pos + 1 + i];
            pos += 1 + unit;
        }
    }
}

[[noreturn]] void fail(const char* what, uint32_t dst_size, int32_t length, size_t at) {
    std::fprintf(stderr, "fuzz_rle: %s (destination %u bytes, length %d, byte %zu)\n", what, dst_size,
                 length, at);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const uint32_t dst_size = (data[0] | uint32_t{data[1]} << 8) & 0x3FFFu;
    const uint32_t kind = data[2] & 3u;
    const uint8_t* body = data + 3;
    const size_t body_size = size - 3;
    if (body_size > 0x7FFFFFFF) return 0;

    std::unique_ptr<uint8_t[]> stream;
    const uint8_t* stream_ptr = nullptr;
    int32_t length = 0;
    if (kind <= 1) {
        length = static_cast<int32_t>(body_size);
        stream.reset(new uint8_t[body_size]);
        if (body_size) std::memcpy(stream.get(), body, body_size);
        stream_ptr = stream.get();
    } else if (kind == 2) {
        length = static_cast<int32_t>(body_size);
    } else {
        uint32_t raw = 0;
        for (size_t i = 0; i < 4 && i < body_size; ++i) raw |= uint32_t{body[i]} << (8 * i);
        // 0 down to -(2^31 - 1), and the lowest int32 for all-ones.
        length = raw == 0xFFFFFFFFu ? INT32_MIN : -static_cast<int32_t>(raw & 0x7FFFFFFFu);
        stream.reset(new uint8_t[0]);
        stream_ptr = stream.get();
    }

    // Fill the destination with a pattern so that stray or missing writes show.
    std::unique_ptr<uint8_t[]> dst(new uint8_t[dst_size]);
    std::vector<uint8_t> expected(dst_size);
    for (uint32_t i = 0; i < dst_size; ++i) dst[i] = expected[i] = static_cast<uint8_t>(0xA5 ^ (i * 7));

    RunLengthImage::decode_rle(dst.get(), dst_size, stream_ptr, length);
    model_decode(expected.data(), dst_size, stream_ptr, length);

    for (uint32_t i = 0; i < dst_size; ++i) {
        if (dst[i] != expected[i]) fail("output differs from the model", dst_size, length, i);
    }
    return 0;
}
