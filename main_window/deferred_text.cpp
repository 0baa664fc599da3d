#include "main_window/deferred_text.h"

#include <new>
#include <utility>

namespace {

const QString kPlainText = QStringLiteral("text/plain");

} // namespace

DeferredText::DeferredText(std::function<std::optional<QString>()> read,
                           std::function<void()> shortage)
    : read_(std::move(read)), shortage_(std::move(shortage)) {}

QStringList DeferredText::formats() const { return {kPlainText}; }

bool DeferredText::hasFormat(const QString& mimeType) const { return mimeType == kPlainText; }

// The bytes are made here, where a shortage can be caught, rather than by the clipboard.
QVariant DeferredText::retrieveData(const QString& mimeType, QMetaType type) const {
    if (mimeType != kPlainText) {
        return {};
    }
    const bool bytes = type.id() == QMetaType::QByteArray;
    try {
        if (!text_) {
            const auto read = std::exchange(read_, {});
            text_ = read ? read().value_or(QString()) : QString();
        }
        return bytes ? QVariant(text_->toUtf8()) : QVariant(*text_);
    } catch (const std::bad_alloc&) {
        text_ = QString();
        if (const auto shortage = std::exchange(shortage_, {})) {
            shortage();
        }
        return bytes ? QVariant(QByteArray()) : QVariant(QString());
    }
}
