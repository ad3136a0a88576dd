#pragma once
// Showing a Notice: the one place where the dialogs' widgets turn what their rules refuse or
// report into a message box and a focused field.
#include <span>

#include "app/ui_services.h"
#include "dialogs/notice.h"

class QLineEdit;
class QWidget;

namespace lv::dialogs {

// The message-box icon of a notice.
ui::MsgIcon msgIcon(NoticeIcon icon);
// Shows notice's text on parent through ui with its icon and the OK button, then gives focus,
// with its text selected, to focus when that is not null.
void showNotice(ui::UiServices& ui, QWidget* parent, const Notice& notice,
                QWidget* focus = nullptr);
// The edit that notice.field numbers among fields; null when it numbers none of them.
QLineEdit* noticeField(const Notice& notice, std::span<QLineEdit* const> fields);

} // namespace lv::dialogs
