#include "model/int_field.h"

std::string intRangeMessage(long long min, long long max) {
    return "Please enter an integer between " + std::to_string(min) + " and " +
           std::to_string(max) + ".";
}

std::optional<long long> intFieldValue(std::string_view text, long long min, long long max) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    // Past the range the digits still count, so that 70000 is refused, not read as 7000; the
    // magnitude stops growing once it is beyond every bound.
    constexpr long long kBeyond = 100'000'000'000'000'000LL;
    long long magnitude = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        if (magnitude < kBeyond) magnitude = magnitude * 10 + (c - '0');
    }
    const long long v = negative ? -magnitude : magnitude;
    if (v < min || v > max) return std::nullopt;
    return v;
}
