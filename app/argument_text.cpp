#include "app/argument_text.h"

#include "comparison/utf8_validator.h"

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

} // namespace

QString argumentText(std::string_view bytes) {
    QString text;
    text.reserve(qsizetype(bytes.size()));
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t length = parvane::Utf8Validator::sequenceLength(bytes.substr(i));
        if (length == 0) {
            text += QChar(char16_t(kEscapeBase + static_cast<unsigned char>(bytes[i])));
            ++i;
        } else {
            text += QString::fromUtf8(bytes.data() + i, qsizetype(length));
            i += length;
        }
    }
    return text;
}

std::string argumentBytes(const QString& text) {
    std::string bytes;
    bytes.reserve(std::size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool paired =
            c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        if (c.isLowSurrogate() && c.unicode() >= kEscapeBase + 0x80 &&
            c.unicode() <= kEscapeBase + 0xFF) {
            bytes += char(c.unicode() - kEscapeBase);
        } else {
            bytes += QString(text.constData() + i, paired ? 2 : 1).toStdString();
            i += paired ? 1 : 0;
        }
    }
    return bytes;
}
