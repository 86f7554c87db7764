// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace kelvo {

// What the arguments ask of a terminal before any window exists.
struct TerminalRequest {
    enum Kind { None, Help, Version, Unknown, ServiceWithoutStart };
    Kind kind = None;
    QString argument; // the unknown option as given
};

// Reads the arguments after the program name in order: "--help" and "--version" answer at
// once, any other argument beginning with "--" is unknown. "--sign-in" and the profile after
// it are the sign-in command's; "--service" runs Kelvo without windows, which only makes sense
// with "/S" as the last argument; every other argument belongs to the window's command line.
TerminalRequest 端末要求(const QStringList& arguments);

// The arguments after the program name, as the terminal gave them.
QStringList 引数一覧(int argc, char** argv);

// "--service" is given (and no "--sign-in", which comes first): Kelvo runs without widgets.
bool サービス指定(const QStringList& arguments);

// The user's language is Japanese: the first of LC_ALL, LC_MESSAGES and LANG that is set
// begins with "ja".
bool 日本語ロケール();

// "--help" and "--version" on standard output (exit status 0), an unknown option and the
// usage on standard error (2), in the user's language. Nothing when the program goes on:
// nothing is started, locked or written before the answer.
std::optional<int> 端末オプション応答(int argc, char** argv);

} // namespace kelvo
