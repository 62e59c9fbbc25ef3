#pragma once
// CLayerChooserDlg: asks which layers of sources that hold several to add. Each layer is listed with its
// geometry type and feature count where the source knows them without reading the layer, all of them
// checked at first; with several sources the layers stand under their source.

#include "ui/LayerChoice.h"

#include <QDialog>

#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

namespace fennick {

class CLayerChooserDlg : public QDialog {
    Q_OBJECT

public:
    CLayerChooserDlg(const std::vector<SLayerSource>& sources, QWidget* parent = nullptr);

    // The checked layers, a row per source (CLayerChoice::Entries takes them).
    std::vector<std::vector<bool>> Chosen() const;
    QTreeWidget* Layers() const { return m_layers; }

private:
    QTreeWidget* m_layers = nullptr;
    std::vector<std::vector<QTreeWidgetItem*>> m_items;
};

} // namespace fennick
