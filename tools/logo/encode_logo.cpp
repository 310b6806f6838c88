// encode_logo: codes the logo picture as the run-length stream the show
// stores, or checks that a stored stream still matches the picture.
//
//   encode_logo picture.png stream.rle          write the stream
//   encode_logo --check picture.png stream.rle  exit 1 unless they match
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "logo_encoder.h"

namespace {

std::vector<uint8_t> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void print_report(const std::vector<uint8_t>& indices, const std::vector<uint8_t>& stream,
                  const LogoEncoder::Stats& s) {
    const auto counts = LogoEncoder::count_indices(indices);
    std::printf("index  grey  pixels\n");
    for (int i = 0; i < LogoEncoder::kColours; ++i)
        std::printf("%5d  %4d  %6d\n", i, LogoEncoder::kGreys[i], counts[i]);
    std::printf("stream: %zu bytes, %d packets\n", stream.size(),
                s.literal_packets + s.repeat_packets);
    std::printf("  literal packets: %d writing %d bytes\n", s.literal_packets, s.literal_bytes);
    std::printf("  repeat packets:  %d writing %d bytes\n", s.repeat_packets, s.repeat_bytes);
}

int usage() {
    std::cerr << "usage: encode_logo [--check] picture.png stream.rle\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    bool check = false;
    if (!args.empty() && args[0] == "--check") {
        check = true;
        args.erase(args.begin());
    }
    if (args.size() != 2) return usage();
    const std::string& picture_path = args[0];
    const std::string& stream_path = args[1];

    std::vector<uint8_t> indices;
    try {
        indices = LogoEncoder::to_indices(LogoEncoder::read_png(picture_path));
    } catch (const LogoEncoder::PictureError& e) {
        std::cerr << "encode_logo: " << picture_path << ": " << e.what() << "\n";
        return 1;
    }
    LogoEncoder::Stats stats;
    const std::vector<uint8_t> stream = LogoEncoder::encode(indices, &stats);

    if (check) {
        const std::vector<uint8_t> stored = read_file(stream_path);
        if (stored != stream) {
            std::cerr << "encode_logo: " << stream_path << " (" << stored.size()
                      << " bytes) does not match " << picture_path << " (" << stream.size()
                      << " bytes coded); rebuild it with the 'logo' target\n";
            return 1;
        }
        std::printf("%s matches %s (%zu bytes)\n", stream_path.c_str(), picture_path.c_str(),
                    stream.size());
        return 0;
    }

    std::ofstream out(stream_path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(stream.data()),
              static_cast<std::streamsize>(stream.size()));
    out.close();
    if (!out) {
        std::cerr << "encode_logo: cannot write " << stream_path << "\n";
        return 1;
    }
    print_report(indices, stream, stats);
    return 0;
}
