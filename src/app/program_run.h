#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace kestrel {

struct CommandLine;
class Engine;
class FrontEnd;
class Prompter;

// What sets a run with windows apart from one without. Everything else -- the demo
// folder, the engine, start-up, --once, the unattended loop, the shutdown and the exit
// status -- is one sequence in runProgram(), so the two runs cannot drift apart.
class RunStyle {
public:
    virtual ~RunStyle() = default;

    // Says why the run cannot start; the line begins with "kestrel: ".
    virtual void reportFailure(const QString &line) = 0;
    // Answers the engine's questions; it outlives the engine.
    virtual Prompter &prompter() = 0;
    // Called once, right after the engine is made and before anything is loaded.
    virtual std::unique_ptr<FrontEnd> makeFrontEnd(Engine &engine) = 0;
    // Start-up has finished; exitProgram starts the normal shutdown.
    virtual void started(Engine &engine, const std::function<void()> &exitProgram) = 0;
    // The shutdown sequence is about to run.
    virtual void shutdownBegins() = 0;
    // Nobody is there to press Connect, nor to look at what a demo fetched: the circle
    // comes round by itself, and a demo ends after its circle.
    virtual bool unattended() const = 0;
    // Serves events until the shutdown has ended the loop; returns its exit status.
    virtual int exec() = 0;
};

// Runs the program on appPath (or on a demo folder of its own with --demo) until it
// ends; returns the exit status.
int runProgram(const QString &appPath, const CommandLine &commandLine, RunStyle &style);

} // namespace kestrel
