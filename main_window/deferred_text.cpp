#include "main_window/deferred_text.h"

#include <utility>

namespace {

const QString kPlainText = QStringLiteral("text/plain");

} // namespace

DeferredText::DeferredText(std::function<std::optional<QString>()> read) : read_(std::move(read)) {}

QStringList DeferredText::formats() const { return {kPlainText}; }

bool DeferredText::hasFormat(const QString& mimeType) const { return mimeType == kPlainText; }

QVariant DeferredText::retrieveData(const QString& mimeType, QMetaType) const {
    if (mimeType != kPlainText) {
        return {};
    }
    if (!text_) {
        text_ = read_().value_or(QString());
        read_ = {};
    }
    return *text_;
}
