#include "mail/vmime_text.h"

#include <QStringDecoder>
#include <mutex>
#include <vmime/platforms/posix/posixHandler.hpp>

namespace kelvo::vm {

void initialize() {
    static std::once_flag once;
    std::call_once(once,
                   [] { vmime::platform::setHandler<vmime::platforms::posix::posixHandler>(); });
}

namespace {

bool isAscii(const std::string& bytes) {
    for (unsigned char c : bytes)
        if (c >= 0x80)
            return false;
    return true;
}

bool isValidUtf8(const std::string& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text =
        decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return !decoder.hasError() && !text.isNull();
}

std::string convert(const std::string& in, const vmime::charset& from, const vmime::charset& to) {
    std::string out;
    vmime::charset::convert(in, out, from, to);
    return out;
}

} // namespace

QString decode(const std::string& bytes, const vmime::charset& declared) {
    vmime::charset source = declared;
    const std::string name = QString::fromStdString(declared.getName()).toLower().toStdString();
    const bool undeclared = name.empty() || name == "us-ascii" || name == "ascii";
    if (undeclared) {
        if (bytes.find("\x1b$B") != std::string::npos || bytes.find("\x1b$@") != std::string::npos)
            source = vmime::charset("iso-2022-jp");
        else if (isAscii(bytes) || isValidUtf8(bytes))
            source = vmime::charset("utf-8");
        else
            source = vmime::charset("windows-31j");
    }
    std::string text = bytes;
    if (source.getName() != "utf-8") {
        try {
            text = convert(bytes, source, vmime::charset("utf-8"));
        } catch (const vmime::exception&) {
            // A charset nobody here can convert from must not make the message unreadable:
            // its bytes are guessed at as if no charset had been declared.
            if (!undeclared)
                return decode(bytes, vmime::charset("us-ascii"));
        }
    }
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString toQString(const vmime::text& text) {
    QString out;
    for (size_t i = 0; i < text.getWordCount(); ++i) {
        const vmime::shared_ptr<const vmime::word> w = text.getWordAt(i);
        out += decode(w->getBuffer(), w->getCharset());
    }
    return out;
}

std::optional<std::string> encodeStrict(const QString& text, const char* charsetName) {
    vmime::charsetConverterOptions options;
    options.silentlyReplaceInvalidSequences = false;
    try {
        auto converter = vmime::charsetConverter::create(vmime::charset("utf-8"),
                                                         vmime::charset(charsetName), options);
        std::string out;
        converter->convert(utf8(text), out);
        return out;
    } catch (const vmime::exception&) {
        return std::nullopt;
    }
}

std::string utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

QDateTime toLocal(const vmime::datetime& d) {
    const QDate date(d.getYear(), d.getMonth(), d.getDay());
    const QTime time(d.getHour(), d.getMinute(), d.getSecond());
    // Offsets beyond a day are no time zone's, only damage.
    constexpr int kDayMinutes = 24 * 60;
    if (!date.isValid() || !time.isValid() || d.getYear() < 1980 || d.getZone() <= -kDayMinutes ||
        d.getZone() >= kDayMinutes)
        return QDateTime();
    return QDateTime(date, time, Qt::OffsetFromUTC, d.getZone() * 60).toLocalTime();
}

QString crlf(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text;
}

} // namespace kelvo::vm
