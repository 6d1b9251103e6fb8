#include "LookController.h"

#include <Glow.h>

#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

QColor rgb(uint32_t c, qreal alpha = 1.0)
{
    QColor color = QColor::fromRgb(QRgb(c));
    color.setAlphaF(float(alpha));
    return color;
}

// The popover is dark like the glass it belongs to, so the swatches' white ring shows.
QPalette popoverPalette()
{
    QPalette p;
    const QColor window(0x1B, 0x1E, 0x2B);
    const QColor text(0xE6, 0xE8, 0xEE);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, QColor(0x12, 0x14, 0x1E));
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x2A, 0x2E, 0x3E));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, rgb(Glow::all()[0].accent()));
    p.setColor(QPalette::HighlightedText, QColor(0x09, 0x0B, 0x18));
    p.setColor(QPalette::PlaceholderText, QColor(0x8A, 0x8F, 0x9C));
    return p;
}

QFont smallFont(const QFont& base)
{
    QFont f = base;
    f.setPixelSize(11);
    return f;
}

}  // namespace

// ---- Swatches ----

Swatches::Swatches(QWidget* parent) : QWidget(parent)
{
    setFixedSize(246, 34);
}

void Swatches::setSelected(int index)
{
    selected_ = index;
    update();
}

QRectF Swatches::swatchRect(int index)
{
    return {6.0 + 30.0 * index, 6.0, 22.0, 22.0};
}

std::optional<int> Swatches::swatchAt(QPointF p)
{
    for (int i = 0; i < int(Glow::all().size()); ++i)
        if (swatchRect(i).adjusted(-4, -4, 4, 4).contains(p))
            return i;
    return std::nullopt;
}

void Swatches::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < int(Glow::all().size()); ++i) {
        const QRectF r = swatchRect(i);
        painter.setPen(Qt::NoPen);
        painter.setBrush(rgb(Glow::all()[size_t(i)].accent()));
        painter.drawEllipse(r);
        if (i == selected_) {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(Qt::white, 1.5));
            painter.drawEllipse(r.adjusted(-3, -3, 3, 3));
        }
    }
}

void Swatches::mousePressEvent(QMouseEvent* event)
{
    const auto hit = swatchAt(event->position());
    if (!hit)
        return;
    setSelected(*hit);
    if (onPick)
        onPick(*hit);
}

// ---- LookController ----

LookController::LookController(const Look& look, int rim, std::function<void(const Look&)> onChange,
                               QWidget* parent)
    : QWidget(parent, Qt::Popup), look_(look), rim_(rim), onChange_(std::move(onChange))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setPalette(popoverPalette());
    setAutoFillBackground(true);

    auto* stack = new QVBoxLayout(this);
    stack->setSpacing(8);
    stack->setContentsMargins(18, 18, 18, 18);
    stack->setSizeConstraint(QLayout::SetFixedSize);

    QPalette secondary = palette();
    QColor secondaryText = secondary.color(QPalette::WindowText);
    secondaryText.setAlphaF(0.55f);
    secondary.setColor(QPalette::WindowText, secondaryText);
    auto label = [&](const char* text) {
        auto* l = new QLabel(QString::fromUtf8(text), this);
        l->setFont(smallFont(font()));
        l->setPalette(secondary);
        stack->addWidget(l, 0, Qt::AlignLeft);
    };
    auto slider = [&](int maximum) {
        auto* s = new QSlider(Qt::Horizontal, this);
        s->setRange(0, maximum);
        s->setFixedWidth(240);
        stack->addWidget(s, 0, Qt::AlignLeft);
        connect(s, &QSlider::valueChanged, this, [this] { changed(); });
        return s;
    };
    auto checkbox = [&](const char* text) {
        auto* c = new QCheckBox(QString::fromUtf8(text), this);
        c->setFont(smallFont(font()));
        stack->addWidget(c, 0, Qt::AlignLeft);
        return c;
    };

    label("Background color");
    swatches_ = new Swatches(this);
    stack->addWidget(swatches_, 0, Qt::AlignLeft);
    follow_ = checkbox("Follow rim color");
    label("Color strength");
    tint_ = slider(100);
    label("Transparency");
    see_ = slider(int(std::lround(Look::kMaxSeeThrough * 100)));
    label("Prompt color");
    promptSwatches_ = new Swatches(this);
    stack->addWidget(promptSwatches_, 0, Qt::AlignLeft);
    promptBox_ = checkbox("Color the prompt");
    reset_ = new QPushButton(QStringLiteral("Reset"), this);
    reset_->setFont(smallFont(font()));
    stack->addWidget(reset_, 0, Qt::AlignLeft);

    swatches_->onPick = [this](int i) { pickColor(i); };
    promptSwatches_->onPick = [this](int i) { pickPrompt(i); };
    // `clicked` comes from the user only, so synchronising the boxes never runs these.
    connect(follow_, &QCheckBox::clicked, this, [this] { followChanged(); });
    connect(promptBox_, &QCheckBox::clicked, this, [this] { promptBoxChanged(); });
    connect(reset_, &QPushButton::clicked, this, [this] { resetLook(); });

    syncControls();
}

void LookController::syncControls()
{
    const QSignalBlocker blockTint(tint_);
    const QSignalBlocker blockSee(see_);
    swatches_->setSelected(look_.color.value_or(rim_));
    promptSwatches_->setSelected(look_.prompt.value_or(rim_));
    promptBox_->setChecked(look_.promptOn);
    follow_->setChecked(!look_.color && !look_.prompt);
    tint_->setValue(int(std::lround(look_.tint * 100)));
    see_->setValue(int(std::lround(look_.seeThrough * 100)));
}

void LookController::report()
{
    if (onChange_)
        onChange_(look_);
}

void LookController::pickColor(int index)
{
    look_.color = index;
    follow_->setChecked(false);
    report();
}

void LookController::pickPrompt(int index)
{
    look_.prompt = index;
    follow_->setChecked(false);
    report();
}

void LookController::changed()
{
    look_.tint = tint_->value() / 100.0;
    look_.seeThrough = see_->value() / 100.0;
    report();
}

void LookController::followChanged()
{
    if (follow_->isChecked()) {
        look_.color.reset();
        look_.prompt.reset();
        swatches_->setSelected(rim_);
        promptSwatches_->setSelected(rim_);
    } else {
        look_.color = swatches_->selected();
        look_.prompt = promptSwatches_->selected();
    }
    report();
}

void LookController::promptBoxChanged()
{
    look_.promptOn = promptBox_->isChecked();
    report();
}

void LookController::resetLook()
{
    look_ = Look{};
    syncControls();
    report();
}

void LookController::popUp(QWidget* view, const QRectF& anchor)
{
    adjustSize();
    const QSize size = this->size();
    const QPoint below = view->mapToGlobal(QPointF(anchor.center().x(), anchor.bottom()).toPoint());
    const QPoint above = view->mapToGlobal(QPointF(anchor.center().x(), anchor.top()).toPoint());
    int x = below.x() - size.width() / 2;
    int y = below.y() + 4;
    if (const QScreen* screen = view->screen()) {
        const QRect room = screen->availableGeometry();
        if (y + size.height() > room.bottom() + 1 && above.y() - 4 - size.height() >= room.top())
            y = above.y() - 4 - size.height();
        x = std::clamp(x, room.left(), std::max(room.left(), room.right() + 1 - size.width()));
    }
    move(x, y);
    show();
}

}  // namespace orvane
