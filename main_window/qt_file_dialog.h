#pragma once

#include "main_window/file_dialog.h"

// The desktop's own open-file dialog.
class QtFileDialog : public FileDialog {
    Q_OBJECT

public:
    using FileDialog::FileDialog;

protected:
    QString askForFile(QWidget* parent, const QString& folder) override;
};
