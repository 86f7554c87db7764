// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/window_port.h"

#include <QString>
#include <QUrl>

class QWidget;

namespace kelvo {

// What the windows ask of the desktop: message boxes, the beep, opening a document in the
// user's browser. Tests answer message boxes through a recording double.
class UiPort {
public:
    virtual ~UiPort() = default;
    virtual MsgResult messageBox(QWidget* owner, const QString& text, MsgButtons buttons,
                                 const QString& title) = 0;
    virtual void beep() = 0;
    // Returns false when no program could open the address.
    virtual bool openUrl(const QUrl& url) = 0;
};

// The real desktop: message boxes without an icon, QApplication::beep, QDesktopServices.
class QtUiPort final : public UiPort {
public:
    MsgResult messageBox(QWidget* owner, const QString& text, MsgButtons buttons,
                         const QString& title) override;
    void beep() override;
    bool openUrl(const QUrl& url) override;
};

} // namespace kelvo
