#include "common/ui_port.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>

namespace kelvo {

MsgResult QtUiPort::messageBox(QWidget* owner, const QString& text, MsgButtons buttons,
                               const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, text,
                    buttons == MsgButtons::YesNo ? (QMessageBox::Yes | QMessageBox::No)
                                                 : QMessageBox::Ok,
                    owner);
    const int pressed = box.exec();
    if (buttons == MsgButtons::Ok)
        return MsgResult::Ok;
    return pressed == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
}

void QtUiPort::beep() { QApplication::beep(); }

bool QtUiPort::openUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

} // namespace kelvo
