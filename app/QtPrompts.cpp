#include "app/QtPrompts.h"

#include "app/ShellRules.h"
#include "config/DlgCfgCompare.h"

#include <QApplication>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

#include <algorithm>

namespace {

QString Q(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QWidget* CQtPrompts::Owner() {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

int CQtPrompts::AskText(const std::string& text, PromptButtons buttons, PromptDefault def) {
    const QMessageBox::StandardButtons set =
        buttons == PromptButtons::YesNoCancel
            ? QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel
            : QMessageBox::Yes | QMessageBox::No;
    const auto answer =
        QMessageBox::question(Owner(), QString::fromUtf8(kAppTitle), Q(text), set,
                              def == PromptDefault::No ? QMessageBox::No : QMessageBox::Yes);
    if (answer == QMessageBox::Yes)
        return PROMPT_YES;
    if (answer == QMessageBox::No)
        return PROMPT_NO;
    // Escape or the close box: Cancel where offered, else No.
    return buttons == PromptButtons::YesNoCancel ? PROMPT_CANCEL : PROMPT_NO;
}

void CQtPrompts::ErrorText(const std::string& text, const std::string& caption) {
    QMessageBox::critical(Owner(), Q(caption), Q(text), QMessageBox::Ok);
}

void CQtPrompts::WarningText(const std::string& text) {
    QMessageBox::warning(Owner(), QString::fromUtf8(kAppTitle), Q(text), QMessageBox::Ok);
}

void CQtPrompts::InfoText(const std::string& text) {
    QMessageBox::information(Owner(), QString::fromUtf8(kAppTitle), Q(text), QMessageBox::Ok);
}

int CQtPrompts::AskWriteChanges(const std::string& text, const std::string& note,
                                const std::vector<CfgDiffEntry>& changes) {
    TFrmCfgCompare dialog(Owner());
    dialog.SetDiff(changes, QString());
    dialog.SetQuestion(Q(text), Q(note));
    return dialog.exec() == QDialog::Accepted ? PROMPT_YES : PROMPT_CANCEL;
}

namespace {

// The path the dialog starts with: the proposed name where it names a folder, else the name
// in the remembered folder.
QString StartPath(const std::string& name, const std::string& folder) {
    if (folder.empty() || name.find('/') != std::string::npos)
        return Q(name);
    return name.empty() ? Q(folder) : Q(folder + "/" + name);
}

} // namespace

bool CQtPrompts::OpenFileName(std::string& name, const std::string& filter,
                              const std::string& folder) {
    const QString chosen = QFileDialog::getOpenFileName(Owner(), QString(), StartPath(name, folder),
                                                        Q(DialogFilter(filter)));
    if (chosen.isEmpty())
        return false;
    name = chosen.toStdString();
    return true;
}

bool CQtPrompts::SaveFileName(std::string& name, const std::string& filter,
                              SaveDialogOptions& options) {
    QFileDialog dialog(Owner(), QString(), StartPath(name, options.folder),
                       Q(DialogFilter(filter)));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(Q(options.defaultExt));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.confirmOverwrite);
    const QStringList filters = dialog.nameFilters();
    if (options.filterIndex > 0 && options.filterIndex < filters.size())
        dialog.selectNameFilter(filters.at(options.filterIndex));
    if (!name.empty())
        dialog.selectFile(Q(name));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    name = dialog.selectedFiles().constFirst().toStdString();
    options.filterIndex =
        std::max<int>(0, static_cast<int>(filters.indexOf(dialog.selectedNameFilter())));
    return !name.empty();
}

bool InstallCzechTranslation() {
    // Spin boxes, date edits and numbers Qt writes itself follow the Czech conventions too,
    // whatever the desktop's locale is.
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::CzechRepublic));
    static QTranslator translator; // lives as long as the application
    if (!translator.load(QStringLiteral("qtbase_cs"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&translator);
}

static void InitResourcesOnce() {
    Q_INIT_RESOURCE(tk530);
    Q_INIT_RESOURCE(guide);
}

void InitGuiResources() {
    static const bool done = (InitResourcesOnce(), true);
    (void)done;
}
