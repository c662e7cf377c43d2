#include "tests/gui/ScriptedPrompts.h"

#include "config/CfgCatalogue.h"

#include <gtest/gtest.h>

const char* PromptKindName(PromptKind kind) {
    switch (kind) {
    case PromptKind::Ask:
        return "question";
    case PromptKind::Error:
        return "error";
    case PromptKind::Warning:
        return "warning";
    case PromptKind::Info:
        return "information";
    case PromptKind::OpenFile:
        return "open dialog";
    case PromptKind::SaveFile:
        return "save dialog";
    case PromptKind::WriteChanges:
        return "write question";
    }
    return "?";
}

ScriptedPrompts& ScriptedPrompts::ExpectAsk(std::string text, int answer) {
    m_expected.push_back({PromptKind::Ask, std::move(text), answer, {}});
    return *this;
}

ScriptedPrompts& ScriptedPrompts::ExpectWriteChanges(std::string text, int answer) {
    m_expected.push_back({PromptKind::WriteChanges, std::move(text), answer, {}, {}});
    return *this;
}

ScriptedPrompts& ScriptedPrompts::ExpectAsk(std::string text, int answer,
                                            std::function<void()> during) {
    m_expected.push_back({PromptKind::Ask, std::move(text), answer, {}, std::move(during)});
    return *this;
}

ScriptedPrompts& ScriptedPrompts::ExpectError(std::string text) {
    m_expected.push_back({PromptKind::Error, std::move(text), PROMPT_OK, {}});
    return *this;
}

ScriptedPrompts& ScriptedPrompts::ExpectWarning(std::string text) {
    m_expected.push_back({PromptKind::Warning, std::move(text), PROMPT_OK, {}});
    return *this;
}

ScriptedPrompts& ScriptedPrompts::ExpectInfo(std::string text) {
    m_expected.push_back({PromptKind::Info, std::move(text), PROMPT_OK, {}});
    return *this;
}

ScriptedPrompts& ScriptedPrompts::ExpectInfo(std::string text, std::function<void()> during) {
    m_expected.push_back({PromptKind::Info, std::move(text), PROMPT_OK, {}, std::move(during)});
    return *this;
}

ScriptedPrompts& ScriptedPrompts::ExpectOpenFile(std::string chosen) {
    m_expected.push_back({PromptKind::OpenFile, {}, PROMPT_OK, std::move(chosen)});
    return *this;
}

ScriptedPrompts& ScriptedPrompts::ExpectSaveFile(std::string chosen, int filterIndex) {
    m_expected.push_back({PromptKind::SaveFile, {}, PROMPT_OK, std::move(chosen), {}, filterIndex});
    return *this;
}

bool ScriptedPrompts::Done() {
    for (const Step& step : m_expected)
        ADD_FAILURE() << "expected " << PromptKindName(step.kind) << " \"" << step.text
                      << "\" never came";
    const bool done = m_expected.empty();
    m_expected.clear();
    return done;
}

bool ScriptedPrompts::Take(PromptKind kind, const std::string& text, Step& step) {
    if (m_expected.empty()) {
        ADD_FAILURE() << "unexpected " << PromptKindName(kind) << ": \"" << text << "\"";
        return false;
    }
    const Step& next = m_expected.front();
    if (next.kind != kind || text.find(next.text) == std::string::npos) {
        ADD_FAILURE() << "unexpected " << PromptKindName(kind) << ": \"" << text << "\"; expected "
                      << PromptKindName(next.kind) << " \"" << next.text << "\"";
        return false;
    }
    step = next;
    m_expected.pop_front();
    return true;
}

int ScriptedPrompts::AskText(const std::string& text, PromptButtons buttons, PromptDefault def) {
    m_shown.push_back({PromptKind::Ask, text, kAppTitle, def, {}});
    Step step;
    if (!Take(PromptKind::Ask, text, step))
        return buttons == PromptButtons::YesNoCancel ? PROMPT_CANCEL : PROMPT_NO;
    if (step.during)
        step.during();
    return step.answer;
}

int ScriptedPrompts::AskWriteChanges(const std::string& text, const std::string& note,
                                     const std::vector<CfgDiffEntry>& changes) {
    PromptRecord shown{PromptKind::WriteChanges, text, note, PromptDefault::No, {}};
    for (const CfgDiffEntry& d : changes)
        shown.changes.push_back(d.field->key + ": " + d.oldText + " -> " + d.newText);
    m_shown.push_back(std::move(shown));
    Step step;
    if (!Take(PromptKind::WriteChanges, text, step))
        return PROMPT_CANCEL;
    return step.answer;
}

void ScriptedPrompts::ErrorText(const std::string& text, const std::string& caption) {
    m_shown.push_back({PromptKind::Error, text, caption, {}, {}});
    Step step;
    Take(PromptKind::Error, text, step);
}

void ScriptedPrompts::WarningText(const std::string& text) {
    m_shown.push_back({PromptKind::Warning, text, kAppTitle, {}, {}});
    Step step;
    Take(PromptKind::Warning, text, step);
}

void ScriptedPrompts::InfoText(const std::string& text) {
    m_shown.push_back({PromptKind::Info, text, kAppTitle, {}, {}});
    Step step;
    if (Take(PromptKind::Info, text, step) && step.during)
        step.during();
}

bool ScriptedPrompts::OpenFileName(std::string& name, const std::string& filter,
                                   const std::string& folder) {
    m_shown.push_back({PromptKind::OpenFile, name, filter, {}, {}, folder});
    Step step;
    if (!Take(PromptKind::OpenFile, {}, step) || step.file.empty())
        return false;
    name = step.file;
    return true;
}

bool ScriptedPrompts::SaveFileName(std::string& name, const std::string& filter,
                                   SaveDialogOptions& options) {
    m_shown.push_back(
        {PromptKind::SaveFile, name, filter, {}, {}, options.folder, options.confirmOverwrite});
    Step step;
    if (!Take(PromptKind::SaveFile, {}, step) || step.file.empty())
        return false;
    name = step.file;
    options.filterIndex = step.filterIndex;
    return true;
}
