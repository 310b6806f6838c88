#include "host/output/screenshot.h"

#include <cstdio>

#include "host/output/output_file.h"
#include "host/output/png_file.h"

namespace Host {

std::string screenshot_name(const std::tm& t, int n) {
    char name[80];
    const int length = std::snprintf(name, sizeof name, "nyra1-%04d%02d%02d-%02d%02d%02d", t.tm_year + 1900,
                                     t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    if (n > 0)
        std::snprintf(name + length, sizeof name - length, "-%d.png", n);
    else
        std::snprintf(name + length, sizeof name - length, ".png");
    return name;
}

std::string save_screenshot(const std::string& folder, const std::tm& local_time, int width,
                            int height, const uint8_t* rgb, std::string& error) {
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    // The picture is made once, then given the first free name.
    OutputFile file(prefix + screenshot_name(local_time, 0), OutputFile::Links::Replaced, OutputFile::Existing::Kept);
    if (!file.open(error) || !encode_png(file, PngImage::rgb(width, height, rgb), error)) return "";
    for (int n = 0; n < 10000; ++n) {
        const std::string path = prefix + screenshot_name(local_time, n);
        bool taken = false;
        if (file.commit_as_new(path, taken, error)) return path;
        if (!taken) return "";
    }
    error = "no free screenshot name left for this second";
    return "";
}

} // namespace Host
