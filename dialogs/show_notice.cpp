#include "dialogs/show_notice.h"

#include <QLineEdit>

namespace lv::dialogs {

ui::MsgIcon msgIcon(NoticeIcon icon) {
    switch (icon) {
    case NoticeIcon::Information: return ui::MsgIcon::Information;
    case NoticeIcon::Warning: return ui::MsgIcon::Warning;
    case NoticeIcon::Error: return ui::MsgIcon::Error;
    case NoticeIcon::Question: return ui::MsgIcon::Question;
    case NoticeIcon::None: break;
    }
    return ui::MsgIcon::None;
}

void showNotice(ui::UiServices& ui, QWidget* parent, const Notice& notice, QWidget* focus) {
    ui.message(parent, QString::fromStdString(notice.text), msgIcon(notice.icon));
    ui::focusAndSelect(focus);
}

QLineEdit* noticeField(const Notice& notice, std::span<QLineEdit* const> fields) {
    if (notice.field < 0 || notice.field >= static_cast<int>(fields.size())) return nullptr;
    return fields[static_cast<std::size_t>(notice.field)];
}

} // namespace lv::dialogs
