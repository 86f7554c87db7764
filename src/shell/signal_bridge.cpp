// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/signal_bridge.h"

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kelvo {
namespace {

constexpr std::array kSignals{SIGTERM, SIGINT, SIGHUP};
int pipeEnds[2] = {-1, -1};

// Async-signal-safe: one write, errno kept for the code the signal interrupted.
void onSignal(int number) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[0], &byte, 1);
    errno = saved;
}

void setHandler(void (*handler)(int), int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    for (const int number : kSignals)
        ::sigaction(number, &action, nullptr);
}

void closePair() {
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

} // namespace

void シグナル受付開始() {
    if (pipeEnds[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeEnds) != 0) {
        pipeEnds[0] = pipeEnds[1] = -1;
        return;
    }
    setHandler(onSignal, SA_RESTART);
    // Blocked by whoever started Kelvo, they would never reach it; one pending comes now.
    sigset_t caught;
    sigemptyset(&caught);
    for (const int number : kSignals)
        sigaddset(&caught, number);
    ::pthread_sigmask(SIG_UNBLOCK, &caught, nullptr);
}

void シグナル既定に戻す() {
    if (pipeEnds[0] < 0)
        return;
    setHandler(SIG_DFL, 0);
    unsigned char byte = 0;
    const bool caught = ::read(pipeEnds[1], &byte, 1) == 1;
    closePair();
    if (caught)
        ::raise(byte);
}

SignalBridge::SignalBridge(QObject* parent) : QObject(parent) {
    シグナル受付開始();
    if (pipeEnds[0] < 0)
        return;
    notifier = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] { readSignals(); });
}

SignalBridge::~SignalBridge() {
    if (notifier == nullptr)
        return;
    setHandler(SIG_DFL, 0);
    closePair();
}

bool SignalBridge::pending() const {
    unsigned char byte = 0;
    return notifier != nullptr && ::recv(pipeEnds[1], &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 1;
}

void SignalBridge::readSignals() {
    unsigned char byte = 0;
    while (::read(pipeEnds[1], &byte, 1) == 1)
        emit signalled(byte);
}

} // namespace kelvo
