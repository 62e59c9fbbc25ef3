#pragma once
// CFieldPlanDlg: the table behind the main window's "Fields...": the output's fields before anything is
// written (PlanFields), the output's code page and the check's warnings, or why the files cannot be merged.

#include "ui/FieldPlanView.h"

#include <QDialog>

#include <memory>

namespace Ui {
class CFieldPlanDlg;
}

namespace fennick {

class CFieldPlanDlg : public QDialog {
    Q_OBJECT

public:
    explicit CFieldPlanDlg(const SFieldPlanView& view, QWidget* parent = nullptr);
    ~CFieldPlanDlg() override;

private:
    std::unique_ptr<Ui::CFieldPlanDlg> m_ui;
};

} // namespace fennick
