#pragma once

#include "context.h"

#include <QObject>
#include <memory>

namespace kestrel {

class FrontEnd;
class IniFile;

// Owns one running program: its context and every subsystem. The front end (windows,
// headless or a test) is handed to the start-up and shutdown sequences.
class Engine : public QObject {
    Q_OBJECT
public:
    explicit Engine(const QString &appPath, Clock *clock = nullptr, Prompter *prompter = nullptr,
                    QObject *parent = nullptr);
    ~Engine() override;

    Context &context() { return m_ctx; }

    // Loads everything in its fixed order while the wait window counts 1 to 10.
    void Main(FrontEnd &frontEnd);
    // Saves everything in its fixed order, says QUIT on the scan connection and emits
    // finished(); the caller ends the process.
    void ExitProgram(FrontEnd &frontEnd);

    // Lines that start-up wants the user to read once the log switches are known.
    const QStringList &startupNotes() const { return m_startupNotes; }

Q_SIGNALS:
    void finished();

private:
    void LoadCsvIndex(FrontEnd &frontEnd);
    void loadOptions(FrontEnd &frontEnd);
    void LoadPending();
    void RequeueArticle();
    void SavePending();
    void saveLists();
    void SendQuitScan();

    Context m_ctx;
    bool m_csvLoaded = false;
    QStringList m_startupNotes;
};

} // namespace kestrel
