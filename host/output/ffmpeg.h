// The ffmpeg program as a video encoder: found on PATH, asked for its
// encoders, started with raw frames piped to its standard input.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace Host {

// The full path of an executable found on PATH, or "" when there is none.
std::string find_on_path(const std::string& program);

// The descriptor under which ffmpeg gets the file it writes, when it is
// handed one (an OutputFile that has no name yet).
inline constexpr int kFfmpegOutput = 3;

// Whether `ffmpeg -encoders` lists the encoder.
bool ffmpeg_has_encoder(const std::string& ffmpeg, const std::string& encoder);

class FfmpegPipe {
public:
    FfmpegPipe() = default;
    ~FfmpegPipe();
    FfmpegPipe(const FfmpegPipe&) = delete;
    FfmpegPipe& operator=(const FfmpegPipe&) = delete;

    // Starts ffmpeg with the arguments (after the program name); its
    // standard input is the pipe, its messages are kept for errors. An
    // output descriptor, when given, is ffmpeg's descriptor kFfmpegOutput.
    bool start(const std::string& ffmpeg, const std::vector<std::string>& args, std::string& error,
               int output = -1);
    // All bytes or false (ffmpeg gone); never raises SIGPIPE.
    bool write(const uint8_t* data, size_t size);
    // Closes the pipe and waits for ffmpeg. True when it exited with 0;
    // otherwise error holds its last message line.
    bool finish(std::string& error);
    // Ends ffmpeg at once (on the way out after a failure).
    void abort();
    bool running() const { return pid_ > 0; }

private:
    std::string last_message() const;

    pid_t pid_ = -1;
    int input_ = -1;
    std::FILE* messages_ = nullptr;
};

} // namespace Host
