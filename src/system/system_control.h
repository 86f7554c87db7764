// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace kelvo {

// How the first window of a started program opens; the numbers are the Windows show states.
enum class WindowState { NormalActive = 1, MinimizedActive = 2, MaximizedActive = 3 };

// The two shutdown requests: shut the system down, and shut it down and switch the power off.
enum class ShutdownRequest { ShutDown = 1, PowerOff = 8 };

// What enabling the right to shut down came to.
enum class PrivilegeResult { Enabled, NoProcessToken, NotEnabled };

struct StartResult {
    bool started = false;
    QString reason; // why the program did not start
};

// What asking for the remembered dial-up line found.
enum class RedialStatus {
    NothingRemembered, // no line was hung up by us, so there is nothing to bring back
    AlreadyUp,         // the remembered line is connected again
    Started,           // connecting has begun; ask redialState() until it settles
    Failed,            // connecting could not begin; see reason
};

struct RedialStart {
    RedialStatus status = RedialStatus::NothingRemembered;
    QString name;   // the connection's name as the user knows it
    QString reason; // why connecting could not begin
};

enum class LineState { Up, Connecting, Down };

// Everything Kelvo asks of the operating system to end a run or hang up a line. The real
// layer talks to the desktop's services; tests use a recording double. None of these
// operations reports to the monitor: the callers decide what the user sees.
class SystemControl {
public:
    virtual ~SystemControl() = default;

    // The value of an environment variable; empty when it is not set.
    virtual QString environment(const QString& name) = 0;

    // Starts the user's configured command line (program path, then arguments) and returns
    // without waiting for it.
    virtual StartResult startProgram(const QString& commandLine, WindowState state) = 0;
    // Starts one of the system's own dial-up windows from its command line; false when it
    // could not be started.
    virtual bool startDialUpWindow(const QString& commandLine, WindowState state) = 0;
    // Sends keystrokes ("{DOWN}", "+{F10}", "%f", "i", ...) to the window that has the focus;
    // with wait, returns once they have been processed. False when nothing was sent.
    virtual bool sendKeys(const QString& keys, bool wait) = 0;

    virtual PrivilegeResult enableShutdownPrivilege() = 0;
    // Asks the system to shut down without asking the user; true when the request was taken.
    virtual bool requestShutdown(ShutdownRequest request) = 0;

    // Takes down the active dial-up connection and remembers it for redialling; false when
    // none was active or it could not be taken down.
    virtual bool hangUpDialUp() = 0;
    // Begins bringing the remembered connection up again.
    virtual RedialStart startRedial() = 0;
    // How the connection begun by startRedial() is doing; once Up, it is no longer remembered.
    virtual LineState redialState() = 0;
};

} // namespace kelvo
