#pragma once

// The words of the window's messages about a task that memory could not be had for. Where the
// window catches std::bad_alloc it drops what the task had made, says in such a message what
// could not be done and for which file, and goes on; nothing is lost or overwritten.

#include "comparison/text_decoding.h"

#include <QString>

#include <filesystem>

namespace memory_shortage {

// "No hay memoria suficiente para <task>.", with `advice` after it when given.
inline QString message(const QString& task, const QString& advice = QString()) {
    QString text = QStringLiteral("No hay memoria suficiente para %1.").arg(task);
    if (!advice.isEmpty()) {
        text += u' ' + advice;
    }
    return text;
}

// A file's name as the messages quote it: «name», made printable.
inline QString quoted(const std::filesystem::path& file) {
    return QStringLiteral("«%1»").arg(QString::fromStdString(parvane::printable(file.native())));
}

} // namespace memory_shortage
