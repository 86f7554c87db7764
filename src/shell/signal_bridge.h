#pragma once

#include <QObject>

class QSocketNotifier;

namespace kelvo {

// Takes SIGTERM, SIGINT and SIGHUP into the event loop. The handler only writes the signal's
// number into a socket pair; a notifier on the other end reports it on the user-interface
// thread, where it is safe to act on it. One bridge per process.
class SignalBridge final : public QObject {
    Q_OBJECT
public:
    explicit SignalBridge(QObject* parent = nullptr);
    ~SignalBridge() override;
    SignalBridge(const SignalBridge&) = delete;
    SignalBridge& operator=(const SignalBridge&) = delete;

signals:
    void signalled(int number);

private:
    void readSignals();
    QSocketNotifier* notifier = nullptr;
};

} // namespace kelvo
