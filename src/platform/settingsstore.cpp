#include "platform/settingsstore.h"

#include <QStandardPaths>
#include <QStringDecoder>

namespace vantelo {
namespace {

const char kHexDigits[] = "0123456789ABCDEF";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The number of bytes that are not part of a well-formed UTF-8 sequence.
qsizetype invalidUtf8Bytes(const QByteArray& bytes) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype bad = 0;
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int follow = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            follow = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            follow = 2;
            low = c == 0xE0 ? 0xA0 : 0x80;
            high = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            follow = 3;
            low = c == 0xF0 ? 0x90 : 0x80;
            high = c == 0xF4 ? 0x8F : 0xBF;
        }
        bool ok = follow > 0 && i + follow < n;
        for (int k = 1; ok && k <= follow; ++k) {
            const unsigned char f = s[i + k];
            ok = k == 1 ? (f >= low && f <= high) : (f >= 0x80 && f <= 0xBF);
        }
        if (ok) {
            i += follow + 1;
        } else {
            ++bad;
            ++i;
        }
    }
    return bad;
}

void appendCodePoint(QString& out, char32_t code) {
    // A lone surrogate or a number beyond Unicode is no character.
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = 0xFFFD;
    if (code > 0xFFFF) {
        const char32_t both[1] = {code};
        out += QString::fromUcs4(both, 1);
    } else {
        out += QChar(static_cast<char16_t>(code));
    }
}

// UTF-8 to text, keeping a U+FEFF wherever it stands (QString::fromUtf8 drops
// one at the start of what it is given).
QString fromUtf8(QByteArrayView bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                     QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

}  // namespace

// ---------------------------------------------------------------------------
// IniText

IniText::IniText(const QByteArray& bytes) {
    const qsizetype n = bytes.size();
    qsizetype pos = 0;
    bool topLevel = true;
    while (pos < n) {
        qsizetype end = pos;
        while (end < n && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        qsizetype next = end;
        if (next < n)
            next += (bytes[next] == '\r' && next + 1 < n && bytes[next + 1] == '\n') ? 2 : 1;
        Line line;
        line.raw = bytes.mid(pos, end - pos);
        line.newline = bytes.mid(end, next - end);
        pos = next;

        QByteArray body = line.raw;
        if (lines_.empty() && body.startsWith("\xEF\xBB\xBF"))
            body.remove(0, 3);
        qsizetype start = 0;
        while (start < body.size() && isBlank(body[start]))
            ++start;
        body.remove(0, start);
        const bool readable = !body.isEmpty() && body[0] != ';' && body[0] != '#' &&
                              !body.contains('\0') && invalidUtf8Bytes(body) == 0;
        if (readable && body[0] == '[') {
            const qsizetype close = body.indexOf(']');
            if (close > 0) {
                const QByteArray name = body.mid(1, close - 1).trimmed();
                topLevel = name.compare("general", Qt::CaseInsensitive) == 0 ||
                           unescapedKey(name).isEmpty();
            }
        } else if (readable && topLevel) {
            // The key ends at the first "=" (a key's "\\" stands for "/" and
            // escapes nothing); in the value a ";" outside quotes starts a
            // comment.
            qsizetype equals = -1;
            qsizetype valueEnd = body.size();
            bool inQuotes = false;
            for (qsizetype i = 0; i < body.size(); ++i) {
                const char c = body[i];
                if (equals < 0) {
                    if (c == '=')
                        equals = i;
                    else if (c == ';')
                        break;
                } else if (c == '\\') {
                    ++i;
                } else if (c == '"') {
                    inQuotes = !inQuotes;
                } else if (c == ';' && !inQuotes) {
                    valueEnd = i;
                    break;
                }
            }
            const QByteArray key = equals > 0 ? body.left(equals).trimmed() : QByteArray();
            if (!key.isEmpty()) {
                line.isKey = true;
                line.key = unescapedKey(key);
                line.value = unescapedValue(body.mid(equals + 1, valueEnd - equals - 1));
                line.invalid = line.value == QLatin1String("@Invalid()");
                if (line.value.startsWith(QLatin1String("@@")))
                    line.value.remove(0, 1);
                else if (line.value.startsWith(QLatin1String("@String(")) &&
                         line.value.endsWith(QLatin1Char(')')))
                    line.value = line.value.mid(8, line.value.size() - 9);
            }
        }
        line.topLevel = topLevel;
        lines_.push_back(std::move(line));
    }
}

int IniText::find(const QString& key) const {
    for (int i = static_cast<int>(lines_.size()) - 1; i >= 0; --i) {
        if (lines_[i].isKey && lines_[i].key == key)
            return i;
    }
    return -1;
}

const QString* IniText::value(const QString& key) const {
    const int at = find(key);
    return at >= 0 && !lines_[at].invalid ? &lines_[at].value : nullptr;
}

void IniText::setValue(const QString& key, const QString& value) {
    Line line;
    line.raw = escapedKey(key) + '=' + escapedValue(value);
    line.newline = "\n";
    line.topLevel = true;
    line.isKey = true;
    line.key = key;
    line.value = value;
    if (const int at = find(key); at >= 0) {
        line.newline = lines_[at].newline;
        lines_[at] = std::move(line);
        return;
    }
    // A new key goes after the last line of the top-level section that holds
    // a key; without one, under a "[General]" header at the end of the file,
    // unless the file has no section at all.
    int insertAt = -1;
    bool anySection = false;
    for (int i = 0; i < static_cast<int>(lines_.size()); ++i) {
        if (lines_[i].isKey)
            insertAt = i + 1;
        if (!lines_[i].topLevel)
            anySection = true;
    }
    if (insertAt < 0) {
        if (!lines_.empty() && lines_.back().newline.isEmpty())
            lines_.back().newline = "\n";
        if (anySection) {
            Line blank;
            blank.newline = "\n";
            if (!lines_.empty() && !lines_.back().raw.trimmed().isEmpty())
                lines_.push_back(blank);
            Line header = blank;
            header.raw = "[General]";
            header.topLevel = true;
            lines_.push_back(header);
        }
        insertAt = static_cast<int>(lines_.size());
    }
    if (insertAt > 0 && lines_[insertAt - 1].newline.isEmpty())
        lines_[insertAt - 1].newline = "\n";
    lines_.insert(lines_.begin() + insertAt, std::move(line));
}

QByteArray IniText::bytes() const {
    QByteArray out;
    for (const Line& line : lines_)
        out += line.raw + line.newline;
    return out;
}

QByteArray IniText::escapedKey(const QString& key) {
    QByteArray out;
    for (const QChar qc : key) {
        const char16_t c = qc.unicode();
        if (c == '/') {
            out += '\\';
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '_' || c == '-' || c == '.') {
            out += static_cast<char>(c);
        } else if (c <= 0xFF) {
            out += '%';
            out += kHexDigits[c / 16];
            out += kHexDigits[c % 16];
        } else {
            out += "%U";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += kHexDigits[(c >> shift) & 0xF];
        }
    }
    return out;
}

QString IniText::unescapedKey(const QByteArray& raw) {
    const QString decoded = fromUtf8(raw);
    QString out;
    const qsizetype n = decoded.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = decoded[i];
        if (c == QLatin1Char('\\')) {
            out += QLatin1Char('/');
            ++i;
            continue;
        }
        if (c != QLatin1Char('%') || i == n - 1) {
            out += c;
            ++i;
            continue;
        }
        qsizetype first = i + 1;
        int digits = 2;
        if (decoded[first] == QLatin1Char('U')) {
            ++first;
            digits = 4;
        }
        bool ok = first + digits <= n;
        const ushort code = ok ? QStringView(decoded).mid(first, digits).toUShort(&ok, 16) : 0;
        if (!ok) {
            out += c;
            ++i;
            continue;
        }
        out += QChar(code);
        i = first + digits;
    }
    return out;
}

QByteArray IniText::escapedValue(const QString& value) {
    const QString text = value.startsWith(QLatin1Char('@')) ? QLatin1Char('@') + value : value;
    QByteArray out;
    bool needsQuotes = false;
    // After "\x1f" or "\0" a hex digit would read as part of the number.
    bool escapeNextIfDigit = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == ';' || c == ',' || c == '=')
            needsQuotes = true;
        if (escapeNextIfDigit && c < 0x80 && hexValue(static_cast<char>(c)) >= 0) {
            out += "\\x" + QByteArray::number(c, 16);
            continue;
        }
        escapeNextIfDigit = false;
        switch (c) {
            case 0:
                out += "\\0";
                escapeNextIfDigit = true;
                break;
            case '\a':
                out += "\\a";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\v':
                out += "\\v";
                break;
            case '"':
            case '\\':
                out += '\\';
                out += static_cast<char>(c);
                break;
            default:
                if (c <= 0x1F) {
                    out += "\\x" + QByteArray::number(c, 16);
                    escapeNextIfDigit = true;
                } else if (c < 0x80) {
                    out += static_cast<char>(c);
                } else if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
                           text[i + 1].isLowSurrogate()) {
                    out += text.mid(i, 2).toUtf8();
                    ++i;
                } else {
                    out += QString(QChar(c)).toUtf8();
                }
        }
    }
    if (needsQuotes || out.startsWith(' ') || out.endsWith(' ')) {
        out.prepend('"');
        out += '"';
    }
    return out;
}

QString IniText::unescapedValue(const QByteArray& raw) {
    QString out;
    const qsizetype n = raw.size();
    qsizetype i = 0;
    while (i < n && isBlank(raw[i]))
        ++i;
    bool quoted = false;
    bool inQuotes = false;
    qsizetype chopLimit = 0;
    while (i < n) {
        const char c = raw[i];
        if (c == '\\') {
            if (++i >= n)
                break;
            const char e = raw[i++];
            static const char kSimple[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                              {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                              {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
            bool simple = false;
            for (const auto& s : kSimple) {
                if (e == s[0]) {
                    out += QLatin1Char(s[1]);
                    simple = true;
                    break;
                }
            }
            if (!simple && (e == 'x' || (e >= '0' && e <= '7'))) {
                // Any number of digits may follow; the value saturates
                // rather than wrapping, and anything beyond Unicode is U+FFFD.
                const int radix = e == 'x' ? 16 : 8;
                char32_t code = e == 'x' ? 0 : static_cast<char32_t>(e - '0');
                bool any = e != 'x';
                while (i < n) {
                    const int d = hexValue(raw[i]);
                    if (d < 0 || d >= radix)
                        break;
                    code = code > 0x10FFFF ? code : code * radix + d;
                    any = true;
                    ++i;
                }
                if (any)
                    appendCodePoint(out, code);
            }
            chopLimit = out.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                while (i < n && isBlank(raw[i]))
                    ++i;
            }
            chopLimit = out.size();
        } else {
            qsizetype j = i + 1;
            while (j < n && raw[j] != '\\' && raw[j] != '"')
                ++j;
            out += fromUtf8(QByteArrayView(raw).sliced(i, j - i));
            i = j;
        }
    }
    if (!quoted) {
        qsizetype size = out.size();
        while (size > chopLimit &&
               (out[size - 1] == QLatin1Char(' ') || out[size - 1] == QLatin1Char('\t')))
            --size;
        out.truncate(size);
    }
    return out;
}

// ---------------------------------------------------------------------------
// FileSettingsStore

// A file is text unless it says it is UTF-16 or a third of it is NUL bytes or
// bytes that are not UTF-8. One bad line is only a malformed line.
bool FileSettingsStore::looksLikeText(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return false;
    const qsizetype bad = bytes.count('\0') + invalidUtf8Bytes(bytes);
    return bad * 3 < bytes.size();
}

FileSettingsStore::FileSettingsStore(const QString& filePath) : filePath_(filePath) {
    load();
}

QString FileSettingsStore::defaultFilePath() {
    // Where QSettings keeps the per-user file of "Tarnwick"/"Vantelo".
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Tarnwick/Vantelo.conf");
}

QString FileSettingsStore::GetSetting(const QString& key, const QString& fallback) const {
    const QString* value = text_.value(key);
    return value ? *value : fallback;
}

void FileSettingsStore::SaveSetting(const QString& key, const QString& value) {
    if (const QString* stored = text_.value(key); stored && *stored == value)
        return;
    IniText changed = text_;
    changed.setValue(key, value);
    replaceFile(filePath_, changed.bytes());
    text_ = std::move(changed);
}

}  // namespace vantelo
