// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/program_options.h"

#include <cstdio>

namespace kelvo {
namespace {

const QString kSignIn = QStringLiteral("--sign-in");
const QString kService = QStringLiteral("--service");

QString 使い方(bool japanese) {
    if (japanese)
        return QStringLiteral("使い方：\n"
                              "  kelvo [/S]\n"
                              "  kelvo --service /S\n"
                              "  kelvo --sign-in [プロファイル]\n"
                              "  kelvo --help | --version\n");
    return QStringLiteral("Usage:\n"
                          "  kelvo [/S]\n"
                          "  kelvo --service /S\n"
                          "  kelvo --sign-in [PROFILE]\n"
                          "  kelvo --help | --version\n");
}

QString 説明(bool japanese) {
    if (japanese)
        return QStringLiteral(
            "受信トレイの新着メールを携帯電話へ自動で転送します。設定はメニューから行います。\n"
            "\n"
            "  /S\n"
            "      起動してすぐに自動転送を開始します（最後の引数のときだけ、大文字でも小文字でも\n"
            "      かまいません）。\n"
            "  --service\n"
            "      ウィンドウを出さずに動きます（systemdのユーザーサービスkelvo.serviceの起動\n"
            "      方法）。モニターは標準エラー（ジャーナル）に出し、メッセージボックスはOKと\n"
            "      答えたものとします。最後の引数に/Sが必要です。\n"
            "  --sign-in [プロファイル]\n"
            "      profiles.iniのプロファイル（省略すると既定のプロファイル）にブラウザーか\n"
            "      パスワードの入力でサインインし、キーリングに保存して、サーバーへの\n"
            "      サインオンを確かめます。\n"
            "  --help\n"
            "      この説明を表示します。\n"
            "  --version\n"
            "      バージョンを表示します。\n"
            "\n"
            "設定ファイルは~/.config/kelvo（インストールしていないときはプログラムと同じ\n"
            "フォルダー）にあります。詳しくは「man kelvo」とヘルプをご覧ください。\n");
    return QStringLiteral(
        "Forwards new mail from your Inbox to your mobile phone. Set it up from its menus.\n"
        "\n"
        "  /S\n"
        "      start forwarding at once (only as the last argument, in either case)\n"
        "  --service\n"
        "      run without windows, as the systemd user service kelvo.service does: the monitor\n"
        "      goes to standard error (the journal), and message boxes count as answered with\n"
        "      OK; /S must come last\n"
        "  --sign-in [PROFILE]\n"
        "      sign PROFILE of profiles.ini (by default the default profile) in through the\n"
        "      browser or the password dialog, keep what it gives in the desktop keyring and\n"
        "      check it with one sign-on to the servers\n"
        "  --help\n"
        "      show this help\n"
        "  --version\n"
        "      show the version\n"
        "\n"
        "The settings are in ~/.config/kelvo (beside the program when it is not installed).\n"
        "See \"man kelvo\" and the help in the menu for more.\n");
}

QString バージョン表記(bool japanese) {
    // The notice printed, not this file's own: licence tools look past it.
    // REUSE-IgnoreStart
    const QString head = QStringLiteral("Kelvo " KELVO_VERSION "\n"
                                        "Copyright (C) 2026 The Kelvo developers\n");
    // REUSE-IgnoreEnd
    if (japanese)
        return head + QStringLiteral("ライセンス：GPL-3.0-or-later（GNU GPLバージョン3以降）"
                                     "<https://www.gnu.org/licenses/gpl.html>\n"
                                     "これはフリーソフトウェアです。変更して再配布できます。\n"
                                     "法律で認められる範囲で、一切の保証はありません。\n");
    return head + QStringLiteral("License GPL-3.0-or-later: GNU GPL version 3 or later "
                                 "<https://www.gnu.org/licenses/gpl.html>\n"
                                 "This is free software: you are free to change and "
                                 "redistribute it.\n"
                                 "There is NO WARRANTY, to the extent permitted by law.\n");
}

void 書く(std::FILE* to, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), to);
    std::fflush(to);
}

} // namespace

TerminalRequest 端末要求(const QStringList& arguments) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (a == QLatin1String("--help"))
            return {TerminalRequest::Help, a};
        if (a == QLatin1String("--version"))
            return {TerminalRequest::Version, a};
        if (a == kSignIn) {
            if (!arguments.value(i + 1).startsWith(u'-'))
                ++i;
            continue;
        }
        if (a == kService)
            continue;
        if (a.startsWith(QLatin1String("--")))
            return {TerminalRequest::Unknown, a};
    }
    // Nobody could start forwarding in a Kelvo without windows.
    if (サービス指定(arguments) && arguments.last().toUpper() != QLatin1String("/S"))
        return {TerminalRequest::ServiceWithoutStart, kService};
    return {};
}

bool サービス指定(const QStringList& arguments) {
    return arguments.contains(kService) && !arguments.contains(kSignIn);
}

bool 日本語ロケール() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QByteArray value = qgetenv(name);
        if (!value.isEmpty())
            return value.startsWith("ja");
    }
    return false;
}

QStringList 引数一覧(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

std::optional<int> 端末オプション応答(int argc, char** argv) {
    const TerminalRequest request = 端末要求(引数一覧(argc, argv));
    const bool ja = 日本語ロケール();
    switch (request.kind) {
    case TerminalRequest::None:
        return std::nullopt;
    case TerminalRequest::Help:
        書く(stdout, 使い方(ja) + u'\n' + 説明(ja));
        return 0;
    case TerminalRequest::Version:
        書く(stdout, バージョン表記(ja));
        return 0;
    case TerminalRequest::Unknown:
        書く(stderr, (ja ? QStringLiteral("kelvo：不明なオプション「%1」\n")
                         : QStringLiteral("kelvo: unknown option %1\n"))
                             .arg(request.argument) +
                         使い方(ja));
        return 2;
    case TerminalRequest::ServiceWithoutStart:
        書く(stderr, (ja ? QStringLiteral("kelvo：--serviceには最後の引数に/Sが必要です\n")
                         : QStringLiteral("kelvo: --service needs /S as the last argument\n")) +
                         使い方(ja));
        return 2;
    }
    return std::nullopt;
}

} // namespace kelvo
