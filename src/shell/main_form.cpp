// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/main_form.h"

#include "common/error_trap.h"
#include "common/paths.h"
#include "shell/log_file.h"
#include "shell/monitor.h"
#include "shell/monitor_view.h"
#include "shell/toolbar_icons.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <QWindow>
#include <utility>

namespace kelvo {
namespace {

void call(const std::function<void()>& hook) {
    if (hook)
        hook();
}

// Keeps a button without a tip from showing one: a tool button falls back to its action's
// text when the action has no tip of its own.
class NoToolTip : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::ToolTip; }
};

} // namespace

MainForm::MainForm(AppContext& context, QWidget* parent)
    : QMainWindow(parent), hooks(shell.hooks), ctx(context), shell(context, *this) {
    shell.モード表示 = [this](int state) { モード表示(state); };
    // As a close request of the window, which a mail call holds until it has returned.
    shell.閉じる要求 = [this] {
        QWindow* handle = windowHandle();
        if (handle)
            QCoreApplication::postEvent(handle, new QCloseEvent);
        return handle != nullptr;
    };
    setWindowTitle(kAppTitle);
    // No menu on the toolbar or the menu bar: nothing offers to hide the toolbar.
    setContextMenuPolicy(Qt::NoContextMenu);
    部品作成();
}

MainForm::~MainForm() = default;

void MainForm::部品作成() {
    imlToolbarIcons = toolbarImages();
    メニュー作成();
    ツールバー作成();
    ステイタスバー作成();

    モニターモデル = new MonitorModel(this);
    モニター = new MonitorView(this);
    モニター->setObjectName(QStringLiteral("モニター"));
    QFont font;
    font.setFamilies({QStringLiteral("MS UI Gothic"), QStringLiteral("Noto Sans CJK JP"),
                      QStringLiteral("Noto Sans JP")});
    font.setPointSize(10);
    モニター->setFont(font);
    モニター->setModel(モニターモデル);
    setCentralWidget(モニター);
    // 640 x 420 at 96 DPI, larger with a larger font DPI: the status panels, sized in
    // twips, must fit.
    resize(640 * logicalDpiX() / 96, 420 * logicalDpiY() / 96);
}

void MainForm::メニュー作成() {
    auto item = [this](QMenu* menu, const char* name, const QString& caption,
                       void (MainForm::*handler)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromUtf8(name));
        connect(action, &QAction::triggered, this, [this, handler] {
            // No error may escape a menu command.
            エラー無視([&] { (this->*handler)(); });
        });
        return action;
    };
    mnu接続 = menuBar()->addMenu(QStringLiteral("接続(&C)"));
    mnu接続->setObjectName(QStringLiteral("mnu接続"));
    mnu開始 = item(mnu接続, "mnu開始", QStringLiteral("自動転送開始(&B)"), &MainForm::mnu開始_Click);
    mnu停止 = item(mnu接続, "mnu停止", QStringLiteral("停止(&S)"), &MainForm::mnu停止_Click);
    mnu終了 = item(mnu接続, "mnu終了", QStringLiteral("終了(&X)"), &MainForm::mnu終了_Click);

    mnu設定 = menuBar()->addMenu(QStringLiteral("設定(&M)"));
    mnu設定->setObjectName(QStringLiteral("mnu設定"));
    mnu基本設定 = item(mnu設定, "mnu基本設定", QStringLiteral("携帯電話の設定(&N)"),
                       &MainForm::mnu基本設定_Click);
    mnuオプション = item(mnu設定, "mnuオプション", QStringLiteral("プロパティ(&F)"),
                         &MainForm::mnuオプション_Click);
    自動転送test = item(mnu設定, "自動転送test", QStringLiteral("自動転送のテスト"),
                        &MainForm::自動転送test_Click);

    mnuHelp = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuヘルプ = item(mnuHelp, "mnuヘルプ", QStringLiteral("ヘルプ"), &MainForm::mnuヘルプ_Click);
    mnuバージョン = item(mnuHelp, "mnuバージョン", QStringLiteral("バージョン情報"),
                         &MainForm::mnuバージョン_Click);
}

void MainForm::ツールバー作成() {
    ツールバー = addToolBar(QStringLiteral("ツールバー"));
    ツールバー->setObjectName(QStringLiteral("ツールバー"));
    ツールバー->setMovable(false);
    ツールバー->setIconSize(QSize(32, 32));
    struct Button {
        const QString& key;
        QString tip;
        int image;
    };
    const Button buttons[] = {
        {kKey開始, QStringLiteral("自動転送を開始します。"), 1},
        {kKey停止, QString(), 7},
        {kKey携帯の設定, QStringLiteral("携帯端末の設定"), 3},
        {kKeyプロパティ, QStringLiteral("ﾌﾟﾛﾊﾟﾃｨ"), 4},
        {kKeyヘルプ, QStringLiteral("ﾍﾙﾌﾟ"), 5},
    };
    for (const Button& b : buttons) {
        QAction* action = ツールバー->addAction(imlToolbarIcons.at(b.image), b.key);
        action->setData(b.key);
        action->setObjectName(b.key);
        action->setToolTip(b.tip);
        if (b.tip.isEmpty()) {
            QWidget* button = ツールバー->widgetForAction(action);
            button->installEventFilter(new NoToolTip(button));
        }
        ボタン.insert(b.key, action);
    }
    connect(ツールバー, &QToolBar::actionTriggered, this,
            [this](QAction* a) { ツールバー_ButtonClick(a); });
}

void MainForm::ステイタスバー作成() {
    ステイタスバー = statusBar();
    ステイタスバー->setObjectName(QStringLiteral("ステイタスバー"));
    ステイタスバー->setSizeGripEnabled(true);
    struct Panel {
        const QString& key;
        int twips;
        QString text;
    };
    const Panel panels[] = {
        {kPanel次の接続まで, 3528, QString()},
        {kPanel新着メール数, 2734, QStringLiteral("新着メール数 :0")},
        {kPanel転送メール数, 2734, QStringLiteral("転送メール数 :0")},
    };
    const int dpi = logicalDpiX();
    for (const Panel& p : panels) {
        auto* label = new QLabel(p.text, ステイタスバー);
        label->setObjectName(p.key);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setMinimumWidth(p.twips * dpi / 1440);
        ステイタスバー->addWidget(label);
        パネル.insert(p.key, label);
    }
}

void MainForm::closeEvent(QCloseEvent* event) {
    // The program ends inside the unload handler; a test's exit double returns, and the
    // window then closes as usual.
    int cancel = 0;
    エラー無視([&] { Form_Unload(cancel); });
    event->accept();
}

// The toolbar buttons stay enabled and show the mode by their pictures.
void MainForm::モード表示(int state) {
    const bool running = state == 2;
    ボタン.value(kKey開始)->setIcon(imlToolbarIcons.at(running ? 6 : 1));
    ボタン.value(kKey停止)->setIcon(imlToolbarIcons.at(running ? 2 : 7));
    mnu開始->setEnabled(!running);
    mnu停止->setEnabled(running);
    emit modeChanged(state);
}

void MainForm::ウィンドウの最小化() {
    ctx.waiter.wait(1);
    setWindowState(windowState() | Qt::WindowMinimized);
}

bool MainForm::見えている() const {
    const QWindow* handle = windowHandle();
    return isVisible() && !isMinimized() && handle && handle->isExposed();
}

// Seen again, the countdown is brought up to date at once: the cycle's wait is woken. Looked at
// once the events of the change are through, when the window's state is settled.
void MainForm::見え方確認() {
    if (std::exchange(見え方確認予定, true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            見え方確認予定 = false;
            const bool seen = 見えている();
            if (seen && !見えていた)
                ctx.waiter.wake();
            見えていた = seen;
        },
        Qt::QueuedConnection);
}

void MainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        見え方確認();
}

void MainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Exposure (another desktop, a window that covers it) is the native window's.
    if (QWindow* handle = windowHandle())
        handle->installEventFilter(this);
    見え方確認();
}

void MainForm::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    見え方確認();
}

bool MainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Expose && watched == windowHandle())
        見え方確認();
    return QMainWindow::eventFilter(watched, event);
}

void MainForm::mnu開始_Click() { 開始コマンド(); }
void MainForm::mnu停止_Click() { 停止コマンド(); }

void MainForm::mnu終了_Click() {
    int cancel = 0;
    Form_Unload(cancel);
}

void MainForm::mnu基本設定_Click() { call(hooks.携帯電話の設定); }
void MainForm::mnuオプション_Click() { call(hooks.オプション表示); }
void MainForm::自動転送test_Click() {
    // The self-test uses the same mail controls as a forwarding pass; it waits for the pass.
    if (ctx.状態.パス実行中) {
        messageBox(QStringLiteral("メールチェック中です。終わってからもう一度選んでください。"));
        return;
    }
    call(hooks.テスト表示);
}
void MainForm::mnuバージョン_Click() { call(hooks.バージョン表示); }

void MainForm::mnuヘルプ_Click() {
    const QString path = ヘルプファイルパス(ctx.programDirectory);
    if (path.isEmpty()) {
        messageBox(QStringLiteral("ヘルプファイル「kelvo.html」が見つかりません。"));
        return;
    }
    QUrl url = QUrl::fromLocalFile(path);
    url.setFragment(QStringLiteral("contents"));
    if (!ctx.ui.openUrl(url))
        messageBox(QStringLiteral("ヘルプを開くことができませんでした。\r\n") +
                   QDir::toNativeSeparators(path));
}

void MainForm::ツールバー_ButtonClick(QAction* button) {
    エラー無視([&] {
        const QString key = button ? button->data().toString() : QString();
        if (key == kKey携帯の設定)
            call(hooks.携帯電話の設定);
        else if (key == kKeyプロパティ)
            call(hooks.オプション表示);
        else if (key == kKey停止)
            停止コマンド();
        else if (key == kKey開始)
            開始コマンド();
        else if (key == kKeyヘルプ)
            mnuヘルプ_Click();
    });
}

void MainForm::ログファイル書込(const QString& path) {
    kelvo::ログファイル書込(path, モニターモデル->lines(), ctx.clock.now(), *this);
}

int MainForm::モニター行数() const { return static_cast<int>(モニターモデル->lines().size()); }

void MainForm::setPanelText(const QString& key, const QString& text) {
    if (QLabel* label = パネル.value(key)) {
        label->setText(text);
        emit panelChanged(key, text);
    }
}

QString MainForm::panelText(const QString& key) const {
    const QLabel* label = パネル.value(key);
    return label ? label->text() : QString();
}

void MainForm::モニター行追加(const QString& message, bool widen) {
    行追加(message, widen, false, 0);
}

void MainForm::エラー行追加(const QString& description, int number) {
    行追加(エラーメッセージ(description, number), true, true, number);
}

void MainForm::行追加(const QString& message, bool widen, bool error, int number) {
    const QString line = モニター行(ctx.clock.now(), message);
    モニターモデル->append(line);
    // The range covers the widest line so far as drawn; a shorter line does not narrow it.
    if (widen)
        モニター->widenTo(モニターモデル->index(モニター行数() - 1));
    モニター->scrollToBottom();
    emit lineAdded(line, error, number);
}

MsgResult MainForm::messageBox(const QString& text, MsgButtons buttons, const QString& title) {
    return ctx.ui.messageBox(this, text, buttons, title);
}

void MainForm::beep() { ctx.ui.beep(); }

} // namespace kelvo
