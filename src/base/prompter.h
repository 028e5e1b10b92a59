#pragma once

#include <QString>
#include <deque>

namespace kestrel {

// Message boxes and Yes/No questions asked by the engine. The windowed front end shows
// real boxes; the headless one logs the text and takes the default answer.
class Prompter {
public:
    virtual ~Prompter() = default;
    // A modal message with an OK button.
    virtual void message(const QString &text, const QString &title = QString()) = 0;
    // A Yes/No question; defaultYes is the answer an unattended run takes.
    virtual bool question(const QString &text, bool defaultYes, const QString &title = QString()) = 0;
};

// Answers every question with its default and remembers what was said; used by the
// headless front end (through a log) and by tests that script answers.
class RecordingPrompter : public Prompter {
public:
    void message(const QString &text, const QString & = QString()) override { said.push_back(text); }
    bool question(const QString &text, bool defaultYes, const QString & = QString()) override
    {
        said.push_back(text);
        if (answers.empty())
            return defaultYes;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    std::deque<bool> answers; // scripted answers, taken in order
    std::deque<QString> said;
};

} // namespace kestrel
