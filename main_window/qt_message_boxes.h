#pragma once

#include "main_window/message_boxes.h"

// Message boxes drawn by Qt.
class QtMessageBoxes : public MessageBoxes {
public:
    void inform(QWidget* parent, const QString& text) override;
    void warn(QWidget* parent, const QString& text) override;
    bool offerUnlimited(QWidget* parent, const QString& text) override;

    static inline const QString kUnlimitedButton = QStringLiteral("Comparar sin límite");
};
