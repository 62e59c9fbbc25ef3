#pragma once
// CMergeOptionsDlg: the small modal dialog behind the main window's "Options..." button, where the user
// turns the merge options on and off. It edits a copy: the caller takes Options() only when it was closed
// with OK. OK is unavailable while the source field is turned on without a name, or while a code page or
// target system names nothing usable.

#include "ui/MergeOptions.h"

#include <QDialog>

#include <memory>

namespace Ui {
class CMergeOptionsDlg;
}

namespace fennick {

class COutputOptionsPane;

class CMergeOptionsDlg : public QDialog {
    Q_OBJECT

public:
    explicit CMergeOptionsDlg(const SMergeOptions& options, QWidget* parent = nullptr);
    ~CMergeOptionsDlg() override;

    // The choices as the controls show them.
    SMergeOptions Options() const;

private:
    void UpdateControls();

    std::unique_ptr<Ui::CMergeOptionsDlg> m_ui;
    SMergeOptions m_options;
    COutputOptionsPane* m_output = nullptr; // code pages and target system
};

} // namespace fennick
