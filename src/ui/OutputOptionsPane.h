#pragma once
// COutputOptionsPane: the part of the options dialog that names the output's code page, the code page of
// inputs that declare none, and the target coordinate system, with a search over the built-in EPSG
// catalogue: a match picked (a click, Enter in the search box) becomes the target as EPSG:CODE. What is
// typed is read as fennick-merge reads --encoding, --input-encoding and --target-crs; Problem() says why
// a choice cannot be used.

#include "ui/MergeOptions.h"

#include <QWidget>

#include <memory>

namespace Ui {
class COutputOptionsPane;
}

namespace fennick {

class COutputOptionsPane : public QWidget {
    Q_OBJECT

public:
    explicit COutputOptionsPane(QWidget* parent = nullptr);
    ~COutputOptionsPane() override;

    void SetChoices(const SMergeOptions& options);
    // Copies the pane's choices into options.
    void TakeChoices(SMergeOptions& options) const;
    // Why the choices cannot be used, empty when they can.
    QString Problem() const;

    // How many matches the search lists at most.
    static constexpr std::size_t kListedMatches = 200;

signals:
    void Changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnSearch(const QString& text);
    void OnBrowse();
    void Pick(int row);
    void UpdateProblem();

    std::unique_ptr<Ui::COutputOptionsPane> m_ui;
};

} // namespace fennick
