// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The options dialog's controls, page by page.
#include "settings/number_box.h"
#include "settings/options_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

namespace kelvo {
namespace {

QString name(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QLabel* 文字(const QString& text, QWidget* parent) {
    return new QLabel(text, parent);
}

// A note under an item, set in from the left.
QLabel* 注記(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setIndent(16);
    l->setWordWrap(true);
    return l;
}

QCheckBox* チェック(const char* objectName, const QString& caption, QWidget* parent) {
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(name(objectName));
    return c;
}

QLineEdit* 欄(const QString& objectName, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(objectName);
    return e;
}

QGroupBox* 枠(const char* objectName, QWidget* parent) {
    auto* g = new QGroupBox(parent);
    g->setObjectName(name(objectName));
    return g;
}

// A frame holding a pair of option buttons side by side; the first means "1".
QGroupBox* 選択枠(const char* frameName, const char* yesName, const QString& yesCaption,
                  const char* noName, const QString& noCaption, QRadioButton*& yes,
                  QRadioButton*& no, QWidget* parent) {
    QGroupBox* frame = 枠(frameName, parent);
    yes = new QRadioButton(yesCaption, frame);
    yes->setObjectName(name(yesName));
    no = new QRadioButton(noCaption, frame);
    no->setObjectName(name(noName));
    auto* r = new QHBoxLayout(frame);
    r->setContentsMargins(6, 2, 6, 2);
    r->addWidget(yes);
    r->addWidget(no);
    r->addStretch();
    return frame;
}

QGroupBox* はいいいえ(const char* frameName, const char* yesName, const char* noName,
                      QRadioButton*& yes, QRadioButton*& no, QWidget* parent) {
    return 選択枠(frameName, yesName, QStringLiteral("はい"), noName, QStringLiteral("いいえ"), yes,
                  no, parent);
}

QGroupBox* するしない(const char* frameName, const char* yesName, const char* noName,
                      QRadioButton*& yes, QRadioButton*& no, QWidget* parent) {
    return 選択枠(frameName, yesName, QStringLiteral("転送する"), noName,
                  QStringLiteral("転送しない"), yes, no, parent);
}

QVBoxLayout* 縦(QWidget* page) {
    auto* column = new QVBoxLayout(page);
    column->setSpacing(4);
    return column;
}

} // namespace

void OptionsDialog::部品作成() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    タブストリップ = new QTabBar(this);
    タブストリップ->setObjectName(QStringLiteral("タブストリップ"));
    タブストリップ->setExpanding(false);
    タブストリップ->setDrawBase(false);
    // Every tab in view: the dialog grows past its nominal width rather than hide a tab.
    タブストリップ->setUsesScrollButtons(false);
    タブストリップ->setElideMode(Qt::ElideNone);
    for (const char* caption :
         {"基本設定", "転送メールの内容", "転送ルール", "マルチアカウント", "その他"})
        タブストリップ->addTab(name(caption));
    outer->addWidget(タブストリップ, 0, Qt::AlignLeft | Qt::AlignTop);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(twips(210), twips(100), twips(210), twips(150));
    ページ = new QStackedWidget(this);
    タブ = {基本設定ページ(), 転送内容ページ(), 転送ルールページ(), マルチアカウントページ(),
            その他ページ()};
    for (size_t i = 0; i < タブ.size(); ++i) {
        タブ[i]->setObjectName(QStringLiteral("タブ(%1)").arg(i));
        ページ->addWidget(タブ[i]);
    }
    body->addWidget(ページ, 1);
    body->addLayout(ボタン行(QStringLiteral("cmdCancel")));
    cmdCancel = キャンセル;
    outer->addLayout(body, 1);
}

QWidget* OptionsDialog::基本設定ページ() {
    auto* page = new QWidget(this);
    QVBoxLayout* column = 縦(page);

    txtチェック間隔 = 数字欄("txtチェック間隔", "updnチェック間隔", 0, 3600, 5, updnチェック間隔);
    column->addLayout(
        横並び({文字(QStringLiteral("① 新着メールを"), page), txtチェック間隔, updnチェック間隔,
                文字(QStringLiteral("分ごとにチェックする。"), page),
                文字(QStringLiteral("(0～3600)"), page)}));
    column->addWidget(注記(
        QStringLiteral("※0 の場合、間を空けずに接続します。（常時接続回線の方におすすめ）"), page));

    txt分割文字数 = 数字欄("txt分割文字数", "updn分割文字数", 30, 7000, 5, updn分割文字数);
    column->addWidget(文字(QStringLiteral("②新着メールのサイズが大きい場合、"), page));
    column->addLayout(横並び(
        {txt分割文字数, updn分割文字数, 文字(QStringLiteral("文字づつ分割して転送する。"), page)}));
    column->addWidget(注記(QStringLiteral("※携帯電話の最大受信文字数を入力してください。"), page));
    chk自動分割 = チェック("chk自動分割", QStringLiteral("自動分割機能は使用しない。"), page);
    column->addWidget(chk自動分割);

    txt最大分割数 = 数字欄("txt最大分割数", "updn最大分割数", 2, 30, 5, updn最大分割数);
    column->addLayout(
        横並び({文字(QStringLiteral("③ １通の新着メールに対して最大"), page), txt最大分割数,
                updn最大分割数, 文字(QStringLiteral("分割まで転送する。"), page)}));
    column->addWidget(注記(QStringLiteral("※2～30までの数字を入力してください。"), page));

    frame同時接続 = はいいいえ("frame同時接続", "op同時接続はい", "op同時接続いいえ",
                               op同時接続はい, op同時接続いいえ, page);
    column->addLayout(
        横並び({文字(QStringLiteral("④ 開始と同時に接続する。"), page), frame同時接続}));

    chkダイヤルアップ =
        チェック("chkダイヤルアップ",
                 QStringLiteral("ダイヤルアップユーザー向け自動転送システムを使用する。"), page);
    column->addLayout(横並び({文字(QStringLiteral("⑤"), page), chkダイヤルアップ}));
    column->addStretch();
    return page;
}

QWidget* OptionsDialog::転送内容ページ() {
    auto* page = new QWidget(this);
    QVBoxLayout* column = 縦(page);
    auto question = [&](const char* text, QGroupBox* frame) {
        column->addWidget(文字(name(text), page));
        column->addLayout(横並び({frame}));
    };
    question("① 差出人メールアドレスの内容を含める。",
             Frame1 = はいいいえ("Frame1", "op差出人メールはい", "op差出人メールいいえ",
                                 op差出人メールはい, op差出人メールいいえ, page));
    question("② 宛先の内容を含める。",
             frame宛先フラグ = はいいいえ("frame宛先フラグ", "op宛先はい", "op宛先いいえ",
                                          op宛先はい, op宛先いいえ, page));
    question("③ CCの内容を含める。",
             frameCCフラグ =
                 はいいいえ("frameCCフラグ", "opCCはい", "opCCいいえ", opCCはい, opCCいいえ, page));
    question("④ 添付ファイルも含めて転送する。",
             frame添付フラグ = はいいいえ("frame添付フラグ", "op添付はい", "op添付いいえ",
                                          op添付はい, op添付いいえ, page));
    question("⑤ 改行しないで転送する。",
             Frame改行 = はいいいえ("Frame改行", "op改行はい", "op改行いいえ", op改行はい,
                                    op改行いいえ, page));
    column->addStretch();
    return page;
}

QWidget* OptionsDialog::転送ルールページ() {
    auto* page = new QWidget(this);
    QVBoxLayout* column = 縦(page);

    chkアドレス帳 = チェック(
        "chkアドレス帳", QStringLiteral("メールの差出人がアドレス帳に登録されている場合、"), page);
    column->addLayout(横並び({文字(QStringLiteral("①"), page), chkアドレス帳}));
    frameアドレス帳 = するしない("frameアドレス帳", "opアドレス帳はい", "opアドレス帳いいえ",
                                 opアドレス帳はい, opアドレス帳いいえ, page);
    column->addLayout(横並び({frameアドレス帳}));

    chk差出人 = チェック("chk差出人", QStringLiteral("メールの差出人が以下の場合、"), page);
    column->addLayout(横並び({文字(QStringLiteral("②"), page), chk差出人}));
    frame差出人 = するしない("frame差出人", "op差出人はい", "op差出人いいえ", op差出人はい,
                             op差出人いいえ, page);
    column->addLayout(横並び({frame差出人}));
    frame差出人リスト = 枠("frame差出人リスト", page);
    auto* grid = new QGridLayout(frame差出人リスト);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setVerticalSpacing(2);
    const char* numbers[] = {"１", "２", "３", "４", "５", "６", "７", "８", "９", "１０"};
    for (int i = 0; i < 10; ++i) {
        しない[i] = 欄(QStringLiteral("しない(%1)").arg(i), frame差出人リスト);
        const int r = i % 5, c = (i / 5) * 2;
        grid->addWidget(文字(name(numbers[i]), frame差出人リスト), r, c);
        grid->addWidget(しない[i], r, c + 1);
    }
    grid->addWidget(注記(QStringLiteral("※メールアドレスを入力してください"), frame差出人リスト), 5,
                    0, 1, 4);
    column->addWidget(frame差出人リスト);

    txt件名フィルタ = 欄(QStringLiteral("txt件名フィルタ"), page);
    column->addLayout(横並び({文字(QStringLiteral("③ メールの件名に"), page), txt件名フィルタ,
                              文字(QStringLiteral("の文字が存在したら転送しない。"), page)}));
    column->addStretch();
    return page;
}

QWidget* OptionsDialog::マルチアカウントページ() {
    auto* page = new QWidget(this);
    QVBoxLayout* column = 縦(page);
    chkマルチアカウント =
        チェック("chkマルチアカウント", QStringLiteral("マルチアカウントを使用する。"), page);
    column->addWidget(chkマルチアカウント);
    frameマルチアカウント = 枠("frameマルチアカウント", page);
    auto* grid = new QGridLayout(frameマルチアカウント);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->addWidget(文字(QStringLiteral("受信者の電子メールアドレスを入力してください。"),
                         frameマルチアカウント),
                    0, 0, 1, 6);
    grid->addWidget(文字(QStringLiteral("転送先の電子メールアドレスを入力してください。"),
                         frameマルチアカウント),
                    1, 0, 1, 6);
    const char* marks[] = {"①", "②", "③"};
    for (int k = 0; k < 3; ++k) {
        QWidget* f = frameマルチアカウント;
        chkアカウント[k] = new QCheckBox(name(marks[k]), f);
        chkアカウント[k]->setObjectName(QStringLiteral("chkアカウント(%1)").arg(k));
        txtマルチ宛先[k] = 欄(QStringLiteral("txtマルチ宛先(%1)").arg(k), f);
        txtマルチ転送先[k] = 欄(QStringLiteral("txtマルチ転送先(%1)").arg(k), f);
        const int r = 2 + k * 2;
        grid->addWidget(chkアカウント[k], r, 0);
        grid->addWidget(文字(QStringLiteral("宛"), f), r, 1);
        grid->addWidget(txtマルチ宛先[k], r, 2, 1, 3);
        grid->addWidget(文字(QStringLiteral("→"), f), r + 1, 1);
        grid->addWidget(txtマルチ転送先[k], r + 1, 2, 1, 2);
        grid->addWidget(文字(QStringLiteral("へ転送する。"), f), r + 1, 4);
    }
    grid->setColumnStretch(3, 1);
    column->addWidget(frameマルチアカウント);
    column->addStretch();
    return page;
}

QWidget* OptionsDialog::その他ページ() {
    auto* page = new QWidget(this);
    QVBoxLayout* column = 縦(page);

    chkスケジュールフラグ =
        チェック("chkスケジュールフラグ",
                 QStringLiteral("１週間単位で開始/停止時刻をスケジュールする。"), page);
    column->addLayout(横並び({文字(QStringLiteral("①"), page), chkスケジュールフラグ}));
    Frameスケジュール = 枠("Frameスケジュール", page);
    auto* schedule = new QVBoxLayout(Frameスケジュール);
    schedule->setContentsMargins(6, 2, 6, 2);
    schedule->setSpacing(2);
    auto* days = new QHBoxLayout;
    const char* captions[] = {"日", "月", "火", "水", "木", "金", "土"};
    for (int d = 0; d < 7; ++d) {
        chk曜日[d] = new QCheckBox(name(captions[d]), Frameスケジュール);
        chk曜日[d]->setObjectName(QStringLiteral("chk曜日(%1)").arg(d));
        days->addWidget(chk曜日[d]);
    }
    days->addStretch();
    schedule->addLayout(days);
    txtスケジュール開始時 = 数字欄("txtスケジュール開始時", "updn開始時", 0, 23, 5, updn開始時);
    txtスケジュール開始分 = 数字欄("txtスケジュール開始分", "updn開始分", 0, 59, 5, updn開始分);
    txtスケジュール終了時 = 数字欄("txtスケジュール終了時", "updn終了時", 0, 23, 5, updn終了時);
    txtスケジュール終了分 = 数字欄("txtスケジュール終了分", "updn終了分", 0, 59, 5, updn終了分);
    auto time = [&](const char* caption, NumberBox* h, UpDown* hu, NumberBox* m, UpDown* mu) {
        schedule->addLayout(横並び({文字(name(caption), Frameスケジュール), h, hu,
                                    文字(QStringLiteral("時"), Frameスケジュール), m, mu,
                                    文字(QStringLiteral("分"), Frameスケジュール)}));
    };
    time("開始時刻：", txtスケジュール開始時, updn開始時, txtスケジュール開始分, updn開始分);
    time("終了時刻：", txtスケジュール終了時, updn終了時, txtスケジュール終了分, updn終了分);
    column->addWidget(Frameスケジュール);

    chk自動終了フラグ =
        チェック("chk自動終了フラグ",
                 QStringLiteral("自動転送を開始して以下の時間が経過したら終了する。"), page);
    column->addLayout(横並び({文字(QStringLiteral("②"), page), chk自動終了フラグ}));
    Frame自動終了 = 枠("Frame自動終了", page);
    auto* finish = new QVBoxLayout(Frame自動終了);
    finish->setContentsMargins(6, 2, 6, 2);
    finish->setSpacing(2);
    txt切断時間 = 数字欄("txt切断時間", "updn切断時間", 1, 400, 5, updn切断時間);
    finish->addLayout(
        横並び({txt切断時間, updn切断時間, 文字(QStringLiteral("時間後(1～400)"), Frame自動終了)}));
    chk電源OFF =
        チェック("chk電源OFF", QStringLiteral("終了と同時にパソコンの電源を切る。"), Frame自動終了);
    finish->addWidget(chk電源OFF);
    column->addWidget(Frame自動終了);

    chkログ = チェック("chkログ", QStringLiteral("プログラム終了時にログを残す。"), page);
    column->addLayout(横並び({文字(QStringLiteral("③"), page), chkログ}));
    txtログファイルパス = 欄(QStringLiteral("txtログファイルパス"), page);
    Command1 = 参照ボタン(page, [this] { Command1_Click(); });
    auto* log = new QHBoxLayout;
    log->addWidget(文字(QStringLiteral("ログファイルパス"), page));
    log->addWidget(txtログファイルパス, 1);
    log->addWidget(Command1);
    column->addLayout(log);

    chkプロファイル = チェック(
        "chkプロファイル", QStringLiteral("MAPIへのアクセスにプロファイル名を使用する。"), page);
    column->addLayout(横並び({文字(QStringLiteral("④"), page), chkプロファイル}));
    txtプロファイル名 = 欄(QStringLiteral("txtプロファイル名"), page);
    column->addWidget(txtプロファイル名);
    column->addWidget(
        注記(QStringLiteral("※Microsoft Outlook をお使いの方は必ず入力してください。"), page));
    column->addStretch();
    return page;
}

} // namespace kelvo
