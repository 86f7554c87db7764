// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/core/mail_error.h"

namespace kelvo {

QString mailErrorText(int number) {
    switch (number) {
    case mailerr::LoginFailed:
        return QStringLiteral("サインオンが拒否されました");
    case mailerr::UnknownRecipient:
        return QStringLiteral("アドレス帳に名前が見つかりません");
    case mailerr::InvalidMessage:
        return QStringLiteral("メッセージがありません");
    case mailerr::InvalidSession:
        return QStringLiteral("セッションが無効です");
    case mailerr::SessionExists:
        return QStringLiteral("既にサインオンしています");
    case mailerr::ReadOnly:
        return QStringLiteral("受信したメッセージは変更できません");
    case mailerr::NoSession:
        return QStringLiteral("サインオンしていません");
    case mailerr::InvalidRecipient:
        return QStringLiteral("受信者がありません");
    case mailerr::NoRecipient:
        return QStringLiteral("宛先がありません");
    case mailerr::ConnectionRefused:
        return QStringLiteral("サーバーに接続できません（接続が拒否されました）");
    case mailerr::HostNotFound:
        return QStringLiteral("サーバーが見つかりません");
    case mailerr::TimedOut:
        return QStringLiteral("サーバーの応答がタイムアウトしました");
    case mailerr::CertificateNotTrusted:
        return QStringLiteral("サーバーの証明書を信頼できません");
    case mailerr::MailboxMissing:
        return QStringLiteral("メールボックスが見つかりません");
    case mailerr::ProfileMissing:
        return QStringLiteral("プロファイルが見つかりません");
    case mailerr::SendRefused:
        return QStringLiteral("メールの送信が拒否されました");
    case mailerr::ProfileInsecure:
        return QStringLiteral("プロファイルファイルを安全に使えません");
    case mailerr::MarksNotStored:
        return QStringLiteral("既読の印をメールボックスに保存できませんでした");
    case mailerr::NoAddressBook:
        return QStringLiteral("アドレス帳が設定されていません");
    case mailerr::ProfileInvalid:
        return QStringLiteral("プロファイルに誤りがあります");
    case mailerr::CommandFailed:
        return QStringLiteral("コマンドが失敗しました");
    case mailerr::SendDeferred:
        return QStringLiteral("サーバーが今はメールを受け付けません");
    case mailerr::ConnectionLost:
        return QStringLiteral("サーバーとの接続が切れました");
    case mailerr::SignInNeeded:
        return QStringLiteral("サインオンに使えるトークンかパスワードがありません"
                              "（「kelvo --sign-in」でサインインし直してください）");
    case mailerr::KeyringUnavailable:
        return QStringLiteral("キーリングを使えません（Secret Serviceが動いていないかロックされて"
                              "いるため、デスクトップにログインしてから「kelvo --sign-in」を"
                              "実行してください）");
    case mailerr::TokenFailed:
        return QStringLiteral("トークンを取得できませんでした");
    default:
        return QStringLiteral("メールシステムのエラーです");
    }
}

bool isOutage(int number) {
    switch (number) {
    case mailerr::LoginFailed:
    case mailerr::InvalidSession:
    case mailerr::NoSession:
    case mailerr::ConnectionRefused:
    case mailerr::HostNotFound:
    case mailerr::TimedOut:
    case mailerr::CertificateNotTrusted:
    case mailerr::MailboxMissing:
    case mailerr::ProfileMissing:
    case mailerr::ProfileInsecure:
    case mailerr::ProfileInvalid:
    case mailerr::CommandFailed:
    case mailerr::SendDeferred:
    case mailerr::ConnectionLost:
    case mailerr::SignInNeeded:
    case mailerr::KeyringUnavailable:
    case mailerr::TokenFailed:
        return true;
    default:
        return false;
    }
}

bool needsSignIn(int number) {
    return number == mailerr::SignInNeeded || number == mailerr::KeyringUnavailable;
}

KelvoError mailError(int number, const QString& detail) {
    QString text = mailErrorText(number);
    if (!detail.isEmpty())
        text += QStringLiteral("：") + detail;
    return KelvoError(number, text);
}

QString redacted(QString text, const QStringList& secrets) {
    for (const QString& s : secrets)
        if (!s.isEmpty())
            text.replace(s, QStringLiteral("****"));
    return text;
}

} // namespace kelvo
