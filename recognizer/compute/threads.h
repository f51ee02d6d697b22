// When the recognizer splits work across cores: a fork and join costs some
// microseconds, so small galleries and small images stay on one thread.
#pragma once

#include <cstdint>

// count independent items of work, multiplyAdds in total, are worth threads.
inline bool WorthThreads(int64_t count, int64_t multiplyAdds) {
    constexpr int64_t minimumWork = int64_t{1} << 18;  // about 100 us on one core
    return count >= 2 && multiplyAdds >= minimumWork;
}
