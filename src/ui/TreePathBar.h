#pragma once
// CTreePathBar: the row above the file tree. Its path box follows the folder of the tree's caret and takes a
// typed or pasted folder or file, completing folder and layer names as the user types; Enter goes there.
// Home goes to the user's home folder and Refresh reads the folders again. A path that names nothing the tree
// can show turns the box red with the reason in its tooltip, and changes nothing else.
//
// The bar drives widgets it does not own; it must not outlive them.

#include <QObject>
#include <QPalette>

class QAbstractButton;
class QCompleter;
class QFileSystemModel;
class QLineEdit;
class QTreeWidgetItem;

namespace fennick {

class CTreeFileCtrl;

class CTreePathBar : public QObject {
    Q_OBJECT

public:
    CTreePathBar(CTreeFileCtrl& tree, QLineEdit& box, QAbstractButton& home, QAbstractButton& refresh,
                 QObject* parent = nullptr);

    // Goes to the folder or file text names (also "~/...", a quoted path or a file URL): a folder is
    // selected, opened and scrolled into view; a file is selected in its opened folder. Returns false, and
    // shows why in the box, when the path does not exist or the tree does not list it.
    bool GoTo(const QString& text);
    // The tree's position at start-up: remembered when it still exists, else the home folder; either opened
    // with its entries in view once the window has its size.
    void Start(const QString& remembered);

    QCompleter* Completer() const { return m_completer; }

    // An absolute, clean path from what the user typed or pasted; empty when it names no absolute path.
    static QString PathFromText(const QString& text);

private:
    // Selects path in the tree (opening it when it is a folder); null when the tree cannot show it.
    QTreeWidgetItem* Open(const QString& path);
    void ShowCaretFolder(QTreeWidgetItem* caret);
    void ShowError(const QString& message);
    void ClearError();
    // The completion files follow the tree's mask.
    void FollowMask();
    void FetchTypedFolder(const QString& text);

    CTreeFileCtrl& m_tree;
    QLineEdit& m_box;
    QCompleter* m_completer = nullptr;       // owned by this bar
    QFileSystemModel* m_fileModel = nullptr; // owned by the completer
    QPalette m_normalPalette;
    QString m_normalToolTip;
    bool m_going = false; // GoTo moves the caret; the box keeps the typed text until it is done
};

} // namespace fennick
