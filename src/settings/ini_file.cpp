// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/ini_file.h"

#include "common/cp932.h"
#include "common/private_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/stat.h>

namespace kelvo {

std::function<void()> iniSaveBeforeCommitHook;

namespace {

constexpr qint64 kMaxValueBytes = 255;

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

QString trimBlanks(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s.at(b)))
        ++b;
    while (e > b && isBlank(s.at(e - 1)))
        --e;
    return s.mid(b, e - b);
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The section name of a "[name]" line; nothing when the line opens no section.
std::optional<QString> sectionName(const QString& line) {
    const QString t = trimBlanks(line);
    if (!t.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = t.indexOf(u']');
    return trimBlanks(t.mid(1, (close < 0 ? t.size() : close) - 1));
}

bool isComment(const QString& line) {
    const QString t = trimBlanks(line);
    return t.startsWith(u';') || t.startsWith(u'#');
}

bool isAsciiOnly(const QByteArray& bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

bool isValidUtf8(const QByteArray& bytes) {
    // Stateless: a character cut off at the end of the file is an error too.
    QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = dec.decode(bytes); // the conversion runs only when taken as text
    Q_UNUSED(decoded);
    return !dec.hasError();
}

bool writeBitsClear(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

} // namespace

IniDocument IniDocument::load(const QString& path) {
    IniDocument doc;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        // A file that is there but cannot be read must not be replaced by a save.
        doc.unreadable = file.exists();
        return doc;
    }
    QByteArray data = file.readAll();
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    doc.utf8 = !isAsciiOnly(data) && isValidUtf8(data);
    QList<QByteArray> rawLines = data.split('\n');
    if (!rawLines.isEmpty() && rawLines.last().isEmpty())
        rawLines.removeLast();
    doc.行.reserve(rawLines.size());
    for (QByteArray& raw : rawLines) {
        if (raw.endsWith('\r'))
            raw.chop(1);
        QString text = doc.utf8 ? QString::fromUtf8(raw) : fromCp932(raw);
        doc.行.push_back({std::move(text), raw, false});
    }
    return doc;
}

qsizetype IniDocument::findSection(const QString& section) const {
    for (qsizetype i = 0; i < static_cast<qsizetype>(行.size()); ++i) {
        const auto name = sectionName(行[i].text);
        if (name && sameName(*name, section))
            return i;
    }
    return -1;
}

qsizetype IniDocument::sectionEnd(qsizetype header) const {
    qsizetype i = header + 1;
    while (i < static_cast<qsizetype>(行.size()) && !sectionName(行[i].text))
        ++i;
    return i;
}

qsizetype IniDocument::findKey(qsizetype header, const QString& key) const {
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const QString& t = 行[i].text;
        const qsizetype eq = t.indexOf(u'=');
        if (eq < 0 || isComment(t))
            continue;
        if (sameName(trimBlanks(t.left(eq)), key))
            return i;
    }
    return -1;
}

QString IniDocument::value(const QString& section, const QString& key,
                           const QString& defaultValue) const {
    QString v = defaultValue;
    const qsizetype header = findSection(section);
    if (header >= 0) {
        const qsizetype at = findKey(header, key);
        if (at >= 0) {
            const QString& t = 行[at].text;
            v = t.mid(t.indexOf(u'=') + 1);
        }
    }
    return バイト数で切る(trimBlanks(v), kMaxValueBytes);
}

void IniDocument::setValue(const QString& section, const QString& key, const QString& value) {
    const QString line = key + u'=' + value;
    const qsizetype header = findSection(section);
    if (header < 0) {
        行.push_back({u'[' + section + u']', {}, true});
        行.push_back({line, {}, true});
        return;
    }
    const qsizetype at = findKey(header, key);
    if (at >= 0) {
        if (行[at].text != line)
            行[at] = {line, {}, true};
        return;
    }
    // After the section's last line that is not blank, so blank lines stay between sections.
    qsizetype insertAt = sectionEnd(header);
    while (insertAt > header + 1 && trimBlanks(行[insertAt - 1].text).isEmpty())
        --insertAt;
    行.insert(行.begin() + insertAt, Line{line, {}, true});
}

QStringList IniDocument::lines() const {
    QStringList out;
    out.reserve(static_cast<qsizetype>(行.size()));
    for (const Line& l : 行)
        out.append(l.text);
    return out;
}

QList<int> IniDocument::undecodableLines() const {
    QList<int> out;
    if (utf8)
        return out;
    for (size_t i = 0; i < 行.size(); ++i) {
        if (!行[i].changed && 行[i].text.contains(QChar::ReplacementCharacter))
            out.append(static_cast<int>(i) + 1);
    }
    return out;
}

QByteArray IniDocument::encode(bool asUtf8) const {
    QByteArray out;
    for (const Line& l : 行) {
        const bool keepRaw = !l.changed && asUtf8 == utf8;
        if (keepRaw)
            out += l.raw;
        else
            out += asUtf8 ? l.text.toUtf8() : toCp932Lossy(l.text);
        out += "\r\n";
    }
    return out;
}

bool IniDocument::save(const QString& path, QString* error) const {
    auto fail = [&](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (unreadable)
        return fail(
            QStringLiteral("%1：ファイルを読み込めません").arg(QDir::toNativeSeparators(path)));
    if (writeBitsClear(path))
        return fail(
            QStringLiteral("%1：読み取り専用のファイルです").arg(QDir::toNativeSeparators(path)));

    // CP932 unless some line has no CP932 form. Unchanged lines of a CP932 file keep their
    // bytes, so they count as representable even if they hold bytes CP932 does not define.
    bool needUtf8 = false;
    for (const Line& l : 行) {
        if ((l.changed || utf8) && !toCp932(l.text)) {
            needUtf8 = true;
            break;
        }
    }

    const QFileInfo info(path);
    if (!makePrivateFolder(info.absolutePath()))
        return fail(QStringLiteral("%1：フォルダーを作成できません").arg(info.absolutePath()));
    QSaveFile file(path);
    // Unbuffered: a buffered write reports success at once, and the commit that later meets
    // the full disk would still put the cut-off file in place of the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
    const QByteArray data = encode(needUtf8);
    errno = 0;
    if (file.write(data) != data.size()) {
        // A short write leaves Qt without a reason of its own; errno holds the system's.
        const QString reason =
            errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : file.errorString();
        file.cancelWriting();
        return fail(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), reason));
    }
    if (iniSaveBeforeCommitHook)
        iniSaveBeforeCommitHook();
    if (!file.commit())
        return fail(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
    return true;
}

QString INI読込(const QString& section, const QString& key, const QString& defaultValue,
                const QString& path) {
    return IniDocument::load(path).value(section, key, defaultValue);
}

bool INI書込(const QString& section, const QString& key, const QString& value, const QString& path,
             QString* error) {
    IniDocument doc = IniDocument::load(path);
    doc.setValue(section, key, value);
    return doc.save(path, error);
}

} // namespace kelvo
