// The message for an operation refused for lack of memory.
#include "kpca/refusal.h"

#include <cstdio>

std::string OutOfMemoryMessage(size_t bytes) {
    if (bytes == 0) return "内存不足，操作未执行";
    char text[128];
    std::snprintf(text, sizeof text, "内存不足：需要 %.1f MB 的矩阵，操作未执行",
                  static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}
