// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

class QObject;

namespace kelvo {

// Runs one mail call that may wait on a server or a program. Called on the user-interface
// thread of a running application with offThread true, the work runs on a worker thread while
// this thread keeps painting the window; user input waits, and a request to close a window
// is held and made again once the work has returned, so no user command runs in the middle
// of the call. Anywhere else the work simply runs here. The caller sees a synchronous call:
// the work's exception is raised again here.
void runMailCall(bool offThread, const std::function<void()>& work);

// Close requests (a QCloseEvent sent to the object) wait for the mail call under way, as a
// window's do: for a program without windows.
void closeAfterMailCalls(QObject& target);

// How long the thread of the mail calls is kept after the last call has returned before it
// ends (30 s); a later call starts it again.
void setMailCallRest(std::chrono::milliseconds rest);

template <typename Work> auto mailCall(bool offThread, Work&& work) {
    using Result = std::invoke_result_t<Work&>;
    if constexpr (std::is_void_v<Result>) {
        runMailCall(offThread, work);
    } else {
        std::optional<Result> result;
        runMailCall(offThread, [&] { result.emplace(work()); });
        return std::move(*result);
    }
}

} // namespace kelvo
