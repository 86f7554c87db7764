// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QList>
#include <atomic>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace kelvo::test {

// A server on 127.0.0.1 for one connection that says its greeting, answers each line the client
// sends with the next of its answers ("TAG" in one stands for the line's first word), and then
// says nothing until the client hangs up. Without greeting and answers it never says a word.
class ScriptedServer {
public:
    explicit ScriptedServer(QByteArray greeting = {}, QList<QByteArray> answers = {})
        : greeting(std::move(greeting)), answers(std::move(answers)) {
        listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof at;
        if (::bind(listener, reinterpret_cast<sockaddr*>(&at), length) != 0 ||
            ::listen(listener, 4) != 0 ||
            ::getsockname(listener, reinterpret_cast<sockaddr*>(&at), &length) != 0)
            ADD_FAILURE() << "no listening socket";
        port = ntohs(at.sin_port);
        worker = std::thread([this] { serve(); });
    }
    ~ScriptedServer() {
        ::shutdown(listener, SHUT_RDWR); // ends an accept still waiting
        worker.join();
        ::close(listener);
    }
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int port = 0;
    std::atomic<bool> accepted{false};
    std::atomic<bool> hungUp{false}; // the client closed the connection

private:
    void serve() {
        const int client = ::accept(listener, nullptr, nullptr);
        if (client < 0)
            return;
        accepted = true;
        send(client, greeting);
        QByteArray line;
        char c;
        for (qsizetype next = 0; ::read(client, &c, 1) == 1;) {
            line += c;
            if (c != '\n' || next >= answers.size())
                continue;
            QByteArray answer = answers[next++];
            send(client, answer.replace("TAG", line.left(line.indexOf(' '))));
            line.clear();
        }
        hungUp = true;
        ::close(client);
    }
    static void send(int client, const QByteArray& bytes) {
        if (!bytes.isEmpty() && ::write(client, bytes.constData(), size_t(bytes.size())) < 0)
            ADD_FAILURE() << "the client went away";
    }

    QByteArray greeting;
    QList<QByteArray> answers;
    int listener = -1;
    std::thread worker;
};

} // namespace kelvo::test
