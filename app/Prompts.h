// Every message box and file dialog of the window program goes through this interface: the
// windows ask it, the real implementation (app/QtPrompts.h) shows Qt's boxes, and the tests
// install a scripted one that answers in order, so no test can hang on a modal box. Texts
// are UTF-8.
#pragma once

#include "base/Texts.h"

#include <cstdint>
#include <string>
#include <vector>

struct CfgDiffEntry;

// Answers, with the values of the message boxes they stand for.
inline constexpr int PROMPT_OK = 1;
inline constexpr int PROMPT_CANCEL = 2;
inline constexpr int PROMPT_YES = 6;
inline constexpr int PROMPT_NO = 7;

enum class PromptButtons { YesNo, YesNoCancel };
// The button that Enter presses. A question whose Yes destroys something (deleting messages)
// makes No the default, so that a hurried Enter keeps the data.
enum class PromptDefault { Yes, No };

// What a save dialog needs beyond the proposed name and the filter.
struct SaveDialogOptions {
    std::string defaultExt; // added to a name typed without an extension
    std::string folder;     // as for OpenFileName
    int filterIndex = 0;    // in: the filter shown first; out: the one the user chose
    // False where the caller asks its own question about an existing file (the export offers
    // appending): the dialog must not ask "replace?" before it.
    bool confirmOverwrite = true;
};

class IPrompts {
public:
    virtual ~IPrompts() = default;

    // A question with the question icon: PROMPT_YES, PROMPT_NO or PROMPT_CANCEL.
    virtual int AskText(const std::string& text, PromptButtons buttons, PromptDefault def) = 0;
    // An error with the error icon and OK.
    virtual void ErrorText(const std::string& text, const std::string& caption) = 0;
    // A warning with the exclamation icon and OK.
    virtual void WarningText(const std::string& text) = 0;
    // A piece of advice with the information icon and OK (a warning where there is no such box).
    virtual void InfoText(const std::string& text) { WarningText(text); }
    // The question before a write to the unit: `text`, `note` (may be empty) in bold above it,
    // and the settings that will change (the compare dialog's list: the unit's value and the
    // one to be written). Buttons "Zapsat" and "Storno", Storno the default: PROMPT_YES for
    // Zapsat, PROMPT_CANCEL for anything else. Where there is no such dialog, a plain Yes/No
    // question with the text.
    virtual int AskWriteChanges(const std::string& text, const std::string& note,
                                const std::vector<CfgDiffEntry>& changes) {
        (void)changes;
        const std::string full = note.empty() ? text : note + "\n\n" + text;
        return AskText(full, PromptButtons::YesNo, PromptDefault::No) == PROMPT_YES ? PROMPT_YES
                                                                                    : PROMPT_CANCEL;
    }
    // The open and save dialogs; false when cancelled. `name` comes in with a proposed name
    // (may be empty) and goes out with the chosen one. `filter` in the form of the numbered
    // texts ("Soubory konfigurace (*.cfg)|*.cfg|..."). `folder` is where the dialog opens when
    // the proposed name names no folder itself (empty: where it would anyway).
    virtual bool OpenFileName(std::string& name, const std::string& filter,
                              const std::string& folder) = 0;
    virtual bool SaveFileName(std::string& name, const std::string& filter,
                              SaveDialogOptions& options) = 0;

    // By text number, with the program's caption.
    int Ask(uint32_t textId, PromptButtons buttons = PromptButtons::YesNo,
            PromptDefault def = PromptDefault::Yes) {
        return AskText(std::string(GetText(textId)), buttons, def);
    }
    void Error(uint32_t textId) { ErrorText(std::string(GetText(textId)), kAppTitle); }
    void Error(const std::string& text) { ErrorText(text, kAppTitle); }
    void Warning(uint32_t textId) { WarningText(std::string(GetText(textId))); }
};
