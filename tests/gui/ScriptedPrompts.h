// Prompts for GUI tests: each expected message box or file dialog is scripted with its
// answer, in order. A prompt that does not match the next expected one (or comes when none is
// expected) fails the test and is answered Cancel/No (a file dialog: cancelled), so no test
// can hang on a modal box.
#pragma once

#include "app/Prompts.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

enum class PromptKind { Ask, Error, Warning, Info, OpenFile, SaveFile, WriteChanges };

struct PromptRecord {
    PromptKind kind;
    std::string text;    // message text, or the proposed file name
    std::string caption; // errors: the box's caption; files: the filter; a write: the note
    PromptDefault def = PromptDefault::Yes; // questions: the button Enter presses
    std::vector<std::string> changes;       // a write: "key: unit's value -> value to write"
    std::string folder = {};                // files: where the dialog opens
    bool confirmOverwrite = true;           // a save: whether the dialog asks "replace?" itself
};

class ScriptedPrompts : public IPrompts {
public:
    // `text`: a part of the message the box must show (empty: any).
    ScriptedPrompts& ExpectAsk(std::string text, int answer);
    // The question before a write to the unit, answered PROMPT_YES (Zapsat) or PROMPT_CANCEL.
    ScriptedPrompts& ExpectWriteChanges(std::string text, int answer);
    // The same, running `during` while the question is shown (before it is answered).
    ScriptedPrompts& ExpectAsk(std::string text, int answer, std::function<void()> during);
    ScriptedPrompts& ExpectError(std::string text);
    ScriptedPrompts& ExpectWarning(std::string text);
    ScriptedPrompts& ExpectInfo(std::string text);
    // The same, running `during` while the box is shown (before it is closed).
    ScriptedPrompts& ExpectInfo(std::string text, std::function<void()> during);
    // The file chosen; an empty name cancels the dialog.
    ScriptedPrompts& ExpectOpenFile(std::string chosen);
    // `filterIndex`: the filter the user picks in the save dialog (0: the first).
    ScriptedPrompts& ExpectSaveFile(std::string chosen, int filterIndex = 0);

    // Every expected prompt has come (adds a failure naming those that did not).
    bool Done();
    size_t Pending() const { return m_expected.size(); }
    const std::vector<PromptRecord>& Shown() const { return m_shown; }
    void ClearShown() { m_shown.clear(); }

    int AskText(const std::string& text, PromptButtons buttons, PromptDefault def) override;
    void ErrorText(const std::string& text, const std::string& caption) override;
    void WarningText(const std::string& text) override;
    void InfoText(const std::string& text) override;
    int AskWriteChanges(const std::string& text, const std::string& note,
                        const std::vector<CfgDiffEntry>& changes) override;
    bool OpenFileName(std::string& name, const std::string& filter,
                      const std::string& folder) override;
    bool SaveFileName(std::string& name, const std::string& filter,
                      SaveDialogOptions& options) override;

private:
    struct Step {
        PromptKind kind;
        std::string text;
        int answer = PROMPT_CANCEL;
        std::string file;
        std::function<void()> during = {};
        int filterIndex = 0;
    };
    // The next step if it matches this prompt; else records a failure and returns false.
    bool Take(PromptKind kind, const std::string& text, Step& step);

    std::deque<Step> m_expected;
    std::vector<PromptRecord> m_shown;
};

const char* PromptKindName(PromptKind kind);
