#include "ui/LayerChooserDlg.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace fennick {

CLayerChooserDlg::CLayerChooserDlg(const std::vector<SLayerSource>& sources, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Choose Layers"));
    auto* layout = new QVBoxLayout(this);
    const bool grouped = sources.size() > 1;
    auto* prompt = new QLabel(
        grouped ? QStringLiteral("These sources hold several layers. Choose the layers to add:")
                : QStringLiteral("%1 holds several layers. Choose the layers to add:")
                      .arg(QDir::toNativeSeparators(sources.empty() ? QString() : sources.front().path)),
        this);
    prompt->setWordWrap(true);
    layout->addWidget(prompt);

    m_layers = new QTreeWidget(this);
    m_layers->setObjectName(QStringLiteral("IDC_LAYERS"));
    m_layers->setHeaderLabels(
        {QStringLiteral("Layer"), QStringLiteral("Geometry"), QStringLiteral("Features")});
    m_layers->setRootIsDecorated(grouped);
    m_layers->setUniformRowHeights(true);
    const QLocale locale;
    for (const SLayerSource& source : sources) {
        QTreeWidgetItem* parentItem = nullptr;
        if (grouped) {
            parentItem = new QTreeWidgetItem(m_layers, {QDir::toNativeSeparators(source.path)});
            parentItem->setFlags(parentItem->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
            parentItem->setExpanded(true);
        }
        std::vector<QTreeWidgetItem*>& row = m_items.emplace_back();
        for (const SVectorLayerFacts& layer : source.layers) {
            const QStringList texts{QString::fromStdU16String(layer.name),
                                    QString::fromStdU16String(layer.geometry),
                                    layer.features < 0 ? QString() : locale.toString(layer.features)};
            auto* item =
                parentItem ? new QTreeWidgetItem(parentItem, texts) : new QTreeWidgetItem(m_layers, texts);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(0, Qt::Checked);
            item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
            row.push_back(item);
        }
    }
    m_layers->expandAll();
    m_layers->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_layers);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(QStringLiteral("Add"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // Nothing to add with every layer unchecked.
    connect(m_layers, &QTreeWidget::itemChanged, this, [this, ok] {
        bool any = false;
        for (const auto& row : m_items)
            for (const QTreeWidgetItem* item : row)
                any = any || item->checkState(0) == Qt::Checked;
        ok->setEnabled(any);
    });
    layout->addWidget(buttons);
    resize(460, 320);
}

std::vector<std::vector<bool>> CLayerChooserDlg::Chosen() const {
    std::vector<std::vector<bool>> chosen;
    for (const auto& row : m_items) {
        std::vector<bool>& flags = chosen.emplace_back();
        for (const QTreeWidgetItem* item : row)
            flags.push_back(item->checkState(0) == Qt::Checked);
    }
    return chosen;
}

} // namespace fennick
