#pragma once
// What a dialog's rules ask the widgets to tell the user: a message text and its icon. Qt-free,
// so rules stay testable without widgets; the widgets show it through lv::ui::UiServices.
#include <string>

namespace lv::dialogs {

// The icon of a message box by its style (the widgets map it onto lv::ui::MsgIcon).
enum class NoticeIcon { None, Information, Warning, Error, Question };

struct Notice {
    std::string text;
    NoticeIcon icon = NoticeIcon::None;
};

// The refusal of a typed number that is not finite or lies beyond single precision.
inline constexpr const char* kNotFiniteMessage =
    "The value must be a finite number between -3.402823e+38 and 3.402823e+38.";

// Lists that the dialogs show sorted are ordered ignoring letter case (ASCII), ties by bytes.
bool lessIgnoringCase(const std::string& a, const std::string& b);

} // namespace lv::dialogs
