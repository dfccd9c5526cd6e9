// A drop-down list that draws each entry with an icon and an indentation, so that a flat list
// looks like a tree: the local pane's path (drives, then the folders down to the current one)
// and the CNC pane's memory-type selector ("CNC", then the memory types). In the list an entry
// is indented by its level; the closed field shows the chosen entry without indentation.
#pragma once

#include <QComboBox>

namespace qel::ui {

class CTreeCombo : public QComboBox {
    Q_OBJECT
  public:
    // Pixels an entry moves right per indent level (the common dialog base unit).
    static constexpr int kIndentStep = 8;

    explicit CTreeCombo(QWidget* parent = nullptr);

    // Appends an entry with a picture of the shared image list (ImageList.h) at indent levels;
    // data goes with it. Returns its index.
    int AddItem(const QString& text, int image, int indent, const QVariant& data = {});
    int indentOf(int index) const;
    int imageOf(int index) const;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace qel::ui
