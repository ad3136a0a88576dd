#pragma once
// How numbers read and show in dialogs and lists. Qt-free so that dialog rules can be tested
// without widgets and shared by every dialog.
#include <optional>
#include <string>
#include <string_view>

namespace lv::app {

// A real in an edit field: 7 significant digits in the shortest form, with ".0" added when the
// text has neither a decimal separator nor an exponent (10 -> "10.0", 1e-6 -> "1e-06"). Uses
// the decimal separator of the current C locale.
std::string formatFieldReal(double value);

// A value in a list or label: "%.3f" in the current C locale.
std::string formatListValue(double value);

// The run-time text-to-number conversion: leading blanks are skipped and the longest numeric
// prefix counts; text with no numeric prefix reads as 0. Both a period and the locale's decimal
// separator are accepted. May return inf or nan ("inf", "1e999"): callers that store a float
// refuse those with isStorableFloat.
double parseLooseReal(std::string_view text);

// The framework's exchange: the whole text (blanks around it allowed) must be one number, else
// nullopt. Period and locale separator both accepted.
std::optional<double> parseStrictReal(std::string_view text);

// Integers typed into fields (frame numbers, grid counts): the longest integer prefix, a
// non-number reads as 0; values beyond int saturate so that range checks refuse them.
long long parseLooseInt(std::string_view text);

// True when value is finite and within single precision, so that it can be stored in a float
// setting without becoming inf.
bool isStorableFloat(double value);

} // namespace lv::app
