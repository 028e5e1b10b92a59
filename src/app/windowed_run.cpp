#include "app/windowed_run.h"

#include "app/console_output.h"
#include "app/program_run.h"
#include "app/window_wiring.h"

#include "circle/circle.h"
#include "engine/engine.h"
#include "nntp/connection_role.h"
#include "ui/main_window.h"
#include "ui/message_box_prompter.h"
#include "ui/sound_effect_output.h"
#include "ui/widget_front_end.h"

#include <QApplication>

namespace kestrel {

namespace {

// The user is there: questions get message boxes, and the main window's Exit ends the run.
class WindowedStyle final : public RunStyle {
public:
    void reportFailure(const QString &line) override { writeLine(stderr, line); }
    Prompter &prompter() override { return m_prompter; }

    std::unique_ptr<FrontEnd> makeFrontEnd(Engine &engine) override
    {
        // Set before start-up, which plays the first sound; the style outlives the engine.
        engine.context().sound.setOutput(&m_sounds);
        auto frontEnd = std::make_unique<WidgetFrontEnd>(engine.context());
        m_frontEnd = frontEnd.get();
        return frontEnd;
    }

    void started(Engine &engine, const std::function<void()> &exitProgram) override
    {
        MainWindow &w = *m_frontEnd->mainWindow();
        wireWindows(w, engine);
        QObject::connect(&w, &MainWindow::exitRequested, &engine, [&engine, exitProgram](bool fromCloseBox) {
            // Closing the window says goodbye to the server once more, as it always did.
            if (fromCloseBox)
                engine.circle().sendQuit(ConnectionRole::Scan);
            exitProgram();
        });
    }

    void shutdownBegins() override
    {
        if (MainWindow *w = m_frontEnd->mainWindow())
            w->setShutdownInProgress(true);
    }

    bool unattended() const override { return false; }
    int exec() override { return QApplication::exec(); }

private:
    MessageBoxPrompter m_prompter;
    SoundEffectOutput m_sounds;
    WidgetFrontEnd *m_frontEnd = nullptr; // owned by the run
};

} // namespace

int runWindowed(const QString &appPath, const CommandLine &commandLine)
{
    WindowedStyle style;
    return runProgram(appPath, commandLine, style);
}

} // namespace kestrel
