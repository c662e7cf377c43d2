// The prompts as the user sees them: Qt's message boxes with the program's caption and the
// standard buttons (Czech through Qt's own translation), and Qt's file dialogs.
#pragma once

#include "app/Prompts.h"

class QWidget;

class CQtPrompts : public IPrompts {
public:
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
    // The window the box belongs to: the active modal dialog, else the active window.
    static QWidget* Owner();
};

// Makes Czech the default locale and loads Qt's Czech translation (standard buttons read "Ano",
// "Ne", "Storno"); false when the translation is not installed.
bool InstallCzechTranslation();

// Registers the program's resources (icons) once; the library is static, so its resource
// initialiser must be called by name.
void InitGuiResources();
