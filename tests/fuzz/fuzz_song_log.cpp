// A save over any existing log: the file is either left exactly as it was (the song is
// logged) or holds the old lines, normalised, and then the record.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "base/line_list.h"
#include "base/posix_file_layer.h"
#include "songlog/song_log.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = [] {
        auto path = std::filesystem::temp_directory_path() / ("cantivo-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path.string();
    }();
    const std::string path = folder + "/cantivolog.log";
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The first bytes choose the song's texts, the rest is the old log.
    size_t mainSize = size > 0 ? data[0] % 8 : 0;
    size_t subSize = size > 1 ? data[1] % 8 : 0;
    std::string_view rest = bytes.substr(size < 2 ? size : 2);
    std::string main(rest.substr(0, mainSize));
    std::string sub(rest.substr(main.size(), subSize));
    std::string old(rest.substr(main.size() + sub.size()));
    if (main.find_first_of("\r\n") != std::string::npos || sub.find_first_of("\r\n") != std::string::npos) return 0;

    { std::ofstream(path, std::ios::binary | std::ios::trunc) << old; }
    cantivo::PosixFileLayer files;
    const cantivo::NowPlayingRecord song{"21:38", main, sub};
    const cantivo::LocalDateTime now{2026, 12, 9, 0, 0, 0, 0};
    cantivo::SaveCantivoLog(files, path, song, {}, now);

    cantivo::LineList lines;
    lines.SetText(old, cantivo::ZeroByte::IsText);
    std::string normalised = lines.GetText();
    std::string saved = ReadFile(path);
    std::string record = cantivo::MakeLogRecord(song, {}, now) + "\r\n";
    if (saved != old && saved != normalised + record) std::abort();
    // Saving the same song again never writes.
    cantivo::SaveCantivoLog(files, path, song, {}, now);
    if (ReadFile(path) != saved) std::abort();
    return 0;
}
