#pragma once

// What the program was asked to do on its command line: parvane [FICHERO1 [FICHERO2]],
// --help or --version. Parsing needs no display and no application object.

#include <QString>
#include <QStringList>

class CommandLine {
public:
    enum class Action { Run, ShowHelp, ShowVersion, Refuse };

    // `arguments` starts with the program's name, as argv does.
    static CommandLine parse(const QStringList& arguments);

    static QString helpText();
    static QString versionText();

    Action action() const { return action_; }
    // The files to put in the path boxes (none, one or two), as given.
    const QStringList& files() const { return files_; }
    // Why the command line was refused, with how to use the program.
    const QString& error() const { return error_; }

private:
    Action action_ = Action::Run;
    QStringList files_;
    QString error_;
};
