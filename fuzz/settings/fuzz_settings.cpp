// The settings file reader on arbitrary bytes: it never fails, keeps every
// byte of the file when nothing is changed, and a value written through it
// reads back as the same text.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "platform/settingsstore.h"

using vantelo::IniText;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const IniText text(bytes);
    if (text.bytes() != bytes)
        std::abort();

    // The input as a value too, under a key made from its start. Invalid
    // UTF-8 becomes U+FFFD, so the value is always text that can be written.
    const QString value = QString::fromUtf8(bytes);
    const QString key = QStringLiteral("K") + value.left(8);
    IniText changed = text;
    changed.setValue(key, value);
    const IniText reread(changed.bytes());
    const QString* back = reread.value(key);
    if (!back || *back != value)
        std::abort();
    return 0;
}
