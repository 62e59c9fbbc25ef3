#pragma once
// CAboutDlg: the modal about box. Its caption and its two lines come from the program's version
// information: "About <ProductName>", "<ProductName> <version>" and the legal notice. When no version
// information can be read, the box keeps its own texts.

#include <QDialog>

#include <memory>

namespace Ui {
class CAboutDlg;
}

namespace fennick {

struct SVersionResource;

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    // Reads the running program's version information.
    explicit CAboutDlg(QWidget* parent = nullptr);
    // Reads the given resource instead (null: none), with the user's language as given.
    CAboutDlg(const SVersionResource* resource, uint16_t userLanguage, QWidget* parent = nullptr);
    ~CAboutDlg() override;

    // "1, 0, 1, 0" -> "1.0.1.0": every "," becomes "." and spaces go.
    static QString FormatVersion(const QString& fileVersion);

private:
    void InitDialog(bool read, const SVersionResource* resource, uint16_t userLanguage);

    std::unique_ptr<Ui::CAboutDlg> m_ui;
};

} // namespace fennick
