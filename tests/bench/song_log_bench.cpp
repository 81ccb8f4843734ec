// Saving a song into logs of 10,000 and 100,000 lines, beside a plain read and write of the
// same file (with and without the flush a save makes), in real files of a temporary folder.
//   build/native/tests/bench/cantivo_benchmarks --benchmark_filter=Log
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "base/posix_file_layer.h"
#include "songlog/song_log.h"

namespace cantivo {
namespace {

namespace fs = std::filesystem;

class LogFolder {
public:
    explicit LogFolder(int lines) : folder_(fs::temp_directory_path() / ("cantivo-bench-" + std::to_string(::getpid()))) {
        fs::create_directories(folder_);
        for (int i = 0; i < lines; ++i) {
            content_ += "\"12/09 21:" + std::to_string(10 + i % 50) + "\",\"\x96\xe9\x96\xbe\x82\xaf\x82\xcc\x83\x81 No." +
                        std::to_string(i) + "\",\"\x83\x4a\x83\x8d\x81\x45\x83\x49\x81\x5b\x83\x50\x83\x58\x83\x67\x83\x89\"\r\n";
        }
        Reset();
    }
    LogFolder(const LogFolder&) = delete;
    LogFolder& operator=(const LogFolder&) = delete;
    ~LogFolder() { fs::remove_all(folder_); }

    void Reset() { files.WriteAll(Path(), content_); }
    std::string Path() const { return (folder_ / "cantivolog.log").string(); }
    std::string CopyPath() const { return (folder_ / "copy.log").string(); }
    size_t Size() const { return content_.size(); }

    PosixFileLayer files;

private:
    fs::path folder_;
    std::string content_;
};

void BM_SaveCantivoLog(benchmark::State& state) {
    LogFolder log(static_cast<int>(state.range(0)));
    const NowPlayingRecord song{"22:00", "\x90\x56\x82\xb5\x82\xa2\x8b\xc8", "\x90\x56\x82\xb5\x82\xa2\x89\xcc\x8e\xe8"};
    for (auto _ : state) {
        SaveCantivoLog(log.files, log.Path(), song, {}, LocalNow());
        state.PauseTiming();
        log.Reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(log.Size()));
}

void PlainCopy(benchmark::State& state, bool flush) {
    LogFolder log(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::string bytes = log.files.ReadAll(log.Path());
        log.files.WriteAll(log.CopyPath(), bytes);
        if (flush) {
            int fd = ::open(log.CopyPath().c_str(), O_WRONLY);
            ::fsync(fd);
            ::close(fd);
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(log.Size()));
}

void BM_PlainLogReadWrite(benchmark::State& state) { PlainCopy(state, false); }
void BM_PlainLogReadWriteFlushed(benchmark::State& state) { PlainCopy(state, true); }

BENCHMARK(BM_SaveCantivoLog)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainLogReadWrite)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainLogReadWriteFlushed)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace cantivo
