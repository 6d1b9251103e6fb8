// The appearance popover: a transient popup under the palette button that edits a window's Look.
#pragma once

#include "Look.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QPushButton;
class QSlider;

namespace orvane {

// A row of one colour dot per glow theme; a click picks one.
class Swatches : public QWidget {
public:
    explicit Swatches(QWidget* parent = nullptr);

    int selected() const { return selected_; }
    void setSelected(int index);  // redraws
    std::function<void(int)> onPick;

    // The dot of glow `index`: diameter 22 at (6 + 30·index, 6).
    static QRectF swatchRect(int index);
    // The glow whose dot, grown by 4 on every side, contains `p`; none between and beside them.
    static std::optional<int> swatchAt(QPointF p);

    QSize sizeHint() const override { return {246, 34}; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int selected_ = 0;
};

class LookController : public QWidget {
public:
    // `rim` is the window's glow when the popover opened; `onChange` receives every edit.
    LookController(const Look& look, int rim, std::function<void(const Look&)> onChange,
                   QWidget* parent = nullptr);

    const Look& look() const { return look_; }
    int rim() const { return rim_; }

    // Shows the controller as a transient popup (it closes when the user clicks elsewhere and
    // deletes itself once closed) below `anchor`, a rectangle in `view`'s coordinates; above it
    // when there is no room below on that screen.
    void popUp(QWidget* view, const QRectF& anchor);

    // The controls, in their order in the popover.
    Swatches* swatches() const { return swatches_; }
    QCheckBox* follow() const { return follow_; }
    QSlider* tint() const { return tint_; }
    QSlider* see() const { return see_; }
    Swatches* promptSwatches() const { return promptSwatches_; }
    QCheckBox* promptBox() const { return promptBox_; }
    QPushButton* resetButton() const { return reset_; }

    // The control actions; each ends by passing the look to onChange.
    void changed();          // a slider moved: tint and seeThrough from the sliders
    void followChanged();    // on: both colours follow the rim; off: take the selected swatches
    void promptBoxChanged(); // promptOn from the checkbox
    void resetLook();        // back to the default look

private:
    void pickColor(int index);
    void pickPrompt(int index);
    void syncControls();
    void report();

    Look look_;
    const int rim_;
    const std::function<void(const Look&)> onChange_;
    Swatches* swatches_ = nullptr;
    QCheckBox* follow_ = nullptr;
    QSlider* tint_ = nullptr;
    QSlider* see_ = nullptr;
    Swatches* promptSwatches_ = nullptr;
    QCheckBox* promptBox_ = nullptr;
    QPushButton* reset_ = nullptr;
};

}  // namespace orvane
