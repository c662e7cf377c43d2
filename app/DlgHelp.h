// The user's guide in a window of its own: the Czech guide of docs/guide.cs.md with its
// pictures, compiled into the program, so it needs neither a browser nor a network. It stays
// open beside the main window while the user follows it.
#pragma once

#include <QDialog>
#include <QUrl>

class QTextBrowser;

// Where the guide lies among the program's resources; its pictures are named relative to it.
inline constexpr const char* kGuideUrl = "qrc:/guide/guide.cs.md";

class TFrmHelp : public QDialog {
    Q_OBJECT
public:
    explicit TFrmHelp(QWidget* owner);

    QTextBrowser* Browser() const { return m_pTxbGuide; }
    // The pictures the guide shows, as it names them (relative to the guide).
    QStringList ImageNames() const;

private:
    QTextBrowser* m_pTxbGuide;
};
