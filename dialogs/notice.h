#pragma once
// What a dialog's rules ask the widgets to tell the user: a message text, its icon and the field
// to focus. Qt-free, so rules stay testable without widgets; the widgets show it with showNotice
// (dialogs/show_notice.h).
#include <string>

namespace lv::dialogs {

// The icon of a message box by its style (the widgets map it onto lv::ui::MsgIcon).
enum class NoticeIcon { None, Information, Warning, Error, Question };

// A message box to show; field is the edit that then gets the focus with its text selected
// (numbered per dialog, as each rule says), -1 for none.
struct Notice {
    std::string text;
    NoticeIcon icon = NoticeIcon::None;
    int field = -1;
};

// The refusal of a typed number that is not finite or lies beyond single precision.
inline constexpr const char* kNotFiniteMessage =
    "The value must be a finite number between -3.402823e+38 and 3.402823e+38.";

// Lists that the dialogs show sorted are ordered ignoring letter case (ASCII), ties by bytes.
bool lessIgnoringCase(const std::string& a, const std::string& b);

} // namespace lv::dialogs
