// Whole-number fields of the dialogs: what a typed text is worth against the field's range, and
// the one message every dialog gives when it does not fit.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// "Please enter an integer between %1 and %2."
std::string intRangeMessage(long long min, long long max);

// The typed text as a whole number from min to max (blanks around it and one leading sign
// allowed); nothing for an empty text, any other character, or a number out of range, however
// many digits it has.
std::optional<long long> intFieldValue(std::string_view text, long long min, long long max);
