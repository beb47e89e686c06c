#pragma once

#include <QString>
#include <QStringList>

namespace tess {

// Which paper bank a run of the program works on, and how it was named.
struct BankChoice {
    enum class Source {
        Argument,      // "--bank NAME" on the command line
        Settings,      // Server= in the settings file's section [Bank]
        BesideProgram, // the file beside the executable
    };
    Source source = Source::BesideProgram;
    // A file's full path or a server bank's URI.
    QString name;
    // Why the named bank cannot be used (a Chinese message saying what to
    // change); empty when it can.
    QString problem;
};

// Decides the bank: "--bank NAME" or "--bank=NAME" among the arguments (as
// QCoreApplication::arguments() gives them, the program first; the last one
// wins) comes first; then a non-empty Server= in the section [Bank] of the
// settings file at settingsPath; then the file beside the program. Other
// arguments are left alone. A relative file path is taken from the current
// folder. A Server= that carries a password is refused: everybody who can
// read the settings file would read it.
BankChoice chooseBank(const QStringList& arguments, const QString& settingsPath);

// What is wrong with a server bank's URI, or an empty text when nothing is
// (its form only: whether the server answers is the engine's to say).
QString serverNameProblem(const QString& uri);
// Whether a server bank's URI carries a password (after the user name or as
// the parameter password=).
bool serverNameHasPassword(const QString& uri);

// The bank of this run as start-up decided it (setChosenBank). Without a
// decision, or after one for the file beside the program, it is the file
// beside the program as ProgramFiles names it at the time of the call (with
// the decision's problem, if any).
BankChoice chosenBank();
void setChosenBank(const BankChoice& choice);
// Back to no decision.
void clearChosenBank();

} // namespace tess
