// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/sign_in_command.h"

#include "common/error.h"
#include "mail/auth/sign_in.h"
#include "mail/core/profiles.h"
#include "mail/profile_backend.h"
#include "shell/password_dialog.h"

#include <cstdio>

namespace kelvo {

namespace {

void 出力(std::FILE* to, const QString& text) {
    std::fputs((text + u'\n').toUtf8().constData(), to);
    std::fflush(to);
}

QString 名前(const MailProfile& p) {
    return p.name.isEmpty() ? QStringLiteral("（既定）") : p.name;
}

} // namespace

SignInSeams 端末のサインイン手段() {
    SignInSeams seams;
    seams.openBrowser = [](const QUrl& url) {
        出力(stdout, QStringLiteral("ブラウザーでサインインしてください：\n") +
                         QString::fromLatin1(url.toEncoded()));
        try {
            SignInSeams::defaultOpenBrowser(url);
        } catch (const KelvoError&) {
            // The address above still works in a browser of this computer.
            出力(stdout, QStringLiteral("ブラウザーを開けませんでした。上のアドレスをこの"
                                        "コンピューターのブラウザーで開いてください。"));
        }
    };
    seams.askPassword = [](const QString& name) { return askPassword(name); };
    return seams;
}

std::optional<QString> サインイン指定(const QStringList& arguments) {
    const qsizetype at = arguments.indexOf(QStringLiteral("--sign-in"));
    if (at < 0)
        return std::nullopt;
    const QString next = arguments.value(at + 1);
    return next.startsWith(u'-') ? QString() : next;
}

int サインインコマンド(const QString& profilesPath, const QString& profileName,
                       const SignInSeams& seams) {
    try {
        const MailProfile p = selectProfile(profilesPath, profileName);
        // A profile combining others signs in each of its accounts that needs it.
        signInAccounts(p, seams, [](const MailProfile& account, AccountSignIn done) {
            static const char16_t* const texts[] = {
                u"」のサインオン情報をキーリングに保存しました。",
                u"」はキーリングに何も保存しません。", u"」はサインイン済みです。"};
            出力(stdout, QStringLiteral("プロファイル「") + 名前(account) +
                             QString::fromUtf16(texts[static_cast<int>(done)]));
        });
        // The download command is the pass's business, not the check's.
        const auto session = ProfileBackend(profilesPath).signOn(p.name, false);
        const std::vector<StoreDown> down = session->storesDown();
        session->close();
        for (const StoreDown& d : down)
            出力(stderr, d.error.description());
        if (!down.empty())
            return 1;
        出力(stdout, QStringLiteral("プロファイル「") + 名前(p) +
                         QStringLiteral("」でサーバーにサインオンできました。"));
        return 0;
    } catch (const KelvoError& e) {
        出力(stderr, e.description());
    } catch (const std::exception& e) {
        出力(stderr, QString::fromLocal8Bit(e.what()));
    }
    return 1;
}

} // namespace kelvo
