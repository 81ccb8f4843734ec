#include "base/local_clock.h"

#include <chrono>
#include <ctime>

namespace cantivo {

LocalDateTime LocalNow() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t wallSeconds = system_clock::to_time_t(now);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &wallSeconds);
#else
    localtime_r(&wallSeconds, &local);
#endif
    auto sinceEpoch = now.time_since_epoch();
    int ms = static_cast<int>(duration_cast<milliseconds>(sinceEpoch - duration_cast<seconds>(sinceEpoch)).count());
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, ms};
}

}  // namespace cantivo
