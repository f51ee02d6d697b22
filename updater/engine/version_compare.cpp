// Version strings: one to three decimal pieces separated by dots; empty pieces
// are skipped and missing ones count as 0. Numbers compare as numbers.
#include <array>
#include <optional>

#include "engine/text_pieces.h"
#include "engine/update_engine.h"

namespace {

// Pieces saturate here: no real version comes near it, and a longer run of
// digits must not overflow.
constexpr long long pieceLimit = 1000000000000000000LL;

long long PieceValue(const std::string& digits) {
    long long value = 0;
    for (char c : digits) value = value >= pieceLimit / 10 ? pieceLimit : value * 10 + (c - '0');
    return value;
}

std::optional<std::array<long long, 3>> ParseVersion(const std::string& text) {
    std::array<long long, 3> parts{};
    size_t count = 0;
    for (const std::string& piece : NonEmptyPieces(text, '.')) {
        if (count == 3 || !UpdateEngine::IsDigits(piece)) return std::nullopt;
        parts[count++] = PieceValue(piece);
    }
    if (count == 0) return std::nullopt;
    return parts;
}

}  // namespace

bool UpdateEngine::IsDigits(const std::string& text) {
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

int UpdateEngine::CompareVersions(const std::string& a, const std::string& b) {
    const auto first = ParseVersion(a);
    if (!first) return -21;
    const auto second = ParseVersion(b);
    if (!second) return -22;
    for (size_t k = 0; k < 3; ++k) {
        if ((*first)[k] > (*second)[k]) return 1;
        if ((*first)[k] < (*second)[k]) return -1;
    }
    return 0;
}
