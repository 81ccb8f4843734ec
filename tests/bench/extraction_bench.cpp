// The on-air page scan beside a plain memchr line count over the same bytes.
//   build/native/tests/bench/cantivo_benchmarks --benchmark_filter=Page
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "onair/on_air_page.h"

namespace cantivo {
namespace {

// An HTML page of about size bytes, CR LF line ends, with the on-air lines near its end as the
// station's page has its navigation and schedule first.
std::string MakePage(size_t size) {
    std::string page;
    int row = 0;
    while (page.size() < size * 9 / 10) {
        page += "    <tr><td class=\"prog\">" + std::to_string(row) +
                "</td><td><a href=\"/PC/FM/KALO-FM/program.asp?id=" + std::to_string(row * 7) +
                "\">\x94\xd4\x91\x67\x96\xbc</a></td></tr>\r\n";
        ++row;
    }
    page += "      <span class=\"xxs2\">21:38</span><br>\r\n";
    page += "<span class=\"xxs3\">\x96\xe9\x96\xbe\x82\xaf\x82\xcc\x83\x81\x83\x8d\x83\x66\x83\x42</span> \r\n";
    page += "\x83\x4a\x83\x8d\x81\x45\x83\x49\x81\x5b\x83\x50\x83\x58\x83\x67\x83\x89</span><br></td>    \r\n";
    while (page.size() < size) page += "    <tr><td>&nbsp;</td></tr>\r\n";
    return page;
}

void BM_ScanOnAirPage(benchmark::State& state) {
    std::string page = MakePage(static_cast<size_t>(state.range(0)));
    NowPlayingRecord previous;
    LocaleTexts locale;
    for (auto _ : state) {
        OnAirScan scan = ScanOnAirPage(page, previous, locale);
        benchmark::DoNotOptimize(scan);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

void BM_MemchrLineCount(benchmark::State& state) {
    std::string page = MakePage(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        size_t lines = 0;
        const char* at = page.data();
        const char* end = page.data() + page.size();
        while (const void* lf = std::memchr(at, '\n', static_cast<size_t>(end - at))) {
            ++lines;
            at = static_cast<const char*>(lf) + 1;
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

BENCHMARK(BM_ScanOnAirPage)->Arg(64 << 10)->Arg(1 << 20);
BENCHMARK(BM_MemchrLineCount)->Arg(64 << 10)->Arg(1 << 20);

}  // namespace
}  // namespace cantivo
