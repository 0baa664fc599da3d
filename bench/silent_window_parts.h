#pragma once

// The main window's dialogs for the benchmarks, which never wait in a modal loop: messages are
// answered at once (a warning is printed and counted, since it means the run went wrong, and the
// offer to compare without limits is taken or declined as asked), and the file dialog is always
// cancelled.

#include "main_window/file_dialog.h"
#include "main_window/message_boxes.h"

#include <QString>

#include <cstdio>

class SilentMessages : public MessageBoxes {
public:
    SilentMessages(int& warnings, bool takeUnlimited)
        : warnings_(warnings), takeUnlimited_(takeUnlimited) {}
    void inform(QWidget*, const QString&) override {}
    void warn(QWidget*, const QString& text) override {
        ++warnings_;
        std::fprintf(stderr, "unexpected error message: %s\n", qPrintable(text));
    }
    bool offerUnlimited(QWidget*, const QString&) override { return takeUnlimited_; }

private:
    int& warnings_;
    bool takeUnlimited_;
};

class NoFileDialog : public FileDialog {
protected:
    QString askForFile(QWidget*, const QString&) override { return {}; }
};
