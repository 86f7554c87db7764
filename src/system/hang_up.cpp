// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "system/hang_up.h"

#include "common/error_trap.h"

#include <array>
#include <functional>

namespace kelvo {

namespace {

// The shell folders and the dial-up program, appended to the Windows directory.
const QString kダイヤルアップフォルダ = QStringLiteral(
    "\\explorer.exe "
    "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\::{992CFFA0-F557-101A-88EC-00DD010CCC48}");
const QString kダイヤルアッププログラム = QStringLiteral("\\system32\\RASPHONE.EXE");
const QString kネットワーク接続フォルダ = QStringLiteral(
    "\\explorer.exe "
    "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\::{21EC2020-3AEA-1069-A2DD-08002B30309D}\\::{"
    "7007acc7-3202-11d1-aad2-00805fc1270e}");

// The folders are walked entry by entry, nine entries each.
constexpr int kグループ数 = 9;

struct Key {
    const char* keys;
    bool wait;
};
using KeyGroup = std::array<Key, 5>;

// Each step of the script is on its own: a failing one is skipped and the next one runs.
class Script {
public:
    Script(SystemControl& system, Waiter& waiter) : system(system), waiter(waiter) {}

    QString environment(const char* name) {
        QString value;
        エラー無視([&] { value = system.environment(QString::fromLatin1(name)); });
        return value;
    }
    bool start(const QString& commandLine, WindowState state) {
        bool started = false;
        エラー無視([&] { started = system.startDialUpWindow(commandLine, state); });
        return started;
    }
    void key(const Key& k) {
        エラー無視([&] { system.sendKeys(QString::fromLatin1(k.keys), k.wait); });
    }
    void pause(double seconds) {
        エラー無視([&] { waiter.wait(seconds); });
    }
    void hangUpConnection() {
        エラー無視([&] { system.hangUpDialUp(); });
    }

    // Opens a folder maximized, walks its entries group by group, and closes it through its
    // File menu. False when the folder did not open (then no key is sent).
    bool driveFolder(const QString& commandLine, const std::function<KeyGroup(int)>& group) {
        if (!start(commandLine, WindowState::MaximizedActive))
            return false;
        pause(1);
        for (int g = 1; g <= kグループ数; ++g)
            for (const Key& k : group(g))
                key(k);
        key({"%f", true});
        key({"c", true});
        return true;
    }

private:
    SystemControl& system;
    Waiter& waiter;
};

// Disconnects each dial-up entry through its context menu.
bool ダイヤルアップフォルダ操作(Script& script, const QString& windir) {
    return script.driveFolder(windir + kダイヤルアップフォルダ, [](int) {
        return KeyGroup{
            {{"{DOWN}", true}, {"{RIGHT}", true}, {"+{F10}", false}, {"i", true}, {"{ESC}", true}}};
    });
}

void ネットワーク接続フォルダ操作(Script& script, const QString& windir) {
    script.driveFolder(windir + kネットワーク接続フォルダ, [](int group) {
        return KeyGroup{{{"{DOWN}", true},
                         {"{RIGHT}", true},
                         {"+{F10}", group != 1},
                         {"u", true},
                         {"d", true}}};
    });
}

void ダイヤルアッププログラム操作(Script& script, const QString& windir) {
    // Keys only go out when the program started: otherwise they would land in whatever
    // window has the focus.
    if (!script.start(windir + kダイヤルアッププログラム, WindowState::NormalActive))
        return;
    for (const char* k : {"{TAB}", "i", "u", "u", "{ENTER}", "c"})
        script.key({k, true});
}

} // namespace

void 回線切断(int /*ダイヤルアップ*/, SystemControl& system, Waiter& waiter) {
    Script script(system, waiter);
    const QString windir = script.environment("windir");
    const bool nt = windir.toUpper().contains(QLatin1String("WINNT"));
    if (nt || !ダイヤルアップフォルダ操作(script, windir)) {
        if (script.environment("OS") == QLatin1String("Windows_NT"))
            ダイヤルアッププログラム操作(script, windir);
        else
            ネットワーク接続フォルダ操作(script, windir);
    }
    // Where no dial-up window exists, the line itself is taken down.
    script.hangUpConnection();
}

} // namespace kelvo
