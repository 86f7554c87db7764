// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace kelvo {

// A private-profile (INI) file held in memory: "[section]" lines open sections, "key=value"
// lines set keys. Sections and keys match without regard to ASCII letter case, values lose
// the blanks around them and are cut to 255 CP932 bytes. Writing replaces a key in place,
// appends a new key after the last line of its section and a new section at the end of the
// file, and leaves every other line as it was, byte for byte.
//
// Files are read as UTF-8 when they are valid UTF-8 and not plain ASCII, otherwise as CP932;
// they are written in CP932 unless some line has no CP932 form, then the whole file in UTF-8.
// Lines end with CR LF.
class IniDocument {
public:
    // Loads the file; a missing or unreadable file gives an empty document.
    static IniDocument load(const QString& path);

    // The key's value, or the default when the section or the key is missing.
    QString value(const QString& section, const QString& key, const QString& defaultValue) const;
    void setValue(const QString& section, const QString& key, const QString& value);

    // Writes the document over the file at path through a temporary file that is renamed
    // over the old one. A file whose write bits are all clear is left alone. Returns false
    // with a readable reason when nothing was written.
    bool save(const QString& path, QString* error = nullptr) const;

    QStringList lines() const;
    bool isUtf8() const { return utf8; }
    // The lines (counted from 1) holding bytes that are text in neither encoding; they read
    // with U+FFFD in their place and are written back as they were unless they are changed.
    QList<int> undecodableLines() const;

private:
    struct Line {
        QString text;
        QByteArray raw; // as read from the file, without the line end
        bool changed = false;
    };
    std::vector<Line> 行;
    bool utf8 = false;
    bool unreadable = false;

    qsizetype findSection(const QString& section) const;
    qsizetype sectionEnd(qsizetype header) const;
    qsizetype findKey(qsizetype header, const QString& key) const;
    QByteArray encode(bool asUtf8) const;
};

// The read and write primitives on a file at path, one operation each.
QString INI読込(const QString& section, const QString& key, const QString& defaultValue,
                const QString& path);
bool INI書込(const QString& section, const QString& key, const QString& value, const QString& path,
             QString* error = nullptr);

// Lets a test stop a save after the temporary file is written and before it replaces the
// old file, as a crash there would.
extern std::function<void()> iniSaveBeforeCommitHook;

} // namespace kelvo
