// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <csignal>
#include <sys/resource.h>

namespace kelvo::test {

// A disk that fills up, for as long as the object lives: no regular file of this process can
// grow beyond the given size (RLIMIT_FSIZE). A write that crosses the size writes what fits
// and the next one fails, as on a full disk (with EFBIG instead of ENOSPC). Pipes, terminals
// and devices are not affected; the test's output goes on.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old);
        // The signal would end the process; ignored, the write fails instead.
        oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { lift(); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // Space again: files may grow as before.
    void lift() {
        if (lifted)
            return;
        lifted = true;
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    }

private:
    rlimit old{};
    void (*oldHandler)(int) = SIG_DFL;
    bool lifted = false;
};

} // namespace kelvo::test
